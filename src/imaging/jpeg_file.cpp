#include "imaging/jpeg_file.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/orientation.h"
#include "platform/atomic_file.h"
#include "platform/file_closer.h"
#include "platform/memory_limit.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

// libjpeg reports fatal errors through error_exit; it must not return, so it jumps back to the
// operation that set `jump`. Everything the operation owns lives in this context or in C objects,
// so nothing with a destructor is skipped by the jump.
struct ErrorContext {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];  // the library's words for the error that ended the operation
};

[[noreturn]] void AbandonOnError(j_common_ptr info) {
  auto* context = reinterpret_cast<ErrorContext*>(info->err);
  (*info->err->format_message)(info, context->message);
  std::longjmp(context->jump, 1);
}

void SilenceMessages(j_common_ptr) {}

// The error manager for one operation, its message cleared: fatal errors jump back with their
// words kept, warnings are not printed.
jpeg_error_mgr* InstallErrorHandling(ErrorContext& context) {
  context.message[0] = '\0';
  jpeg_std_error(&context.manager);
  context.manager.error_exit = AbandonOnError;
  context.manager.output_message = SilenceMessages;
  return &context.manager;
}

// Turns a row of RGBX quadruples, decoded in place over the pixels, into pixels with T = 0. On a
// little-endian machine the quadruple already is the pixel but for its fourth byte, and a masking
// pass is several times faster than rebuilding each pixel from its bytes.
void RgbxToPixels(uint8_t* row, uint32_t width) {
  Pixel* const pixels = reinterpret_cast<Pixel*>(row);
  if constexpr (std::endian::native == std::endian::little) {
    for (uint32_t x = 0; x < width; ++x) pixels[x] &= 0x00FFFFFFu;
  } else {
    for (uint32_t x = 0; x < width; ++x, row += 4) pixels[x] = MakePixel(row[0], row[1], row[2]);
  }
}

// Writes one decoded scanline into 32-bit pixels by the number of output components.
void ConvertRowToPixels(const JSAMPLE* in, Pixel* out, uint32_t width, int components) {
  switch (components) {
    case 3:
      for (uint32_t x = 0; x < width; ++x, in += 3) out[x] = MakePixel(in[0], in[1], in[2]);
      break;
    case 1:
      for (uint32_t x = 0; x < width; ++x) out[x] = Pixel{in[x]} * 0x010101u;
      break;
    case 4:
      for (uint32_t x = 0; x < width; ++x, in += 4) {
        const unsigned k = in[3];
        out[x] =
            MakePixel((in[0] * k + 127) / 255, (in[1] * k + 127) / 255, (in[2] * k + 127) / 255);
      }
      break;
    default:
      break;  // refused before decoding starts
  }
}

// Hands out room for the decoded rows from the top: `rows` (1..height) of width pixels; null
// when the memory cannot be had. `rows` comes in as height and may be lowered when only the top
// of the picture is wanted.
using Reserve = std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>;

// The receiver of ReadTopPixels: all the rows in one block of memory.
class BlockReceiver : public RowReceiver {
 public:
  explicit BlockReceiver(const Reserve& reserve) : reserve_(reserve) {}

  bool Begin(uint32_t width, uint32_t height, uint32_t& rows) override {
    width_ = width;
    rows = height;
    pixels_ = reserve_(width, height, rows);
    return true;
  }
  Pixel* Row(uint32_t y) override {
    return pixels_ == nullptr ? nullptr : pixels_ + size_t{y} * width_;
  }
  void Filled(uint32_t) override {}

 private:
  const Reserve& reserve_;
  Pixel* pixels_ = nullptr;
  uint32_t width_ = 0;
};

struct DecodeState {
  ErrorContext error;
  jpeg_decompress_struct info;
  bool decoded = false;
  bool outOfMemory = false;
  int* orientation = nullptr;  // read from the header when wanted, before the receiver begins
};

// The decode proper. Nothing with a destructor may live in this frame: a library error jumps
// back into it.
void Decode(DecodeState& state, std::FILE* file, RowReceiver& receiver) {
  state.info.err = InstallErrorHandling(state.error);
  jpeg_create_decompress(&state.info);
  if (setjmp(state.error.jump) != 0) {
    jpeg_destroy_decompress(&state.info);
    state.decoded = false;
    return;
  }
  // libjpeg-turbo has no backing store: bounding its memory makes a hostile header fail cleanly
  // inside the library instead of exhausting the machine.
  state.info.mem->max_memory_to_use = 1L << 30;
  jpeg_stdio_src(&state.info, file);
  if (state.orientation != nullptr)
    jpeg_save_markers(&state.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&state.info, TRUE);
  if (state.orientation != nullptr)
    *state.orientation = OrientationOfMarkers(state.info.marker_list);
  const uint64_t size = SaturatingProduct(
      SaturatingProduct(state.info.image_width, state.info.image_height), sizeof(Pixel));
  if (!CanAllocate(size)) {
    state.outOfMemory = true;
    jpeg_destroy_decompress(&state.info);
    return;
  }
#ifdef JCS_EXTENSIONS
  // A colour picture can be decoded straight into the pixel rows: libjpeg-turbo's RGBX output
  // is the RGB output with a fourth byte, which is cleared below.
  const bool direct = state.info.num_components == 3 && state.info.out_color_space == JCS_RGB;
  if (direct)
    state.info.out_color_space = JCS_EXT_RGBX;
#else
  const bool direct = false;
#endif
  jpeg_start_decompress(&state.info);
  const int components = state.info.output_components;
  const uint32_t width = state.info.output_width;
  const uint32_t height = state.info.output_height;
  if (!direct && components != 1 && components != 3 && components != 4) {
    jpeg_destroy_decompress(&state.info);
    return;
  }
  uint32_t rows = height;
  if (!receiver.Begin(width, height, rows)) {
    jpeg_destroy_decompress(&state.info);
    state.decoded = true;  // declined: a success without rows
    return;
  }
  if (rows == 0 || rows > height)
    rows = height;
  JSAMPARRAY converted = direct ? nullptr
                                : (*state.info.mem->alloc_sarray)(
                                      reinterpret_cast<j_common_ptr>(&state.info), JPOOL_IMAGE,
                                      static_cast<JDIMENSION>(width * components), 1);
  while (state.info.output_scanline < rows) {
    const uint32_t y = state.info.output_scanline;
    Pixel* const at = receiver.Row(y);
    if (at == nullptr) {
      state.outOfMemory = true;
      jpeg_destroy_decompress(&state.info);
      return;
    }
    if (direct) {
      JSAMPROW row = reinterpret_cast<JSAMPROW>(at);
      jpeg_read_scanlines(&state.info, &row, 1);
      RgbxToPixels(reinterpret_cast<uint8_t*>(at), width);
    } else {
      jpeg_read_scanlines(&state.info, converted, 1);
      ConvertRowToPixels(converted[0], at, width, components);
    }
    receiver.Filled(y);
  }
  // Finishing checks that every row was read; a decode that stops early is abandoned instead.
  if (rows == height)
    jpeg_finish_decompress(&state.info);
  else
    jpeg_abort_decompress(&state.info);
  jpeg_destroy_decompress(&state.info);
  state.decoded = true;
}

struct HeaderState {
  ErrorContext error;
  jpeg_decompress_struct info;
};

// Nothing with a destructor may live in this frame: a library error jumps back into it.
bool ReadHeader(HeaderState& state, std::FILE* file, uint32_t& width, uint32_t& height,
                int& orientation) {
  state.info.err = InstallErrorHandling(state.error);
  jpeg_create_decompress(&state.info);
  if (setjmp(state.error.jump) != 0) {
    jpeg_destroy_decompress(&state.info);
    return false;
  }
  jpeg_stdio_src(&state.info, file);
  jpeg_save_markers(&state.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&state.info, TRUE);
  width = state.info.image_width;
  height = state.info.image_height;
  orientation = OrientationOfMarkers(state.info.marker_list);
  jpeg_destroy_decompress(&state.info);
  return true;
}

// Opens, decodes, closes.
Status DecodeFile(const std::string& path, RowReceiver& receiver, int* orientation = nullptr) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return Failure{FailureKind::kCannotRead, path, errno, {}};
  auto state = std::make_unique<DecodeState>();
  state->orientation = orientation;
  Decode(*state, file.get(), receiver);
  if (state->outOfMemory)
    return Failure{FailureKind::kOutOfMemory, path, 0, {}};
  if (!state->decoded)
    return Failure{FailureKind::kDamaged, path, 0, state->error.message};
  return {};
}

struct EncodeState {
  ErrorContext error;
  jpeg_compress_struct info;
};

// What the encoder reads: rows of `components` bytes per pixel in `space`, handed out top first.
struct EncodeInput {
  uint32_t width = 0;
  uint32_t height = 0;
  int components = 3;
  J_COLOR_SPACE space = JCS_RGB;
  std::function<JSAMPROW(uint32_t y)> row;
};

bool Encode(EncodeState& state, std::FILE* file, const EncodeInput& input, int quality) {
  state.info.err = InstallErrorHandling(state.error);
  jpeg_create_compress(&state.info);
  if (setjmp(state.error.jump) != 0) {
    jpeg_destroy_compress(&state.info);
    return false;
  }
  jpeg_stdio_dest(&state.info, file);
  state.info.image_width = input.width;
  state.info.image_height = input.height;
  state.info.input_components = input.components;
  // The defaults depend on the input colour space, so it is set before them.
  state.info.in_color_space = input.space;
  jpeg_set_defaults(&state.info);
  jpeg_set_quality(&state.info, quality, TRUE);
  jpeg_start_compress(&state.info, TRUE);
  while (state.info.next_scanline < input.height) {
    JSAMPROW row = input.row(state.info.next_scanline);
    jpeg_write_scanlines(&state.info, &row, 1);
  }
  jpeg_finish_compress(&state.info);
  jpeg_destroy_compress(&state.info);
  return true;
}

// Creates `output`'s temporary file and encodes into it, leaving it finished but not renamed. A
// write that fell short is a file that cannot be completed; any other stop is the library's
// refusal of the picture, in its own words.
Status EncodeInto(AtomicFile& output, const EncodeInput& input, int quality) {
  if (Status opened = output.Open(); !opened)
    return opened;
  auto state = std::make_unique<EncodeState>();
  if (!Encode(*state, output.Stream(), input, quality)) {
    const bool failedWrite = std::ferror(output.Stream()) != 0;
    Failure failure =
        output.Failed(failedWrite ? FailureKind::kCannotWrite : FailureKind::kRefused);
    failure.detail = state->error.message;
    output.Discard();
    return failure;
  }
  return output.Finish();
}

// Encodes into a new file and replaces the target only with the complete result.
Status EncodeFile(const std::string& path, const EncodeInput& input, int quality) {
  AtomicFile output(path);
  if (Status encoded = EncodeInto(output, input, quality); !encoded)
    return encoded;
  return output.Commit();
}

}  // namespace

std::optional<std::string> JpegFailureText(const Failure& failure) {
  switch (failure.kind) {
    case FailureKind::kOutOfMemory:
      return "JpegFile :\nOut of memory";
    case FailureKind::kCannotCreate:
      return Format("JpegFile :\nCan't open %s\n%s", failure.path.c_str(),
                    failure.SystemText().c_str());
    case FailureKind::kCannotWrite:
      return Format("JpegFile :\nCan't write %s\n%s", failure.path.c_str(),
                    failure.SystemText().c_str());
    default:
      return std::nullopt;
  }
}

void SayJpegFailure(const Failure& failure) {
  if (const std::optional<std::string> text = JpegFailureText(failure)) {
    Prompt().ShowMessage(*text, failure.kind == FailureKind::kOutOfMemory ? MessageIcon::Stop
                                                                          : MessageIcon::Warning);
  }
}

Status WithJpegMessage(Status result) {
  if (!result)
    SayJpegFailure(result.Why());
  return result;
}

Status ReadJpegHeader(const std::string& path, uint32_t& width, uint32_t& height,
                      int& orientation) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return Failure{FailureKind::kCannotRead, path, errno, {}};
  auto state = std::make_unique<HeaderState>();
  if (!ReadHeader(*state, file.get(), width, height, orientation))
    return Failure{FailureKind::kDamaged, path, 0, state->error.message};
  return {};
}

Status ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve) {
  BlockReceiver receiver(reserve);
  return DecodeFile(path, receiver);
}

Status ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve,
    int& orientation) {
  BlockReceiver receiver(reserve);
  return ReadRows(path, receiver, orientation);
}

Status ReadRows(const std::string& path, RowReceiver& receiver, int& orientation) {
  orientation = kUpright;
  return DecodeFile(path, receiver, &orientation);
}

// Hands the pixels to `encode` as rows the encoder reads.
static Status EncodePixels(const std::string& path, const Pixel* pixels, uint32_t width,
                           uint32_t height,
                           const std::function<Status(const EncodeInput&)>& encode) {
  if (pixels == nullptr || width == 0 || height == 0)
    return Failure{FailureKind::kRefused, path, 0, {}};
  EncodeInput input;
  input.width = width;
  input.height = height;
#ifdef JCS_EXTENSIONS
  if constexpr (std::endian::native == std::endian::little) {
    // A pixel's bytes are red, green, blue and the transparency, which RGBX input skips: the
    // encoder reads the rows in place, with no packed copy of the whole picture.
    input.components = 4;
    input.space = JCS_EXT_RGBX;
    input.row = [&](uint32_t y) {
      return reinterpret_cast<JSAMPROW>(const_cast<Pixel*>(pixels + size_t{y} * width));
    };
    return encode(input);
  }
#endif
  std::vector<uint8_t> packed(size_t{width} * 3);
  input.row = [&](uint32_t y) {
    const Pixel* in = pixels + size_t{y} * width;
    for (uint32_t x = 0; x < width; ++x) {
      packed[size_t{x} * 3] = static_cast<uint8_t>(Red(in[x]));
      packed[size_t{x} * 3 + 1] = static_cast<uint8_t>(Green(in[x]));
      packed[size_t{x} * 3 + 2] = static_cast<uint8_t>(Blue(in[x]));
    }
    return packed.data();
  };
  return encode(input);
}

Status WritePixels(const std::string& path, const Pixel* pixels, uint32_t width, uint32_t height,
                   int quality) {
  return EncodePixels(path, pixels, width, height,
                      [&](const EncodeInput& input) { return EncodeFile(path, input, quality); });
}

Status WritePixels(AtomicFile& file, const Pixel* pixels, uint32_t width, uint32_t height,
                   int quality) {
  return EncodePixels(file.TargetPath(), pixels, width, height,
                      [&](const EncodeInput& input) { return EncodeInto(file, input, quality); });
}

}  // namespace tessarix
