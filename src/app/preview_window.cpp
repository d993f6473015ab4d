#include "app/preview_window.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMargins>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "app/app_icon.h"
#include "app/wait_cursor.h"
#include "imaging/dib.h"
#include "imaging/image.h"
#include "imaging/image_ops.h"
#include "platform/text_format.h"
#include "window_logic/preview_geometry.h"

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

void PreviewWindow::Place(const QMargins& frame, bool framed) {
  placedFor_ = frame;
  const PreviewRect outer =
      PreviewWindowRect(client_, frame.left(), frame.top(), frame.right(), frame.bottom());
  // A window cut on the left shows the left part of the picture in what is left of it.
  setFixedSize(std::max(1, outer.right - outer.left - frame.left() - frame.right()), height_);
  const QPoint corner(area_.x() + outer.left, area_.y() + outer.top);
  // move() places a top-level window's frame. Once a window manager has framed the window, Qt may
  // take the client position it derives for the current one and never send it: the frame is then
  // placed through the window itself.
  if (framed && windowHandle() != nullptr)
    windowHandle()->setFramePosition(corner);
  else
    move(corner);
}

QMargins PreviewWindow::Frame() const {
  return windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
}

// The window manager frames the window after it is shown and tells by moving it: the frame is
// known only from then on.
void PreviewWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // Moving the window from within the report of its move is lost; it waits for the next turn.
  if (placed_ && Frame() != placedFor_)
    QTimer::singleShot(0, this, [this] { Place(Frame(), true); });
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
  area_ = area;
  client_ = client;
  height_ = height;
  Place(Frame(), false);
  placed_ = true;
  show();
  if (Frame() != placedFor_)
    Place(Frame(), false);
}

}  // namespace tessarix
