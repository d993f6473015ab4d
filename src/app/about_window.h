#pragma once

#include <QDialog>

#include <QString>

class QLabel;

namespace tessarix {

class StaticLink;

// "About Tessarix": logo, version, tile aspect, the shipped pages as links (each named by its
// title or file name, the address in its tooltip) and how many mosaics this user has made so far
// (read when the window opens).
class AboutWindow : public QDialog {
  Q_OBJECT

 public:
  // The pages are looked up from `programFolder` (empty: the running program's folder).
  explicit AboutWindow(QWidget* parent = nullptr, QString programFolder = QString());

  QString UsageText() const;
  StaticLink* Link(int i) const { return links_[i]; }

 private:
  QLabel* usage_ = nullptr;
  StaticLink* links_[3] = {};
};

// Shows the About window modally.
void ShowAboutWindow(QWidget* parent);

}  // namespace tessarix
