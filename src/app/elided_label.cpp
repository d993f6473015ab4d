#include "app/elided_label.h"

#include <QFontMetrics>

namespace tessarix {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::SetFullText(const QString& text) {
  if (text == full_)
    return;
  full_ = text;
  Elide();
}

QSize ElidedLabel::sizeHint() const {
  return minimumSizeHint();
}

// The height of one line only: the width the text would need is never asked for.
QSize ElidedLabel::minimumSizeHint() const {
  const QMargins m = contentsMargins();
  return {m.left() + m.right(), fontMetrics().height() + m.top() + m.bottom()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::Elide() {
  const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width());
  if (shown != text())
    setText(shown);
  setToolTip(full_);
}

}  // namespace tessarix
