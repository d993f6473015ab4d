#include "app/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/about_window.h"
#include "app/app_icon.h"
#include "app/collection_window.h"
#include "app/elided_label.h"
#include "app/help_links.h"
#include "app/preview_window.h"
#include "app/remembered_settings.h"
#include "app/wait_cursor.h"
#include "engine/mosaic_settings.h"
#include "imaging/jpeg_dialog_filter.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"
#include "window_logic/collection_commands.h"
#include "window_logic/window_texts.h"

namespace tessarix {
namespace {

QLabel* Wrapped(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLineEdit* Field(const QString& text, const char* name) {
  auto* field = new QLineEdit(text);
  field->setObjectName(name);
  field->setFixedWidth(70);
  return field;
}

// The field of a mosaic setting, holding its default.
QLineEdit* Field(std::string ParameterFields::*member) {
  const MosaicSetting& setting = MosaicSettingOf(member);
  auto* field = new QLineEdit(Text(setting.defaultText));
  field->setObjectName(Text(setting.name));
  field->setFixedWidth(70);
  return field;
}

const MosaicSetting& SettingNamed(const QString& name) {
  for (const MosaicSetting& setting : kMosaicSettings) {
    if (Text(setting.name) == name)
      return setting;
  }
  return kMosaicSettings.front();  // every settings field is named after its entry
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QDialog(parent) {
  // A normal top-level window for the task bar and Alt+Tab; the QDialog beneath keeps the
  // default button and Escape.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowTitle("Tessarix - Kovra");
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
  BuildControls();
  ReserveRoom();
  bar_->setRange(0, 10000);
  collectionText_->setText(QString::fromStdString(collection_.description));
  ShowSettings(RememberedSettings().Window());
  timer_.setInterval(500);
  connect(&timer_, &QTimer::timeout, this, &MainWindow::Tick);
  timer_.start();
  // Return means "Create the Mosaic's" wherever the focus is.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  start_->setAutoDefault(true);
  start_->setDefault(true);
  // Resizable, but never smaller than the size at which every text shows whole.
  const int width = sizeHint().width();
  setMinimumSize(width, heightForWidth(width));
  resize(minimumSize());
  LoadRememberedCollection();
}

// The texts that change while the program runs get room for the longest of them once and for
// all, so that no text set later resizes or moves a control.
void MainWindow::ReserveRoom() {
  const int line = fontMetrics().lineSpacing();
  summary_->setMinimumHeight(2 * QFontMetrics(summary_->font()).lineSpacing());
  info_->setFixedHeight(8 * line);
  progress_->setFixedHeight(2 * line);
  // The list scrolls: it takes the height the other columns leave it.
  list_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  list_->setMinimumHeight(6 * line);
}

MainWindow::~MainWindow() {
  timer_.stop();
  RememberedSettings().SetWindow(ReadSettings());
  for (const QPointer<PreviewWindow>& preview : previews_) delete preview.data();
}

void MainWindow::BuildControls() {
  // Step 1 and Help.
  auto* step1 = new QGroupBox("Step 1. Where are the tiles of the Photomosaic?");
  auto* step1Layout = new QHBoxLayout(step1);
  collectionText_ = new QLabel;
  collectionText_->setObjectName("collectionDescription");
  collectionText_->setTextFormat(Qt::PlainText);
  collectionText_->setWordWrap(true);
  auto* findTiles = new QPushButton("Find &Tiles...");
  findTiles->setObjectName("findTiles");
  step1Layout->addWidget(collectionText_, 1);
  step1Layout->addWidget(findTiles);

  auto* help = new QGroupBox("Help");
  auto* helpLayout = new QHBoxLayout(help);
  auto* guide = new QPushButton("?");
  auto* internet = new QPushButton("Internet");
  guide->setObjectName("userGuide");
  internet->setObjectName("tutorial");
  helpLayout->addWidget(guide);
  helpLayout->addWidget(internet);

  auto* top = new QHBoxLayout;
  top->addWidget(step1, 1);
  top->addWidget(help);

  // Step 2: the settings, each with its advice beside it.
  auto* step2 = new QGroupBox("Step 2. How should I create the Mosaic?");
  auto* grid = new QGridLayout(step2);
  grid->setVerticalSpacing(2);
  int row = 0;
  // Each field beside the label its setting has, found by the field's name.
  auto addRow = [&](QWidget* field) {
    grid->addWidget(Wrapped(Text(SettingNamed(field->objectName()).label)), row, 0);
    grid->addWidget(field, row, 1, Qt::AlignTop);
    ++row;
  };
  mosaicWidth_ = Field(&ParameterFields::mosaicWidth);
  tilesPerRowField_ = Field(&ParameterFields::tilesPerRow);
  tileWidthField_ = Field(&ParameterFields::tileWidth);
  border_ = Field(&ParameterFields::border);
  duplicateDistance_ = Field(&ParameterFields::duplicateDistance);
  maxDuplicatesField_ = Field(&ParameterFields::maxDuplicates);
  modification_ = Field(&ParameterFields::modification);
  sequenceDistance_ = Field(&ParameterFields::sequenceDistance);
  quality_ = Field(&ParameterFields::jpegQuality);
  algorithm_ = new QComboBox;
  algorithm_->setObjectName(Text(MosaicSettingOf(nullptr).name));
  for (const AlgorithmName& name : kAlgorithms) algorithm_->addItem(Text(name.label));
  summary_ = Wrapped(
      "With the above settings the total width is 5000 pixels and the approximate number of "
      "tiles is 2500 tiles (for a standard image)");
  summary_->setObjectName("summary");
  QFont summaryFont = summary_->font();
  summaryFont.setBold(true);
  summary_->setFont(summaryFont);

  addRow(mosaicWidth_);
  addRow(tilesPerRowField_);
  addRow(tileWidthField_);
  addRow(border_);
  grid->addWidget(summary_, row++, 0, 1, 2);
  addRow(duplicateDistance_);
  addRow(maxDuplicatesField_);
  addRow(modification_);
  algorithm_->setFixedWidth(130);
  addRow(algorithm_);
  addRow(sequenceDistance_);
  addRow(quality_);

  useAll_ = new QCheckBox("Use all Images in Collection:");
  useAll_->setObjectName("useAll");
  useAll_->setLayoutDirection(Qt::RightToLeft);
  auto* useAllRow = new QHBoxLayout;
  useAllRow->addWidget(useAll_);
  useAllRow->addStretch();
  grid->addLayout(useAllRow, row++, 0, 1, 2);
  auto* saveRow = new QHBoxLayout;
  saveRow->addWidget(new QLabel("Save also a:"));
  textReport_ = new QCheckBox("Text Report");
  textReport_->setObjectName("textReport");
  webPage_ = new QCheckBox("Web Page with Width:");
  webPage_->setObjectName("webPage");
  webWidth_ = Field(Text(kDefaultWebPageWidth), "webWidth");
  saveRow->addWidget(textReport_);
  saveRow->addWidget(webPage_);
  saveRow->addWidget(webWidth_);
  saveRow->addStretch();
  grid->addLayout(saveRow, row++, 0, 1, 2);
  grid->setColumnStretch(0, 1);

  // Step 3: the photographs.
  auto* step3 = new QGroupBox("Step 3. Select the Images to change into a Mosaic:");
  auto* step3Layout = new QVBoxLayout(step3);
  list_ = new QListWidget;
  list_->setObjectName("sources");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  step3Layout->addWidget(list_);
  auto* listButtons = new QHBoxLayout;
  auto* addImage = new QPushButton("Add Image");
  auto* addDirectory = new QPushButton("Add Directory");
  auto* removeImage = new QPushButton("Remove Image");
  auto* clearList = new QPushButton("Clear List");
  for (QPushButton* b : {addImage, addDirectory, removeImage, clearList}) listButtons->addWidget(b);
  step3Layout->addLayout(listButtons);

  // Step 4: start, about, exit.
  auto* step4 = new QGroupBox("Step 4. Make the Mosaics:");
  auto* step4Layout = new QHBoxLayout(step4);
  start_ = new QPushButton("&Create the Mosaic's");
  start_->setObjectName("start");
  auto* about = new QPushButton("&About Tessarix");
  auto* exit = new QPushButton("E&xit");
  exit->setObjectName("exit");
  step4Layout->addWidget(start_, 1);
  step4Layout->addWidget(about);
  step4Layout->addWidget(exit);

  // Status.
  auto* statusGroup = new QGroupBox("Status");
  auto* statusLayout = new QVBoxLayout(statusGroup);
  info_ = Wrapped(QString());
  info_->setObjectName("info");
  info_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  status_ = new ElidedLabel;
  status_->setObjectName("statusLine");
  progress_ = new QLabel;
  progress_->setObjectName("progressLine");
  progress_->setTextFormat(Qt::PlainText);
  progress_->setWordWrap(true);
  bar_ = new QProgressBar;
  bar_->setObjectName("progressBar");
  bar_->setTextVisible(false);
  statusLayout->addWidget(info_);
  statusLayout->addWidget(status_);
  statusLayout->addWidget(progress_);
  statusLayout->addWidget(bar_);

  auto* left = new QVBoxLayout;
  left->addLayout(top);
  left->addWidget(step2);
  auto* right = new QVBoxLayout;
  right->addWidget(step3, 1);
  right->addWidget(step4);
  right->addWidget(statusGroup);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);

  for (QLineEdit* f : {tilesPerRowField_, tileWidthField_, border_, duplicateDistance_,
                       sequenceDistance_, modification_, mosaicWidth_, quality_})
    connect(f, &QLineEdit::textChanged, this, &MainWindow::RunCheck);
  connect(algorithm_, &QComboBox::currentIndexChanged, this, &MainWindow::RunCheck);
  connect(findTiles, &QPushButton::clicked, this, &MainWindow::FindTiles);
  connect(guide, &QPushButton::clicked, this, [] { OpenUserGuide(); });
  connect(internet, &QPushButton::clicked, this, [] { OpenTutorial(); });
  connect(addImage, &QPushButton::clicked, this, &MainWindow::AddImage);
  connect(addDirectory, &QPushButton::clicked, this, &MainWindow::AddDirectory);
  connect(removeImage, &QPushButton::clicked, this, &MainWindow::RemoveImage);
  connect(clearList, &QPushButton::clicked, this, &MainWindow::ClearList);
  connect(start_, &QPushButton::clicked, this, &MainWindow::StartOrStop);
  connect(about, &QPushButton::clicked, this, [this] { ShowAboutWindow(this); });
  connect(exit, &QPushButton::clicked, this, &MainWindow::TryClose);
}

ParameterFields MainWindow::ReadFields() const {
  ParameterFields f;
  f.mosaicWidth = mosaicWidth_->text().toStdString();
  f.tilesPerRow = tilesPerRowField_->text().toStdString();
  f.tileWidth = tileWidthField_->text().toStdString();
  f.border = border_->text().toStdString();
  f.duplicateDistance = duplicateDistance_->text().toStdString();
  f.maxDuplicates = maxDuplicatesField_->text().toStdString();
  f.modification = modification_->text().toStdString();
  f.sequenceDistance = sequenceDistance_->text().toStdString();
  f.jpegQuality = quality_->text().toStdString();
  f.algorithmIndex = algorithm_->currentIndex();
  return f;
}

BatchOptions MainWindow::ReadOptions() const {
  BatchOptions o;
  o.webWidthField = webWidth_->text().toStdString();
  o.jpegQualityField = quality_->text().toStdString();
  o.useAllImages = useAll_->isChecked();
  o.textReport = textReport_->isChecked();
  o.webPage = webPage_->isChecked();
  return o;
}

WindowSettings MainWindow::ReadSettings() const {
  WindowSettings s;
  s.fields = ReadFields();
  s.webWidth = webWidth_->text().toStdString();
  s.useAll = useAll_->isChecked();
  s.textReport = textReport_->isChecked();
  s.webPage = webPage_->isChecked();
  return s;
}

void MainWindow::ShowSettings(const WindowSettings& s) {
  // The check runs once all fields hold their texts: run on a half-filled form it would write
  // values derived from a mix of old and new texts back into the fields.
  checking_ = true;
  const std::pair<QLineEdit*, const std::string*> texts[] = {
      {mosaicWidth_, &s.fields.mosaicWidth},
      {tilesPerRowField_, &s.fields.tilesPerRow},
      {tileWidthField_, &s.fields.tileWidth},
      {border_, &s.fields.border},
      {duplicateDistance_, &s.fields.duplicateDistance},
      {maxDuplicatesField_, &s.fields.maxDuplicates},
      {modification_, &s.fields.modification},
      {sequenceDistance_, &s.fields.sequenceDistance},
      {quality_, &s.fields.jpegQuality},
      {webWidth_, &s.webWidth}};
  for (const auto& [field, text] : texts) field->setText(QString::fromStdString(*text));
  algorithm_->setCurrentIndex(s.fields.algorithmIndex);
  useAll_->setChecked(s.useAll);
  textReport_->setChecked(s.textReport);
  webPage_->setChecked(s.webPage);
  checking_ = false;
  RunCheck();
}

void MainWindow::ResetSettings() {
  RememberedSettings().Reset();
  ShowSettings(WindowSettings{});
}

// The collection of the last run, loaded the way "Load Collection" loads it; when it cannot be,
// Step 1 says why in the program's own words instead of describing the collection.
void MainWindow::LoadRememberedCollection() {
  const std::string path = RememberedSettings().CollectionFile();
  if (path.empty())
    return;
  CollectionCommands commands(collection_);
  CollectionCommands::Report report;
  {
    WaitCursor wait;
    report = commands.Load(path);
  }
  ShowCollection();
  std::optional<std::string> why = commands.UnreadFileText();
  if (!report.ok)
    why = report.message;
  if (!why)
    return;
  // Step 1 has room for two lines: the file goes by its name there, by its path in the tooltip.
  const QString text = QString::fromStdString(*why);
  collectionText_->setText(QString(text).replace(
      QString::fromStdString(path), QFileInfo(QString::fromStdString(path)).fileName()));
  collectionText_->setToolTip(text);
}

void MainWindow::RunCheck() {
  // Writing the mosaic width or maximum duplicates field back raises another change signal.
  if (checking_)
    return;
  checking_ = true;
  ParameterCheckInput input;
  input.fields = ReadFields();
  input.jobRunning = job_.IsRunning() || driver_.IsAlive();
  input.sourceWidth = sourceWidth_;
  input.sourceHeight = sourceHeight_;
  input.current = params_;
  input.currentlyValid = valid_;
  const ParameterCheckResult result = ValidateParameters(input);
  job_.SetInfoText(result.infoText);
  if (!input.jobRunning)
    ApplyCheck(result);
  ShowInfo();
  checking_ = false;
}

void MainWindow::ApplyCheck(const ParameterCheckResult& result) {
  const bool guard = checking_;
  checking_ = true;
  params_ = result.params;
  valid_ = result.valid;
  tilesPerRow_ = result.tilesPerRow;
  tileWidth_ = result.tileWidth;
  maxDuplicates_ = result.maxDuplicates;
  if (result.summaryLine)
    summary_->setText(QString::fromStdString(*result.summaryLine));
  if (result.mosaicWidthField && mosaicWidth_->text().toStdString() != *result.mosaicWidthField)
    mosaicWidth_->setText(QString::fromStdString(*result.mosaicWidthField));
  if (result.maxDuplicatesField &&
      maxDuplicatesField_->text().toStdString() != *result.maxDuplicatesField)
    maxDuplicatesField_->setText(QString::fromStdString(*result.maxDuplicatesField));
  checking_ = guard;
}

void MainWindow::ShowInfo() {
  SetIfChanged(info_, job_.InfoText());
  info_->repaint();
}

void MainWindow::SetIfChanged(QLabel* label, const std::string& text) {
  const QString q = QString::fromStdString(text);
  if (label->text() != q)
    label->setText(q);
}

void MainWindow::StartOrStop() {
  // The settings a batch ran with are kept even if the program does not get to close normally.
  RememberedSettings().SetWindow(ReadSettings());
  ParameterCheckInput input;
  input.fields = ReadFields();
  input.sourceWidth = sourceWidth_;
  input.sourceHeight = sourceHeight_;
  input.current = params_;
  input.currentlyValid = valid_;
  ParameterCheckResult check;
  const JobDriver::Start started =
      driver_.StartJob(input, ReadOptions(), sources_.Entries(), &check);
  if (started == JobDriver::Start::Started || started == JobDriver::Start::InvalidParameters ||
      started == JobDriver::Start::NoCollection)
    ApplyCheck(check);
  ShowInfo();
  start_->setText(QString::fromStdString(
      StartButtonCaption(job_.IsRunning() || driver_.IsAlive(), job_.StopRequested())));
}

void MainWindow::Tick() {
  const JobPoll poll = PollJob(job_);
  status_->SetFullText(QString::fromStdString(poll.statusLine));
  SetIfChanged(progress_, poll.progressLine);
  SetIfChanged(info_, poll.infoText);
  if (poll.progressBar && bar_->value() != *poll.progressBar)
    bar_->setValue(*poll.progressBar);

  if (std::optional<DisplayQueue::Item> item = job_.TakeDisplayItem()) {
    if (item->image) {
      auto* preview = new PreviewWindow;
      previews_.emplace_back(preview);
      preview->ShowPreview(*item->image, item->caption);
    } else if (!item->caption.empty()) {
      Prompt().ShowMessage(item->caption, MessageIcon::Information);
    }
  }
  // Closed previews delete themselves; forget them.
  std::erase_if(previews_, [](const QPointer<PreviewWindow>& p) { return p.isNull(); });

  const QString caption = QString::fromStdString(
      StartButtonCaption(job_.IsRunning() || driver_.IsAlive(), job_.StopRequested()));
  if (start_->text() != caption)
    start_->setText(caption);
}

std::vector<PreviewWindow*> MainWindow::Previews() const {
  std::vector<PreviewWindow*> open;
  for (const QPointer<PreviewWindow>& p : previews_)
    if (!p.isNull())
      open.push_back(p.data());
  return open;
}

void MainWindow::RefreshList() {
  list_->clear();
  for (const std::string& path : sources_.Entries()) list_->addItem(QString::fromStdString(path));
}

void MainWindow::MeasureFirst() {
  const std::optional<std::string> first = sources_.First();
  if (!first)
    return;
  std::optional<SourceSize> size;
  {
    WaitCursor wait;
    size = MeasureSource(*first);
  }
  if (!size) {
    Prompt().ShowMessage(Format("Unable to load file %s", first->c_str()), MessageIcon::Warning);
    return;
  }
  sourceWidth_ = size->width;
  sourceHeight_ = size->height;
  RunCheck();
}

void MainWindow::AddImage() {
  if (driver_.IsAlive())
    return;
  const std::optional<std::string> path =
      Prompt().AskOpenFile(kJpegDialogFilter, "jpg", "Choose a photo to make a mosaic of", 0);
  if (!path)
    return;
  sources_.Add(*path);
  RefreshList();
  MeasureFirst();
}

void MainWindow::AddDirectory() {
  if (driver_.IsAlive() || !valid_)
    return;
  const std::optional<std::string> path =
      Prompt().AskOpenFile(kJpegDialogFilter, "jpg", "Choose any photo in the folder to add", 0);
  if (!path)
    return;
  {
    WaitCursor wait;
    sources_.AddDirectory(*path);
  }
  RefreshList();
  MeasureFirst();
}

void MainWindow::RemoveImage() {
  std::vector<size_t> selected;
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->isSelected())
      selected.push_back(static_cast<size_t>(i));
  const bool firstRemoved = sources_.Remove(selected);
  RefreshList();
  if (firstRemoved)
    MeasureFirst();
}

void MainWindow::ClearList() {
  sources_.Clear();
  RefreshList();
}

void MainWindow::AddDroppedFiles(const std::vector<std::string>& paths) {
  sources_.AddDropped(paths);
  RefreshList();
  MeasureFirst();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile())
      paths.push_back(url.toLocalFile().toStdString());
  event->acceptProposedAction();
  AddDroppedFiles(paths);
}

void MainWindow::FindTiles() {
  const std::string pathBefore = collection_.filePath;
  const std::optional<FileIdentity> seenBefore = collection_.fileSeen;
  OpenCollectionWindow(collection_, job_, this);
  ShowCollection();
  // A collection file just loaded or saved is the one the next start loads.
  const bool changed = collection_.filePath != pathBefore || collection_.fileSeen != seenBefore;
  if (changed && collection_.fileSeen && !collection_.fileUnreadable)
    RememberedSettings().SetCollectionFile(collection_.filePath);
}

void MainWindow::ShowCollection() {
  collectionText_->setText(QString::fromStdString(collection_.description));
  collectionText_->setToolTip(QString());
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction("&About Tessarix", this, [this] { ShowAboutWindow(this); });
  menu.addAction("&Reset settings", this, &MainWindow::ResetSettings);
  menu.exec(event->globalPos());
}

void MainWindow::reject() {
  TryClose();
}

void MainWindow::TryClose() {
  if (driver_.IsAlive()) {
    if (Prompt().AskYesNo("Do you want to stop the Mosaic creation process?"))
      driver_.RequestStop();
    Tick();
    return;
  }
  collection_.Clear();
  timer_.stop();
  QDialog::done(QDialog::Rejected);
}

}  // namespace tessarix
