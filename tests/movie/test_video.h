#pragma once

// Small movies made with libavcodec for the tests, and a way to read back which frame a picture
// shows: every frame carries its number as a row of black/white 8x8 blocks.

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/image.h"
#include "test_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace tessarix::test {

struct VideoSpec {
  uint32_t width = 48;
  uint32_t height = 16;
  int frames = 10;
  AVCodecID codec = AV_CODEC_ID_MJPEG;
  AVPixelFormat pixelFormat = AV_PIX_FMT_YUVJ420P;
  AVRational rate{25, 1};
  int bFrames = 0;
};

// 12 bits of n as 8x8 blocks, six per block row from the top-left corner, on a grey frame.
inline Image CodedFrame(int n, uint32_t width, uint32_t height) {
  return MakeImage(width, height, [n](uint32_t x, uint32_t y) {
    if (x >= 48 || y >= 16)
      return MakePixel(90, 90, 90);
    return (n >> ((y / 8) * 6 + x / 8)) & 1 ? MakePixel(255, 255, 255) : MakePixel(0, 0, 0);
  });
}

// The number painted by CodedFrame, read at the block centres; -1 when a block is not clearly
// black or white.
inline int ReadCode(const Image& image) {
  if (image.Width() < 48 || image.Height() < 16)
    return -1;
  int n = 0;
  for (int bit = 0; bit < 12; ++bit) {
    const uint32_t g = Green(image.At((bit % 6) * 8 + 4, (bit / 6) * 8 + 4));
    if (g > 200)
      n |= 1 << bit;
    else if (g > 55)
      return -1;
  }
  return n;
}

// Everything the encoder holds, released in one place whatever step failed.
struct VideoWriter {
  AVFormatContext* output = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  SwsContext* scaler = nullptr;
  ~VideoWriter() {
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (output != nullptr && output->pb != nullptr)
      avio_closep(&output->pb);
    avformat_free_context(output);
  }
  bool Send(AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0)
      return false;
    while (avcodec_receive_packet(codec, packet) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(output, packet) < 0)
        return false;
    }
    return true;
  }
};

// Encodes video.frames pictures from paint(n) into `path` (container chosen by its extension).
inline bool WriteVideo(const std::string& path, const VideoSpec& video,
                       const std::function<Image(int)>& paint) {
  av_log_set_level(AV_LOG_QUIET);  // the encoder's own chatter is of no interest here
  VideoWriter w;
  const AVCodec* encoder = avcodec_find_encoder(video.codec);
  if (avformat_alloc_output_context2(&w.output, nullptr, nullptr, path.c_str()) < 0 ||
      encoder == nullptr || (w.stream = avformat_new_stream(w.output, nullptr)) == nullptr ||
      (w.codec = avcodec_alloc_context3(encoder)) == nullptr)
    return false;
  AVCodecContext& c = *w.codec;
  c.width = static_cast<int>(video.width);
  c.height = static_cast<int>(video.height);
  c.pix_fmt = video.pixelFormat;
  c.time_base = av_inv_q(video.rate);
  c.framerate = video.rate;
  c.gop_size = 10;
  c.max_b_frames = video.bFrames;
  c.qmin = 2;
  c.qmax = 4;
  if (video.codec == AV_CODEC_ID_MJPEG)
    c.color_range = AVCOL_RANGE_JPEG;
  if (w.output->oformat->flags & AVFMT_GLOBALHEADER)
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(&c, encoder, nullptr) < 0 ||
      avcodec_parameters_from_context(w.stream->codecpar, &c) < 0)
    return false;
  w.stream->time_base = c.time_base;
  w.stream->avg_frame_rate = video.rate;
  w.frame->format = video.pixelFormat;
  w.frame->width = c.width;
  w.frame->height = c.height;
  w.scaler = sws_getContext(c.width, c.height, AV_PIX_FMT_RGB0, c.width, c.height,
                            video.pixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (avio_open(&w.output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
      avformat_write_header(w.output, nullptr) < 0 || w.packet == nullptr ||
      av_frame_get_buffer(w.frame, 0) < 0 || w.scaler == nullptr)
    return false;
  for (int n = 0; n < video.frames; ++n) {
    const Image picture = paint(n);
    if (av_frame_make_writable(w.frame) < 0)
      return false;
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(picture.Pixels())};
    const int sourceStride[1] = {static_cast<int>(picture.Width() * 4)};
    sws_scale(w.scaler, source, sourceStride, 0, c.height, w.frame->data, w.frame->linesize);
    w.frame->pts = n;
    if (!w.Send(w.frame))
      return false;
  }
  return w.Send(nullptr) && av_write_trailer(w.output) >= 0;
}

inline bool WriteCodedVideo(const std::string& path, const VideoSpec& video) {
  return WriteVideo(path, video,
                    [&video](int n) { return CodedFrame(n, video.width, video.height); });
}

}  // namespace tessarix::test
