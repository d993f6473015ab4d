#include "app/preview_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>

#include "app_test_support.h"

namespace tessarix {
namespace {

using namespace test;

// Previews delete themselves on close; the tests close them the same way.
struct Shown {
  PreviewWindow* window = new PreviewWindow;
  ~Shown() { window->close(); }
};

// Red top row, blue bottom row, green right column: catches swapped channels and a picture shown
// upside down or mirrored.
TEST(PreviewWindowTest, ShowsThePixelsTheRightWayUp) {
  const Image image = MakeImage(5, 3, [](uint32_t x, uint32_t y) -> Pixel {
    return x == 4 ? 0x0000ff00 : y == 0 ? 0x000000ffu : y == 2 ? 0x00ff0000u : 0x00ffffffu;
  });
  Shown shown;
  shown.window->ShowPreview(image, "x", QRect(0, 0, 800, 600));
  const QImage picture = shown.window->findChild<QLabel*>()->pixmap().toImage();
  EXPECT_EQ((std::vector{picture.pixel(0, 0), picture.pixel(0, 2), picture.pixel(4, 0),
                         picture.pixel(2, 1)}),
            (std::vector{qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 255, 255)}));
}

}  // namespace
}  // namespace tessarix
