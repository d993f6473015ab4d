#include "app/collection_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/qt_prompt.h"
#include "app/tool_windows.h"
#include "app/wait_cursor.h"
#include "collection/image_collection.h"
#include "job_state/mosaic_job.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr const char* kCollectionFilter = "Tessarix Image Collection Kovra (*.tzc)|*.tzc||";
constexpr const char* kCollectionExtension = "tzc";

QLabel* HelpText(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// One button with its help text, in a frame of its own.
QGroupBox* Row(QPushButton* button, QWidget* help, QWidget* more = nullptr) {
  auto* frame = new QGroupBox;
  auto* layout = new QHBoxLayout(frame);
  button->setFixedWidth(170);
  layout->addWidget(button, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(0);
  texts->addWidget(help);
  if (more != nullptr)
    texts->addWidget(more);
  layout->addLayout(texts, 1);
  return frame;
}

}  // namespace

CollectionWindow::CollectionWindow(ImageCollection& collection, const MosaicJob& job,
                                   QWidget* parent)
    : QDialog(parent), collection_(collection), job_(job), commands_(collection) {
  setWindowTitle("Step 1: Choose an Image Collection");
  setWindowIcon(ProgramIcon());
  askSaveFile = [this] { return AskSaveFileName(this, kCollectionFilter, kCollectionExtension); };

  auto* create = new QPushButton("Create Collection ...");
  auto* load = new QPushButton("Load Collection ...");
  auto* update = new QPushButton("Update Collection");
  // Qt shows "&&" as one ampersand, as the label is meant to read.
  auto* grey = new QPushButton("Black && White");
  auto* movie = new QPushButton("Extract from Movie ...");
  auto* utilities = new QPushButton("Photo Utilities ...");
  auto* close = new QPushButton("Close");
  create->setObjectName("create");
  load->setObjectName("load");
  update->setObjectName("update");
  grey->setObjectName("blackAndWhite");
  movie->setObjectName("movie");
  utilities->setObjectName("utilities");
  close->setObjectName("close");
  for (QPushButton* b : {create, load, update, grey, movie, utilities}) b->setAutoDefault(false);
  close->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Row(create, HelpText("Use this button to create a new Collection. You will be "
                                         "asked for a source directory. Then the programm will "
                                         "add all Image (*.JPG) files in that directory and "
                                         "subdirectories to the List of Images.")));
  layout->addWidget(Row(load, HelpText("Use this button to load an existing collection. An Image "
                                       "Collection is a list of Images that will be used to "
                                       "create the Mosaic.")));
  layout->addWidget(Row(update, HelpText("Use this button to update the List of Images in the "
                                         "Collection. You need to do this if you added or "
                                         "removed some images from the source directory.")));
  layout->addWidget(
      Row(grey,
          HelpText("Use this button to use the current List of Images as Black & White Images. "
                   "The final Mosaic will be still a Color Image but created using an analysis "
                   "based on gray scale images. The gray scale analysis is"),
          HelpText("temporary if you do not save it with the button Update Collection.")));
  layout->addWidget(Row(movie, HelpText("Use this button to extract Images (*.JPG) from a Movie "
                                        "file (*.AVI). After this process create the Image "
                                        "Collection on the exctracted Images.")));
  layout->addWidget(Row(utilities, HelpText("Some Photo Utilities. Only for advanced users.")));

  auto* selectedGroup = new QGroupBox("Selected Image Collection:");
  auto* selectedLayout = new QVBoxLayout(selectedGroup);
  selected_ = new QLabel(QString::fromStdString(collection_.description));
  selected_->setObjectName("selectedCollection");
  selected_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  selected_->setTextFormat(Qt::PlainText);
  selectedLayout->addWidget(selected_);
  layout->addWidget(selectedGroup);

  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(new QLabel("Status:"));
  status_ = new QLabel("-");
  status_->setObjectName("status");
  status_->setTextFormat(Qt::PlainText);
  statusRow->addWidget(status_, 1);
  statusRow->addWidget(close);
  layout->addLayout(statusRow);
  setFixedWidth(620);
  // Wrapped help texts need the height that belongs to this width, not the layout's first guess.
  layout->activate();
  resize(620, layout->totalHeightForWidth(620));

  timer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, &CollectionWindow::AnalyseTick);
  connect(create, &QPushButton::clicked, this, &CollectionWindow::Create);
  connect(load, &QPushButton::clicked, this, &CollectionWindow::Load);
  connect(update, &QPushButton::clicked, this, &CollectionWindow::Update);
  connect(grey, &QPushButton::clicked, this, &CollectionWindow::BlackAndWhite);
  connect(movie, &QPushButton::clicked, this, [this] { OpenMovieExtraction(this, status_); });
  connect(utilities, &QPushButton::clicked, this, [this] { OpenPhotoUtilities(this); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QString CollectionWindow::StatusText() const {
  return status_->text();
}
QString CollectionWindow::SelectedText() const {
  return selected_->text();
}

bool CollectionWindow::RefuseDuringBatch() {
  // The worker walks the collection without a lock; changing it under the worker would pull
  // entries out from under the cells that point at them.
  if (!job_.IsRunning())
    return false;
  ShowStatus(kBusyText);
  return true;
}

void CollectionWindow::ShowStatus(const std::string& text) {
  status_->setText(QString::fromStdString(text));
  status_->repaint();
}

void CollectionWindow::ShowReport(const CollectionCommands::Report& report) {
  selected_->setText(QString::fromStdString(collection_.description));
  if (!report.status.empty())
    ShowStatus(report.status);
  if (report.message)
    Prompt().ShowMessage(*report.message, MessageIcon::Information);
}

void CollectionWindow::StartTimerIfRunning() {
  if (commands_.Running())
    timer_.start();
  else
    timer_.stop();
}

void CollectionWindow::Load() {
  if (RefuseDuringBatch())
    return;
  const std::optional<std::string> path = Prompt().AskOpenFile(
      kCollectionFilter, kCollectionExtension, "Choose the collection to load", 0);
  if (!path)
    return;
  timer_.stop();
  CollectionCommands::Report report;
  {
    WaitCursor wait;
    report = commands_.Load(*path);
  }
  ShowReport(report);
  StartTimerIfRunning();
}

void CollectionWindow::Create() {
  if (commands_.Running() || RefuseDuringBatch())
    return;
  const QString path = askSaveFile ? askSaveFile() : QString();
  if (path.isEmpty())
    return;
  CollectionCommands::Report report;
  {
    WaitCursor wait;
    ShowStatus("Building File List...");
    report = commands_.BeginCreate(path.toStdString());
  }
  ShowReport(report);
  StartTimerIfRunning();
}

void CollectionWindow::Update() {
  if (commands_.Running() || RefuseDuringBatch())
    return;
  CollectionCommands::Report report;
  {
    WaitCursor wait;
    if (!collection_.filePath.empty())
      ShowStatus("Building File List...");
    report = commands_.BeginUpdate();
  }
  ShowReport(report);
  StartTimerIfRunning();
}

void CollectionWindow::BlackAndWhite() {
  if (commands_.Running() || RefuseDuringBatch())
    return;
  WaitCursor wait;
  commands_.MakeBlackAndWhite();
}

void CollectionWindow::AnalyseTick() {
  if (!commands_.Running()) {
    timer_.stop();
    return;
  }
  const CollectionCommands::Tick tick = commands_.AnalyseTick();
  if (tick.more) {
    ShowStatus(tick.report.status);
    return;
  }
  timer_.stop();
  ShowReport(tick.report);
}

void CollectionWindow::done(int result) {
  timer_.stop();
  // A half-analysed collection is not kept.
  if (commands_.Running())
    commands_.Close();
  QDialog::done(result);
}

void OpenCollectionWindow(ImageCollection& collection, const MosaicJob& job, QWidget* parent) {
  CollectionWindow window(collection, job, parent);
  window.exec();
}

}  // namespace tessarix
