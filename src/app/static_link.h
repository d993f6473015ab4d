#pragma once

#include <QColor>
#include <QLabel>

namespace tessarix {

// A text that opens an address when clicked: blue and underlined, purple once it has opened
// something, plain text for good after every attempt failed (with a beep).
class StaticLink : public QLabel {
  Q_OBJECT

 public:
  static inline const QColor kUnvisited{0, 0, 255};
  static inline const QColor kVisited{128, 0, 128};

  // `link` empty: the shown text is the address; otherwise the text is the link's name.
  explicit StaticLink(const QString& text, const QString& link = QString(),
                      QWidget* parent = nullptr);

  bool Failed() const { return failed_; }
  QColor Color() const { return color_; }

  // What a left click does; true when something opened.
  bool Follow();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void ApplyLook();

  QString link_;
  QColor color_ = kUnvisited;
  bool failed_ = false;
};

}  // namespace tessarix
