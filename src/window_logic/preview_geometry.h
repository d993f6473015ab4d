#pragma once

#include <cstdint>

namespace tessarix {

// The largest picture a preview shows; bigger ones are shrunk to fit, keeping their aspect.
inline constexpr uint32_t kPreviewMaxWidth = 700;
inline constexpr uint32_t kPreviewMaxHeight = 500;

struct PreviewSize {
  uint32_t width = 0;
  uint32_t height = 0;
  bool shrink = false;  // false: the picture is shown as it is
};

// A picture at least 700 wide or 500 high is fitted into 700 x 500: 700 wide when the height that
// gives is at most 500, else 500 high; truncating integer division, never below 1.
PreviewSize PreviewDisplaySize(uint32_t width, uint32_t height);

struct PreviewRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The client area, a third of the free screen space from the top-left corner (0 along an axis
// where the picture does not fit).
PreviewRect PreviewClientRect(int screenWidth, int screenHeight, uint32_t width, uint32_t height);

// Grows a client rectangle by the window frame, then keeps the caption reachable: a rectangle
// above the screen is moved down whole, one beyond the left edge loses what sticks out.
PreviewRect PreviewWindowRect(const PreviewRect& client, int frameLeft, int frameTop,
                              int frameRight, int frameBottom);

}  // namespace tessarix
