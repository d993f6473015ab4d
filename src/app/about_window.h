#pragma once

#include <QDialog>

class QLabel;

namespace tessarix {

class StaticLink;

// "About Tessarix": logo, version, tile aspect, the shipped pages as links and how many mosaics
// this user has made so far (read when the window opens).
class AboutWindow : public QDialog {
  Q_OBJECT

 public:
  explicit AboutWindow(QWidget* parent = nullptr);

  QString UsageText() const;
  StaticLink* Link(int i) const { return links_[i]; }

 private:
  QLabel* usage_ = nullptr;
  StaticLink* links_[3] = {};
};

// Shows the About window modally.
void ShowAboutWindow(QWidget* parent);

}  // namespace tessarix
