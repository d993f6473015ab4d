#pragma once

#include <QLabel>
#include <QString>

namespace tessarix {

// One line of changing text (a status line with a path in it) that never widens its window: a
// text longer than the label is shown with its middle replaced by an ellipsis, and the whole
// text is the tooltip.
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  void SetFullText(const QString& text);
  QString FullText() const { return full_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();

  QString full_;
};

}  // namespace tessarix
