#include "app/preview_window.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "app/app_icon.h"
#include "app/wait_cursor.h"
#include "imaging/dib.h"
#include "imaging/image.h"
#include "imaging/image_ops.h"
#include "job/preview_geometry.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

QPixmap ToPixmap(const Image& image) {
  const std::optional<Dib> dib = ToDib(image);
  if (!dib)
    return QPixmap();
  const QImage bottomUp(dib->bytes.data(), static_cast<int>(dib->width),
                        static_cast<int>(dib->height),
                        static_cast<qsizetype>(Dib::RowStride(dib->width)), QImage::Format_BGR888);
  // mirrored() copies, so the pixmap does not point into the DIB.
  return QPixmap::fromImage(bottomUp.mirrored(false, true));
}

}  // namespace

PreviewWindow::PreviewWindow() : QWidget(nullptr, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(ProgramIcon());
  setWindowTitle("Mosaic Preview");
  picture_ = new QLabel(this);
  picture_->move(0, 0);
}

QSize PreviewWindow::PictureSize() const {
  return picture_->size();
}

void PreviewWindow::Place(const QRect& area, const PreviewRect& client, int height) {
  const QRect frame = frameGeometry();
  const QRect inner = geometry();
  const int fl = inner.left() - frame.left();
  const int ft = inner.top() - frame.top();
  const int fr = frame.right() - inner.right();
  const int fb = frame.bottom() - inner.bottom();
  const PreviewRect outer = PreviewWindowRect(client, fl, ft, fr, fb);
  // A window cut on the left shows the left part of the picture in what is left of it.
  setFixedSize(std::max(1, outer.right - outer.left - fl - fr), height);
  // For a top-level window move() places the frame, not the client area.
  move(area.x() + outer.left, area.y() + outer.top);
}

void PreviewWindow::ShowPreview(const Image& image, const std::string& name,
                                std::optional<QRect> screenArea) {
  WaitCursor wait;
  setWindowTitle(QString::fromStdString(Format("%s (Full Size %dx%d)", name.c_str(),
                                               static_cast<int>(image.Width()),
                                               static_cast<int>(image.Height()))));
  const PreviewSize size = PreviewDisplaySize(image.Width(), image.Height());
  QPixmap pixmap;
  if (size.shrink) {
    const std::optional<Image> shown =
        Resample(image, size.width, size.height, image.Width(), image.Height(), 0, 0);
    if (shown)
      pixmap = ToPixmap(*shown);
  } else if (!image.Empty()) {
    pixmap = ToPixmap(image);
  }
  // With nothing to show the window still opens, at the size the picture would have had, so a
  // person sees which picture failed from its title.
  const int width =
      pixmap.isNull() ? static_cast<int>(std::max<uint32_t>(size.width, 1)) : pixmap.width();
  const int height =
      pixmap.isNull() ? static_cast<int>(std::max<uint32_t>(size.height, 1)) : pixmap.height();

  QRect area;
  if (screenArea) {
    area = *screenArea;
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  const PreviewRect client = PreviewClientRect(
      area.width(), area.height(), static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  picture_->setPixmap(pixmap);
  picture_->resize(width, height);
  Place(area, client, height);
  show();
  // The frame is known only once the window manager has framed the window; place it again.
  Place(area, client, height);
}

}  // namespace tessarix
