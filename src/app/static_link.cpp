#include "app/static_link.h"

#include <QApplication>
#include <QMouseEvent>
#include <QUrl>

#include "app/help_links.h"

namespace tessarix {

StaticLink::StaticLink(const QString& text, const QString& link, QWidget* parent)
    : QLabel(text, parent), link_(link) {
  setTextFormat(Qt::PlainText);
  ApplyLook();
}

void StaticLink::ApplyLook() {
  QFont f = font();
  f.setUnderline(!failed_);
  setFont(f);
  QPalette p = palette();
  p.setColor(QPalette::WindowText,
             failed_ ? QApplication::palette(this).color(QPalette::WindowText) : color_);
  setPalette(p);
  if (failed_)
    unsetCursor();
  else
    setCursor(Qt::PointingHandCursor);
}

bool StaticLink::Follow() {
  if (failed_)
    return false;
  // A link with an address shows a name, which is no address to try.
  const QString candidate = link_.isEmpty() ? text() : link_;
  if (!candidate.isEmpty() && OpenLocalUrl(QUrl::fromUserInput(candidate))) {
    color_ = kVisited;
    ApplyLook();
    update();
    return true;
  }
  QApplication::beep();
  failed_ = true;
  ApplyLook();
  return false;
}

void StaticLink::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !failed_) {
    Follow();
    return;
  }
  QLabel::mousePressEvent(event);
}

}  // namespace tessarix
