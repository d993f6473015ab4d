#include "app/photo_utilities_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/wait_cursor.h"

namespace tessarix {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PhotoUtilitiesWindow::PhotoUtilitiesWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToQString(kPhotoUtilitiesTitle));
  setWindowIcon(ProgramIcon());

  auto* rows = new QGridLayout;
  rows->setColumnStretch(1, 1);
  rows->setVerticalSpacing(12);
  int row = 0;
  for (const PhotoUtilityInfo& info : kPhotoUtilities) {
    auto* button = new QPushButton(ToQString(info.button));
    button->setObjectName(ToQString(info.cliName));
    button->setAutoDefault(false);
    button->setFixedWidth(150);
    auto* text = new QLabel(ToQString(info.description));
    text->setObjectName(ToQString(info.cliName) + "Text");
    text->setTextFormat(Qt::PlainText);  // the texts carry quotes and a "%"
    text->setWordWrap(true);
    rows->addWidget(button, row, 0, Qt::AlignTop);
    rows->addWidget(text, row, 1, Qt::AlignTop);
    const PhotoUtility command = info.command;
    connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
    ++row;
  }

  auto* close = new QPushButton(ToQString(kPhotoUtilitiesClose));
  close->setObjectName("close");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(rows);
  layout->addLayout(bottom);
  setFixedWidth(560);
}

std::optional<PhotoUtilityResult> PhotoUtilitiesWindow::Run(PhotoUtility command) {
  // Most utilities show the wait cursor from the moment the button is pressed, the file dialog
  // included; the mask analysis only once a file has been chosen.
  std::optional<WaitCursor> wait;
  if (PhotoUtilityInfoOf(command).waitCursorDuringDialog)
    wait.emplace();
  const std::optional<std::string> path = AskPhotoUtilityFile(command);
  if (!path)
    return std::nullopt;
  if (!wait)
    wait.emplace();
  // The utilities say nothing themselves when they fall short, and neither does the window.
  return RunPhotoUtility(command, *path);
}

}  // namespace tessarix
