#pragma once

// Small movies made with libavcodec for the tests, and a way to read back which frame a picture
// shows: every frame carries its number as a row of black/white 8x8 blocks.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/dib.h"
#include "imaging/image.h"

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
  int gop = 12;
};

// 12 bits of n as 8x8 blocks, six per block row from the top-left corner, on a grey frame.
inline Pixel CodedPixel(int n, uint32_t x, uint32_t y) {
  const uint32_t bit = (y / 8) * 6 + x / 8;
  if (x < 48 && y < 16)
    return (n >> bit) & 1 ? MakePixel(255, 255, 255) : MakePixel(0, 0, 0);
  return MakePixel(90, 90, 90);
}

inline Image CodedFrame(int n, uint32_t width, uint32_t height) {
  Image image;
  image.Create(width, height, 0);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) image.At(x, y) = CodedPixel(n, x, y);
  return image;
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

inline int ReadCode(const Dib& dib) {
  const auto image = FromDib(dib);
  return image ? ReadCode(*image) : -1;
}

// Encodes video.frames pictures from paint(n) into `path` (container chosen by its extension).
inline bool WriteVideo(const std::string& path, const VideoSpec& video,
                       const std::function<Image(int)>& paint) {
  av_log_set_level(AV_LOG_QUIET);  // the encoder's own chatter is of no interest here
  AVFormatContext* output = nullptr;
  if (avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()) < 0)
    return false;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> outputGuard(
      output, [](AVFormatContext* c) {
        if (c->pb != nullptr)
          avio_closep(&c->pb);
        avformat_free_context(c);
      });
  const AVCodec* encoder = avcodec_find_encoder(video.codec);
  if (encoder == nullptr)
    return false;
  AVStream* stream = avformat_new_stream(output, nullptr);
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> codecGuard(
      codec, [](AVCodecContext* c) { avcodec_free_context(&c); });
  if (stream == nullptr || codec == nullptr)
    return false;
  codec->width = static_cast<int>(video.width);
  codec->height = static_cast<int>(video.height);
  codec->pix_fmt = video.pixelFormat;
  codec->time_base = av_inv_q(video.rate);
  codec->framerate = video.rate;
  codec->gop_size = video.gop;
  codec->max_b_frames = video.bFrames;
  codec->bit_rate = 4000000;
  codec->qmin = 2;
  codec->qmax = 4;
  if (video.codec == AV_CODEC_ID_MJPEG)
    codec->color_range = AVCOL_RANGE_JPEG;
  if (output->oformat->flags & AVFMT_GLOBALHEADER)
    codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(codec, encoder, nullptr) < 0)
    return false;
  if (avcodec_parameters_from_context(stream->codecpar, codec) < 0)
    return false;
  stream->time_base = codec->time_base;
  stream->avg_frame_rate = video.rate;
  if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
    return false;
  if (avformat_write_header(output, nullptr) < 0)
    return false;

  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> frameGuard(frame,
                                                          [](AVFrame* f) { av_frame_free(&f); });
  std::unique_ptr<AVPacket, void (*)(AVPacket*)> packetGuard(
      packet, [](AVPacket* p) { av_packet_free(&p); });
  frame->format = video.pixelFormat;
  frame->width = codec->width;
  frame->height = codec->height;
  if (av_frame_get_buffer(frame, 0) < 0)
    return false;
  SwsContext* scaler =
      sws_getContext(codec->width, codec->height, AV_PIX_FMT_RGB0, codec->width, codec->height,
                     video.pixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
  std::unique_ptr<SwsContext, void (*)(SwsContext*)> scalerGuard(scaler, sws_freeContext);
  if (scaler == nullptr)
    return false;

  auto drain = [&](AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0)
      return false;
    while (avcodec_receive_packet(codec, packet) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(output, packet) < 0)
        return false;
    }
    return true;
  };
  for (int n = 0; n < video.frames; ++n) {
    const Image picture = paint(n);
    if (av_frame_make_writable(frame) < 0)
      return false;
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(picture.Pixels())};
    const int sourceStride[1] = {static_cast<int>(picture.Width() * 4)};
    sws_scale(scaler, source, sourceStride, 0, codec->height, frame->data, frame->linesize);
    frame->pts = n;
    if (!drain(frame))
      return false;
  }
  if (!drain(nullptr))
    return false;
  return av_write_trailer(output) >= 0;
}

inline bool WriteCodedVideo(const std::string& path, const VideoSpec& video) {
  return WriteVideo(path, video, [&video](int n) { return CodedFrame(n, video.width, video.height); });
}

}  // namespace tessarix::test
