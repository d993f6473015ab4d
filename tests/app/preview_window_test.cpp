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

// Shrunk and placed as the preview geometry says, on a screen that does not start at the origin.
TEST(PreviewWindowTest, ShrunkPlacedOnItsScreenAndNamedWithTheFullSize) {
  Shown shown;
  shown.window->ShowPreview(MakeFlatImage(3000, 2000, 0), "Mosaic: /p/x.jpg",
                            QRect(50, 20, 1024, 768));
  // 700 x 466 at (1024 - 700) / 3 and (768 - 466) / 3; the offscreen platform draws no frame.
  EXPECT_EQ(shown.window->geometry(), QRect(50 + 108, 20 + 100, 700, 466));
  EXPECT_EQ(shown.window->windowTitle().toStdString(), "Mosaic: /p/x.jpg (Full Size 3000x2000)");
}

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
