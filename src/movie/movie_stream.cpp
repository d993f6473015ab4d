#include "movie/movie_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace tessarix {
namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

// Requests at most this many frames ahead always decode forward: a seek would cost at least as
// much unless the demuxer's index shows a key frame in between.
constexpr int64_t kAlwaysForward = 2;
// Without a demuxer index there is no telling where the key frames are; beyond this distance a
// seek is the better bet.
constexpr int64_t kForwardWithoutIndex = 250;
// A run of frames the decoder rejects this long is taken for the end of what can be read.
constexpr int kMostDamagedInARow = 100;

// FFmpeg writes its warnings to stderr by default; the core tells a person things only through
// the prompt, and every failure that matters is reported from the results here.
void SilenceLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// A failure to open `path`, with FFmpeg's number and words for `error` (none when 0).
Failure OpenFailure(FailureKind kind, const std::string& path, int error) {
  Failure failure{kind, path, 0, {}, error};
  // FFmpeg's numbers for the operating system's errors are the errno negated.
  if (error < 0 && error > -4096)
    failure.systemError = -error;
  if (error != 0) {
    char words[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, words, sizeof(words));
    failure.detail = words;
  }
  return failure;
}

// The full-range "J" formats are deprecated in the scaler: map them to their plain forms and
// say the range is full, which gives the same pixels without the warning.
AVPixelFormat PlainFormat(AVPixelFormat format, bool* fullRange) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
      *fullRange = true;
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      *fullRange = true;
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      *fullRange = true;
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      *fullRange = true;
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      *fullRange = true;
      return AV_PIX_FMT_YUV411P;
    default:
      return format;
  }
}

}  // namespace

struct MovieStream::State {
  std::unique_ptr<AVFormatContext, FormatCloser> format;
  std::unique_ptr<AVCodecContext, CodecFreer> codec;
  std::unique_ptr<AVPacket, PacketFreer> packet;
  std::unique_ptr<SwsContext, ScalerFreer> scaler;
  AVStream* stream = nullptr;
  int streamIndex = -1;

  AVRational timeBase{0, 1};
  AVRational frameRate{0, 1};
  int64_t origin = 0;  // timestamp of the first frame, in timeBase units
  uint32_t frameCount = 0, rate = 0, scale = 0, width = 0, height = 0;

  // The last frame handed on and the frame decoded after it, if already decoded.
  FramePtr current, pending;
  bool haveCurrent = false, havePending = false;
  int64_t currentIndex = -1, pendingIndex = -1;
  int64_t lastIndex = -1;        // of the last decoded frame, for frames without a timestamp
  bool inputEnded = false;       // the end-of-file packet has been sent
  bool drained = false;          // the decoder has given its last frame
  int64_t endIndex = INT64_MAX;  // frames from here on are known not to exist

  // Conversion: one scaler, one row buffer and one DIB, reused for every frame.
  int scalerFormat = -1, scalerWidth = 0, scalerHeight = 0, scalerSpace = -1;
  bool scalerFullRange = false;
  std::vector<uint8_t> rows;
  Dib dib;
  int64_t dibIndex = -1;
  uint64_t seeks = 0;

  int64_t IndexOf(const AVFrame* frame) {
    const int64_t pts = frame->best_effort_timestamp;
    int64_t index = lastIndex + 1;
    if (pts != AV_NOPTS_VALUE)
      index = av_rescale_q_rnd(pts - origin, timeBase, av_inv_q(frameRate),
                               static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    lastIndex = index;
    return index;
  }

  int64_t TimestampOf(int64_t index) const {
    return origin + av_rescale_q(index, av_inv_q(frameRate), timeBase);
  }

  // The next frame in display order; false at the end of the stream. Packets the decoder
  // refuses are skipped, so a damaged file gives the frames that can still be decoded.
  bool DecodeNext(AVFrame* out) {
    if (drained)
      return false;
    int damaged = 0;
    for (;;) {
      const int received = avcodec_receive_frame(codec.get(), out);
      if (received == 0)
        return true;
      if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && inputEnded) ||
          ++damaged > kMostDamagedInARow) {
        drained = true;
        return false;
      }
      if (received != AVERROR(EAGAIN))
        continue;  // one damaged frame: go on with the next
      for (;;) {
        if (av_read_frame(format.get(), packet.get()) < 0) {
          // Threaded decoders hold frames back until told the input has ended.
          avcodec_send_packet(codec.get(), nullptr);
          inputEnded = true;
          break;
        }
        const bool ours = packet->stream_index == streamIndex;
        if (ours)
          avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (ours)
          break;
      }
    }
  }

  void ForgetPosition() {
    avcodec_flush_buffers(codec.get());
    haveCurrent = havePending = false;
    inputEnded = drained = false;
  }

  // Raw streams (.m4v, .mjpeg, .h264) state no length: count the packets, one per frame, without
  // decoding them. The pass also lets the demuxer index the key frames for later seeks.
  int64_t CountPacketsAndRewind() {
    int64_t packets = 0;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
      if (packet->stream_index == streamIndex)
        ++packets;
      av_packet_unref(packet.get());
    }
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (av_seek_frame(format.get(), streamIndex, start, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0)
      return 0;
    return packets;
  }

  bool Rewind() {
    ++seeks;
    int result = av_seek_frame(format.get(), streamIndex, origin, AVSEEK_FLAG_BACKWARD);
    if (result < 0)
      result = avformat_seek_file(format.get(), streamIndex, INT64_MIN, origin, origin, 0);
    if (result < 0)
      result = av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BYTE);
    ForgetPosition();
    lastIndex = -1;
    return result >= 0;
  }

  // Positions the decoder so that the next frame decoded (left in `pending`) is at or before
  // frame n. The demuxer seeks by decode order; with B-frames the key frame it picks can be
  // displayed after n, in which case the seek is repeated further back.
  bool SeekBefore(int64_t n) {
    int64_t back = 0;
    for (;;) {
      const int64_t target = n - back;
      bool positioned = false;
      if (target > 0) {
        ++seeks;
        positioned = av_seek_frame(format.get(), streamIndex, TimestampOf(target),
                                   AVSEEK_FLAG_BACKWARD) >= 0;
        ForgetPosition();
        lastIndex = target - 1;
      }
      if (!positioned && !Rewind())
        return false;
      const bool atStart = !positioned;
      if (DecodeNext(pending.get())) {
        pendingIndex = IndexOf(pending.get());
        if (pendingIndex <= n || atStart) {
          havePending = true;
          return true;
        }
      } else if (atStart) {
        return false;
      }
      back = std::max<int64_t>(back * 2, 1);
    }
  }

  // Whether decoding on from the present position reaches frame n no later than a seek would.
  bool CloseAhead(int64_t n) const {
    const int64_t from = havePending ? pendingIndex : currentIndex;
    if (n - from <= kAlwaysForward)
      return true;
    const int entry = av_index_search_timestamp(stream, TimestampOf(n), AVSEEK_FLAG_BACKWARD);
    if (entry >= 0) {
      const AVIndexEntry* key = avformat_index_get_entry(stream, entry);
      if (key != nullptr && key->timestamp != AV_NOPTS_VALUE) {
        const int64_t keyIndex =
            av_rescale_q(key->timestamp - origin, timeBase, av_inv_q(frameRate));
        return keyIndex <= from;
      }
    }
    return n - from <= kForwardWithoutIndex;
  }

  const Dib* Convert(const AVFrame* frame, int64_t n) {
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat pixelFormat =
        PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (scaler == nullptr || pixelFormat != scalerFormat || frame->width != scalerWidth ||
        frame->height != scalerHeight || fullRange != scalerFullRange ||
        frame->colorspace != scalerSpace) {
      scaler.reset(sws_getContext(frame->width, frame->height, pixelFormat, static_cast<int>(width),
                                  static_cast<int>(height), AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                                  nullptr, nullptr));
      scalerFormat = -1;
      if (scaler == nullptr)
        return nullptr;
      const int* coefficients = sws_getCoefficients(frame->colorspace);
      sws_setColorspaceDetails(scaler.get(), coefficients, fullRange ? 1 : 0,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
      scalerFormat = pixelFormat;
      scalerWidth = frame->width;
      scalerHeight = frame->height;
      scalerFullRange = fullRange;
      scalerSpace = frame->colorspace;
    }
    // The scaler wants aligned rows; the DIB wants 4-byte rows, bottom-up.
    const size_t rowBytes = size_t{width} * 3;
    const size_t aligned = (rowBytes + 63) & ~size_t{63};
    rows.resize(aligned * height + 64);
    uint8_t* target[4] = {rows.data(), nullptr, nullptr, nullptr};
    int targetStride[4] = {static_cast<int>(aligned), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, target,
                  targetStride) != static_cast<int>(height))
      return nullptr;
    const size_t stride = Dib::RowStride(width);
    dib.width = width;
    dib.height = height;
    dib.bytes.resize(stride * height);
    for (uint32_t r = 0; r < height; ++r) {
      uint8_t* out = dib.bytes.data() + stride * r;
      std::memcpy(out, rows.data() + aligned * (height - 1 - r), rowBytes);
      std::memset(out + rowBytes, 0, stride - rowBytes);
    }
    dibIndex = n;
    return &dib;
  }
};

MovieStream::MovieStream() = default;

MovieStream::~MovieStream() {
  Close();
}

void MovieStream::Close() {
  state_.reset();
}

bool MovieStream::IsOpen() const {
  return state_ != nullptr;
}

uint32_t MovieStream::FrameCount() const {
  return state_ ? state_->frameCount : 0;
}
uint32_t MovieStream::Rate() const {
  return state_ ? state_->rate : 0;
}
uint32_t MovieStream::Scale() const {
  return state_ ? state_->scale : 0;
}
uint32_t MovieStream::Width() const {
  return state_ ? state_->width : 0;
}
uint32_t MovieStream::Height() const {
  return state_ ? state_->height : 0;
}
uint64_t MovieStream::SeekCount() const {
  return state_ ? state_->seeks : 0;
}

Status MovieStream::Open(const std::string& path) {
  Close();
  SilenceLibraries();
  auto fail = [this, &path](FailureKind kind, int error) -> Status {
    Close();
    return OpenFailure(kind, path, error);
  };
  auto openError = [&](int error) { return fail(FailureKind::kCannotRead, error); };
  auto decodeError = [&](int error) { return fail(FailureKind::kDamaged, error); };
  auto state = std::make_unique<State>();
  State& s = *state;

  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr)
    return openError(AVERROR(ENOMEM));
  // AVI files with B-frames carry no timestamps on their I and P packets.
  raw->flags |= AVFMT_FLAG_GENPTS;
  int result = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (result < 0)
    return openError(result);  // the context is freed by the failed open
  s.format.reset(raw);
  result = avformat_find_stream_info(raw, nullptr);
  if (result < 0)
    return openError(result);
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    AVStream* candidate = raw->streams[i];
    if (candidate->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        (candidate->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 && s.stream == nullptr) {
      s.stream = candidate;
      s.streamIndex = static_cast<int>(i);
    } else {
      candidate->discard = AVDISCARD_ALL;
    }
  }
  if (s.stream == nullptr)
    return openError(AVERROR_STREAM_NOT_FOUND);
  state_ = std::move(state);  // from here on a failure is cleaned up by Close()

  const AVCodecParameters* parameters = s.stream->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (decoder == nullptr)
    return decodeError(AVERROR_DECODER_NOT_FOUND);
  s.codec.reset(avcodec_alloc_context3(decoder));
  s.packet.reset(av_packet_alloc());
  s.current.reset(av_frame_alloc());
  s.pending.reset(av_frame_alloc());
  if (s.codec == nullptr || s.packet == nullptr || s.current == nullptr || s.pending == nullptr)
    return decodeError(AVERROR(ENOMEM));
  result = avcodec_parameters_to_context(s.codec.get(), parameters);
  if (result < 0)
    return decodeError(result);
  s.codec->thread_count = 0;
  result = avcodec_open2(s.codec.get(), decoder, nullptr);
  if (result < 0)
    return decodeError(result);

  AVRational rate = s.stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0)
    rate = s.stream->r_frame_rate;
  int64_t frames = s.stream->nb_frames;
  if (frames <= 0 && rate.num > 0 && rate.den > 0) {
    if (s.stream->duration != AV_NOPTS_VALUE && s.stream->duration > 0)
      frames = av_rescale_q(s.stream->duration, s.stream->time_base, av_inv_q(rate));
    else if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0)
      frames = av_rescale_q(raw->duration, av_get_time_base_q(), av_inv_q(rate));
    else
      frames = s.CountPacketsAndRewind();
  }
  if (parameters->width <= 0 || parameters->height <= 0 || rate.num <= 0 || rate.den <= 0 ||
      frames <= 0)
    return fail(FailureKind::kRefused, AVERROR_INVALIDDATA);
  s.timeBase = s.stream->time_base;
  s.frameRate = rate;
  s.rate = static_cast<uint32_t>(rate.num);
  s.scale = static_cast<uint32_t>(rate.den);
  // Frame numbers travel as signed 32-bit values through the extraction and its texts.
  s.frameCount = static_cast<uint32_t>(std::min<int64_t>(frames, INT32_MAX));
  s.width = static_cast<uint32_t>(parameters->width);
  s.height = static_cast<uint32_t>(parameters->height);

  // Frame 0 is the first frame the decoder gives, whatever the container's start time says.
  if (!s.DecodeNext(s.current.get()))
    return decodeError(0);
  const int64_t first = s.current->best_effort_timestamp;
  s.origin = first == AV_NOPTS_VALUE ? 0 : first;
  s.currentIndex = s.IndexOf(s.current.get());
  s.haveCurrent = true;
  return {};
}

const Dib* MovieStream::Frame(int64_t n) {
  if (!state_)
    return nullptr;
  State& s = *state_;
  if (n < 0 || n >= s.frameCount || n >= s.endIndex)
    return nullptr;
  if (s.dibIndex == n)
    return &s.dib;
  s.dibIndex = -1;  // the DIB is about to be overwritten or abandoned
  if (s.haveCurrent && s.currentIndex == n)
    return s.Convert(s.current.get(), n);
  // A variable-rate gap: frame n is still on screen from the current frame.
  if (s.haveCurrent && s.havePending && s.currentIndex < n && n < s.pendingIndex)
    return s.Convert(s.current.get(), n);

  const bool ahead =
      (s.haveCurrent && s.currentIndex < n && (!s.havePending || s.pendingIndex <= n)) ||
      (!s.haveCurrent && s.havePending && s.pendingIndex <= n);
  if (!ahead || !s.CloseAhead(n)) {
    if (!s.SeekBefore(n))
      return nullptr;
  }
  for (;;) {
    if (!s.havePending) {
      if (!s.DecodeNext(s.pending.get())) {
        // Nothing beyond the last decoded frame: a truncated file or a length that was too long.
        s.endIndex = std::min(s.endIndex, s.lastIndex + 1);
        return nullptr;
      }
      s.pendingIndex = s.IndexOf(s.pending.get());
      s.havePending = true;
    }
    if (s.pendingIndex <= n || !s.haveCurrent) {
      std::swap(s.current, s.pending);
      s.currentIndex = s.pendingIndex;
      s.haveCurrent = true;
      s.havePending = false;
      if (s.currentIndex >= n)
        break;
      continue;
    }
    break;  // the pending frame is displayed after n, so the current one is frame n
  }
  return s.Convert(s.current.get(), n);
}

uint32_t RoundedFrameRate(uint32_t rate, uint32_t scale) {
  if (scale == 0)
    return 0;
  return static_cast<uint32_t>(static_cast<double>(rate) / scale + 0.5);
}

}  // namespace tessarix
