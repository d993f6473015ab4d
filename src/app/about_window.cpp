#include "app/about_window.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/help_links.h"
#include "app/link_name.h"
#include "app/static_link.h"
#include "color/color_info.h"
#include "engine/usage_counter.h"
#include "platform/text_format.h"
#include "window_logic/window_texts.h"

namespace tessarix {
namespace {

QLabel* Wrapped(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

AboutWindow::AboutWindow(QWidget* parent, QString programFolder) : QDialog(parent) {
  if (programFolder.isEmpty())
    programFolder = QCoreApplication::applicationDirPath();
  setWindowTitle("About Tessarix");
  setWindowIcon(ProgramIcon());
  setModal(true);

  auto* logo = new QLabel;
  logo->setPixmap(LogoPixmap(64));
  logo->setFixedSize(64, 64);

  auto* name = new QLabel("Tessarix");
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  name->setFont(big);

  auto* facts = new QGridLayout;
  facts->addWidget(new QLabel("Version"), 0, 0);
  facts->addWidget(new QLabel("3.21"), 0, 1);
  facts->addWidget(new QLabel("- Tile aspect ratio:"), 1, 0);
  auto* aspect = new QLineEdit(QString::fromStdString(
      Format("%d:%d", static_cast<int>(kThumbWidth), static_cast<int>(kThumbHeight))));
  aspect->setObjectName("aspectRatio");
  aspect->setReadOnly(true);
  aspect->setFixedWidth(aspect->fontMetrics().horizontalAdvance(aspect->text()) * 2 + 16);
  facts->addWidget(aspect, 1, 1);
  facts->setColumnStretch(2, 1);

  auto* head = new QHBoxLayout;
  head->addWidget(logo);
  auto* nameBox = new QVBoxLayout;
  nameBox->addWidget(name);
  nameBox->addLayout(facts);
  head->addLayout(nameBox, 1);

  auto* linkBox = new QVBoxLayout;
  const char* pages[3] = {kTutorialName, kUserGuideName, kProjectPageName};
  for (int i = 0; i < 3; ++i) {
    const QString path = FindHelpFile(programFolder, pages[i]);
    const QString address = QUrl::fromLocalFile(path).toString();
    links_[i] = new StaticLink(LinkDisplayName(path), address);
    links_[i]->setToolTip(address);
    links_[i]->setWordWrap(true);
    linkBox->addWidget(links_[i]);
  }

  auto* description = Wrapped(
      "Tessarix  is a simple but powerful tool to create PhotoMosaic images. Follow carefully "
      "the Tutorial for to learn how to get the best results. Photomosaics made with this "
      "program are freely available at my wallpaper web site");

  usage_ = Wrapped(QString::fromStdString(UsageLine(ReadUsage())));
  usage_->setObjectName("usageLine");
  QFont bold = usage_->font();
  bold.setBold(true);
  usage_->setFont(bold);

  auto* thanks = new QFrame;
  thanks->setFrameShape(QFrame::StyledPanel);
  auto* thanksBox = new QVBoxLayout(thanks);
  thanksBox->addWidget(Wrapped(
      "Thanks to everybody who sent photographs, collections and ideas, to the people behind "
      "libjpeg-turbo, FFmpeg and Qt, and to every tester who waited for a mosaic to finish."));

  auto* enjoy = new QLabel("Love All & Enjoy :)");
  enjoy->setTextFormat(Qt::PlainText);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addLayout(linkBox);
  layout->addWidget(description);
  layout->addWidget(usage_);
  layout->addWidget(thanks);
  layout->addWidget(enjoy);
  layout->addWidget(buttons);
  setFixedWidth(460);
}

QString AboutWindow::UsageText() const {
  return usage_->text();
}

void ShowAboutWindow(QWidget* parent) {
  AboutWindow window(parent);
  window.exec();
}

}  // namespace tessarix
