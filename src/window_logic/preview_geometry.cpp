#include "window_logic/preview_geometry.h"

#include <algorithm>

namespace tessarix {

PreviewSize PreviewDisplaySize(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0)
    return PreviewSize{width, height, false};
  if (width < kPreviewMaxWidth && height < kPreviewMaxHeight)
    return PreviewSize{width, height, false};
  // 64-bit products: 700 x a 32-bit height does not fit in 32 bits.
  const uint64_t fitHeight = std::max<uint64_t>(1, uint64_t{kPreviewMaxWidth} * height / width);
  if (fitHeight <= kPreviewMaxHeight)
    return PreviewSize{kPreviewMaxWidth, static_cast<uint32_t>(fitHeight), true};
  const uint64_t fitWidth = std::max<uint64_t>(1, uint64_t{kPreviewMaxHeight} * width / height);
  return PreviewSize{static_cast<uint32_t>(fitWidth), kPreviewMaxHeight, true};
}

PreviewRect PreviewClientRect(int screenWidth, int screenHeight, uint32_t width, uint32_t height) {
  const int64_t w = width;
  const int64_t h = height;
  const int64_t left = w > screenWidth ? 0 : (screenWidth - w) / 3;
  const int64_t top = h > screenHeight ? 0 : (screenHeight - h) / 3;
  return PreviewRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + w),
                     static_cast<int>(top + h)};
}

PreviewRect PreviewWindowRect(const PreviewRect& client, int frameLeft, int frameTop,
                              int frameRight, int frameBottom) {
  PreviewRect r{client.left - frameLeft, client.top - frameTop, client.right + frameRight,
                client.bottom + frameBottom};
  if (r.top < 0) {
    r.bottom -= r.top;
    r.top = 0;
  }
  if (r.left < 0)
    r.left = 0;
  return r;
}

}  // namespace tessarix
