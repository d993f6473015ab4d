#include "imaging/jpeg_file.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <system_error>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/orientation.h"
#include "platform/atomic_file.h"
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
};

[[noreturn]] void AbandonOnError(j_common_ptr info) {
  auto* context = reinterpret_cast<ErrorContext*>(info->err);
  std::longjmp(context->jump, 1);
}

void SilenceMessages(j_common_ptr) {}

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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes one decoded scanline into packed RGB by the number of output components.
void ConvertRow(const JSAMPLE* in, uint8_t* out, uint32_t width, int components) {
  switch (components) {
    case 3:
      std::copy(in, in + size_t{width} * 3, out);
      break;
    case 1:
      for (uint32_t x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      break;
    case 4:
      for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned k = in[3];
        out[0] = static_cast<uint8_t>((in[0] * k + 127) / 255);
        out[1] = static_cast<uint8_t>((in[1] * k + 127) / 255);
        out[2] = static_cast<uint8_t>((in[2] * k + 127) / 255);
      }
      break;
    default:
      break;  // refused before decoding starts
  }
}

// The same conversion into 32-bit pixels.
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
      break;
  }
}

enum class Layout { Rgb, Pixels };

// Hands out room for the decoded rows from the top: `rows` (1..height) of width * 3 bytes for
// Layout::Rgb or width pixels for Layout::Pixels; null when the memory cannot be had. `rows`
// comes in as height and may be lowered when only the top of the picture is wanted.
using Reserve = std::function<uint8_t*(uint32_t width, uint32_t height, uint32_t& rows)>;

struct DecodeState {
  ErrorContext error;
  jpeg_decompress_struct info;
  bool decoded = false;
  bool outOfMemory = false;
  int* orientation = nullptr;  // read from the header when wanted, before `reserve` is asked
};

// The decode proper. Nothing with a destructor may live in this frame: a library error jumps
// back into it.
void Decode(DecodeState& state, std::FILE* file, Layout layout, const Reserve& reserve) {
  state.info.err = jpeg_std_error(&state.error.manager);
  state.error.manager.error_exit = AbandonOnError;
  state.error.manager.output_message = SilenceMessages;
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
  const uint64_t bytesPerPixel = layout == Layout::Rgb ? 3 : sizeof(Pixel);
  const uint64_t size = SaturatingProduct(
      SaturatingProduct(state.info.image_width, state.info.image_height), bytesPerPixel);
  if (!CanAllocate(size)) {
    state.outOfMemory = true;
    jpeg_destroy_decompress(&state.info);
    return;
  }
#ifdef JCS_EXTENSIONS
  // A colour picture can be decoded straight into the pixel rows: libjpeg-turbo's RGBX output
  // is the RGB output with a fourth byte, which is cleared below.
  const bool direct = layout == Layout::Pixels && state.info.num_components == 3 &&
                      state.info.out_color_space == JCS_RGB;
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
  uint8_t* const result = reserve(width, height, rows);
  if (rows == 0 || rows > height)
    rows = height;
  if (result == nullptr) {
    state.outOfMemory = true;
    jpeg_destroy_decompress(&state.info);
    return;
  }
  const size_t stride = size_t{width} * bytesPerPixel;
  if (direct) {
    while (state.info.output_scanline < rows) {
      uint8_t* const at = result + state.info.output_scanline * stride;
      JSAMPROW row = at;
      jpeg_read_scanlines(&state.info, &row, 1);
      RgbxToPixels(at, width);
    }
  } else {
    JSAMPARRAY row =
        (*state.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&state.info), JPOOL_IMAGE,
                                        static_cast<JDIMENSION>(width * components), 1);
    while (state.info.output_scanline < rows) {
      jpeg_read_scanlines(&state.info, row, 1);
      uint8_t* const at = result + (state.info.output_scanline - 1) * stride;
      if (layout == Layout::Rgb) {
        ConvertRow(row[0], at, width, components);
      } else {
        ConvertRowToPixels(row[0], reinterpret_cast<Pixel*>(at), width, components);
      }
    }
  }
  // Finishing checks that every row was read; a decode that stops early is abandoned instead.
  if (rows == height)
    jpeg_finish_decompress(&state.info);
  else
    jpeg_abort_decompress(&state.info);
  jpeg_destroy_decompress(&state.info);
  state.decoded = true;
}

// Opens, decodes, closes; shows the one message a decode can give.
bool DecodeFile(const std::string& path, Layout layout, const Reserve& reserve,
                int* orientation = nullptr) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return false;
  auto state = std::make_unique<DecodeState>();
  state->orientation = orientation;
  Decode(*state, file.get(), layout, reserve);
  if (state->outOfMemory) {
    Prompt().ShowMessage("JpegFile :\nOut of memory", MessageIcon::Stop);
    return false;
  }
  return state->decoded;
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
  state.info.err = jpeg_std_error(&state.error.manager);
  state.error.manager.error_exit = AbandonOnError;
  state.error.manager.output_message = SilenceMessages;
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

// The person's words for a file that cannot be written, with the operating system's reason.
bool Refuse(const AtomicFile& output, const char* action) {
  Prompt().ShowMessage(Format("JpegFile :\nCan't %s %s\n%s", action, output.TargetPath().c_str(),
                              std::system_category().message(output.Error()).c_str()),
                       MessageIcon::Warning);
  return false;
}

// Creates `output`'s temporary file and encodes into it, leaving it finished but not renamed. A
// file that cannot be completed (full disk, a target that cannot be replaced) is as lost as one
// that cannot be created; said with the operating system's reason, or the failure would go
// unnoticed. The library's refusals of the picture itself stay silent like its other errors.
bool EncodeInto(AtomicFile& output, const EncodeInput& input, int quality) {
  if (!output.Open())
    return Refuse(output, "open");
  auto state = std::make_unique<EncodeState>();
  if (!Encode(*state, output.Stream(), input, quality)) {
    const bool failedWrite = std::ferror(output.Stream()) != 0;
    output.Discard();
    return failedWrite ? Refuse(output, "write") : false;
  }
  return output.Finish() || Refuse(output, "write");
}

// Encodes into a new file and replaces the target only with the complete result.
bool EncodeFile(const std::string& path, const EncodeInput& input, int quality) {
  AtomicFile output(path);
  return EncodeInto(output, input, quality) && (output.Commit() || Refuse(output, "write"));
}

}  // namespace

RgbBuffer ReadRgb(const std::string& path) {
  RgbBuffer result;
  const bool decoded =
      DecodeFile(path, Layout::Rgb, [&](uint32_t width, uint32_t height, uint32_t&) {
        try {
          result.bytes.resize(size_t{width} * height * 3);
        } catch (const std::bad_alloc&) {
          return static_cast<uint8_t*>(nullptr);
        }
        result.width = width;
        result.height = height;
        return result.bytes.data();
      });
  if (!decoded)
    return {};
  return result;
}

bool ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve) {
  return DecodeFile(path, Layout::Pixels, [&](uint32_t width, uint32_t height, uint32_t& rows) {
    return reinterpret_cast<uint8_t*>(reserve(width, height, rows));
  });
}

bool ReadTopPixels(
    const std::string& path,
    const std::function<Pixel*(uint32_t width, uint32_t height, uint32_t& rows)>& reserve,
    int& orientation) {
  orientation = kUpright;
  return DecodeFile(
      path, Layout::Pixels,
      [&](uint32_t width, uint32_t height, uint32_t& rows) {
        return reinterpret_cast<uint8_t*>(reserve(width, height, rows));
      },
      &orientation);
}

bool WriteRgb(const std::string& path, const RgbBuffer& buffer, int quality) {
  if (buffer.Empty() || buffer.width == 0 || buffer.height == 0)
    return false;
  if (buffer.bytes.size() < size_t{buffer.width} * buffer.height * 3)
    return false;
  const size_t stride = size_t{buffer.width} * 3;
  EncodeInput input;
  input.width = buffer.width;
  input.height = buffer.height;
  input.row = [&](uint32_t y) { return const_cast<JSAMPROW>(buffer.bytes.data() + y * stride); };
  return EncodeFile(path, input, quality);
}

// Hands the pixels to `encode` as rows the encoder reads.
static bool EncodePixels(const Pixel* pixels, uint32_t width, uint32_t height,
                         const std::function<bool(const EncodeInput&)>& encode) {
  if (pixels == nullptr || width == 0 || height == 0)
    return false;
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

bool WritePixels(const std::string& path, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality) {
  return EncodePixels(pixels, width, height,
                      [&](const EncodeInput& input) { return EncodeFile(path, input, quality); });
}

bool WritePixels(AtomicFile& file, const Pixel* pixels, uint32_t width, uint32_t height,
                 int quality) {
  return EncodePixels(pixels, width, height,
                      [&](const EncodeInput& input) { return EncodeInto(file, input, quality); });
}

}  // namespace tessarix
