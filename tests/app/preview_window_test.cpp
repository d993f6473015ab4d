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

TEST(PreviewWindowTest, ShrunkPlacedAtAThirdOfTheFreeScreenAndNamedWithTheFullSize) {
  Shown shown;
  shown.window->ShowPreview(MakeFlatImage(3000, 2000, 0), "Mosaic: /p/x.jpg",
                            QRect(0, 0, 1024, 768));
  EXPECT_EQ(shown.window->PictureSize(), QSize(700, 466));
  // (1024 - 700) / 3 and (768 - 466) / 3; the offscreen platform draws no frame.
  EXPECT_EQ(shown.window->geometry(), QRect(108, 100, 700, 466));
  EXPECT_EQ(shown.window->windowTitle().toStdString(), "Mosaic: /p/x.jpg (Full Size 3000x2000)");
  Shown offset;  // a screen that does not start at the origin
  offset.window->ShowPreview(MakeFlatImage(100, 50, 0), "x", QRect(50, 20, 400, 350));
  EXPECT_EQ(offset.window->geometry(), QRect(50 + 100, 20 + 100, 100, 50));
}

TEST(PreviewWindowTest, ShowsThePixelsTheRightWayUp) {
  // Red top row, blue bottom row, green right column: catches swapped channels and a picture
  // shown upside down or mirrored.
  const Image image = MakeImage(5, 3, [](uint32_t x, uint32_t y) -> Pixel {
    if (x == 4)
      return 0x0000ff00;
    return y == 0 ? 0x000000ffu : y == 2 ? 0x00ff0000u : 0x00ffffffu;
  });
  Shown shown;
  shown.window->ShowPreview(image, "x", QRect(0, 0, 800, 600));
  const QLabel* picture = shown.window->findChild<QLabel*>();
  ASSERT_NE(picture, nullptr);
  const QImage shownImage = picture->pixmap().toImage();
  ASSERT_EQ(shownImage.size(), QSize(5, 3));
  EXPECT_EQ(shownImage.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(shownImage.pixelColor(0, 2), QColor(0, 0, 255));
  EXPECT_EQ(shownImage.pixelColor(4, 0), QColor(0, 255, 0));
  EXPECT_EQ(shownImage.pixelColor(2, 1), QColor(255, 255, 255));
}

}  // namespace
}  // namespace tessarix
