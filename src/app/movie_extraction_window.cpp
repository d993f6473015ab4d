#include "app/movie_extraction_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "imaging/dib.h"
#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

QLabel* Wrapped(const char* text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QPixmap ToPixmap(const Image& image) {
  const std::optional<Dib> dib = ToDib(image);
  if (!dib)
    return QPixmap();
  const QImage bottomUp(dib->bytes.data(), static_cast<int>(dib->width),
                        static_cast<int>(dib->height),
                        static_cast<qsizetype>(Dib::RowStride(dib->width)), QImage::Format_BGR888);
  // mirrored() copies, so the pixmap does not point into the DIB.
  return QPixmap::fromImage(bottomUp.mirrored(false, true));
}

QPushButton* Button(const char* text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MovieExtractionWindow::MovieExtractionWindow(MovieStream& stream, QWidget* parent)
    : QDialog(parent), stream_(stream), random_(std::random_device{}()) {
  setWindowTitle("Extract Frames from Movie");
  setWindowIcon(ProgramIcon());

  posX_ = AddBox("posX", 60);
  posY_ = AddBox("posY", 60);
  sizeX_ = AddBox("sizeX", 60);
  sizeY_ = AddBox("sizeY", 60);
  startFrame_ = AddBox("startFrame", 70);
  stopFrame_ = AddBox("stopFrame", 70);
  howManyFrames_ = AddBox("howManyFrames", 70);
  jpgQuality_ = AddBox("jpgQuality", 40);
  filePrefix_ = AddBox("filePrefix", 120);
  deInterlace_ =
      new QCheckBox("Enable this option only if your video is interlaced (VHS Tapes).", this);
  deInterlace_->setObjectName("deInterlace");
  writeJpg_ = new QCheckBox("JPG", this);
  writeJpg_->setObjectName("writeJpg");
  writeBmp_ = new QCheckBox("BMP", this);
  writeBmp_->setObjectName("writeBmp");
  auto* frameTime =
      new QLabel(QString::fromStdString(FrameTimeLabel(stream_.Rate(), stream_.Scale())));
  frameTime->setObjectName("frameTime");

  auto* boxes = new QGridLayout;
  int row = 0;
  auto addRow = [&](const char* caption, std::initializer_list<QWidget*> widgets) {
    boxes->addWidget(new QLabel(caption), row, 0);
    auto* line = new QHBoxLayout;
    for (QWidget* widget : widgets) line->addWidget(widget);
    line->addStretch(1);
    boxes->addLayout(line, row, 1);
    ++row;
  };
  addRow("Top/Left Position:", {posX_, posY_});
  addRow("Size of Frame:", {sizeX_, sizeY_});
  addRow("Extract Frames from", {startFrame_, new QLabel("to:"), stopFrame_, frameTime});
  addRow("How many frames?", {howManyFrames_});
  addRow("De-Interlace every frame?", {deInterlace_});
  addRow("File Format:", {writeJpg_, writeBmp_});
  boxes->addWidget(Wrapped("Note: To create an Image Collection you need only the JPG."), row++, 1);
  addRow("Quality of JPG files:", {jpgQuality_, new QLabel("from 1% to 100%.")});
  addRow("Prefix of every file:", {filePrefix_});
  boxes->setColumnStretch(1, 1);

  auto* parameters = new QVBoxLayout;
  parameters->addWidget(Wrapped("Please choose the parameters for extraction"));
  parameters->addLayout(boxes);
  parameters->addWidget(
      Wrapped("The Extraction process will always create several NEW not "
              "existant subdirectories like FRAMES001, FRAMES002."));
  parameters->addStretch(1);

  picture_ = new QLabel;
  picture_->setObjectName("picture");
  picture_->setFixedSize(kPictureWidth, kPictureHeight);
  picture_->setStyleSheet("background: black");
  auto* showFrame = Button("Show Frame", "showFrame");
  auto* firstFrame = Button("First Frame", "firstFrame");
  auto* randomFrame = Button("Random Frame", "randomFrame");
  auto* lastFrame = Button("Last Frame", "lastFrame");
  auto* sampleButtons = new QHBoxLayout;
  for (QPushButton* button : {showFrame, firstFrame, randomFrame, lastFrame})
    sampleButtons->addWidget(button);
  auto* sample = new QGroupBox("Sample Frame");
  auto* sampleLayout = new QVBoxLayout(sample);
  sampleLayout->addWidget(picture_, 0, Qt::AlignHCenter);
  auto* explanation = Wrapped(
      "The white rectangle is a sample frame that will be extracted. Modify Top/Left/Size "
      "values and press button Show Frame to update the white rectangle.");
  explanation->setMaximumWidth(kPictureWidth + 40);
  sampleLayout->addWidget(explanation);
  sampleLayout->addLayout(sampleButtons);

  auto* extract = new QPushButton("Extract");
  extract->setObjectName("extract");
  extract->setDefault(true);
  auto* cancel = Button("Cancel", "cancel");
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(extract);
  bottom->addWidget(cancel);

  auto* columns = new QHBoxLayout;
  columns->addLayout(parameters, 1);
  columns->addWidget(sample, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(bottom);

  connect(showFrame, &QPushButton::clicked, this, &MovieExtractionWindow::ShowFrame);
  connect(firstFrame, &QPushButton::clicked, this, &MovieExtractionWindow::FirstFrame);
  connect(randomFrame, &QPushButton::clicked, this, &MovieExtractionWindow::RandomFrame);
  connect(lastFrame, &QPushButton::clicked, this, &MovieExtractionWindow::LastFrame);
  connect(extract, &QPushButton::clicked, this, &MovieExtractionWindow::Extract);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  fields_ = DefaultExtractionFields(stream_);
  FillBoxes(fields_);
  // The window opens on a frame picked at random from the proposed range.
  RandomFrame();
}

QLineEdit* MovieExtractionWindow::AddBox(const char* name, int width) {
  auto* box = new QLineEdit(this);
  box->setObjectName(name);
  box->setFixedWidth(width);
  return box;
}

void MovieExtractionWindow::FillBoxes(const ExtractionFields& fields) {
  const ExtractionFieldTexts texts = ToTexts(fields);
  const std::pair<QLineEdit*, const std::string*> boxes[] = {
      {posX_, &texts.posX},
      {posY_, &texts.posY},
      {sizeX_, &texts.sizeX},
      {sizeY_, &texts.sizeY},
      {startFrame_, &texts.startFrame},
      {stopFrame_, &texts.stopFrame},
      {howManyFrames_, &texts.howManyFrames},
      {jpgQuality_, &texts.jpgQuality},
      {filePrefix_, &texts.filePrefix},
  };
  for (const auto& [box, text] : boxes) box->setText(QString::fromStdString(*text));
  deInterlace_->setChecked(texts.deInterlace);
  writeJpg_->setChecked(texts.writeJpg);
  writeBmp_->setChecked(texts.writeBmp);
}

bool MovieExtractionWindow::ReadBoxes() {
  ExtractionFieldTexts texts;
  texts.posX = posX_->text().toStdString();
  texts.posY = posY_->text().toStdString();
  texts.sizeX = sizeX_->text().toStdString();
  texts.sizeY = sizeY_->text().toStdString();
  texts.startFrame = startFrame_->text().toStdString();
  texts.stopFrame = stopFrame_->text().toStdString();
  texts.howManyFrames = howManyFrames_->text().toStdString();
  texts.jpgQuality = jpgQuality_->text().toStdString();
  texts.filePrefix = filePrefix_->text().toStdString();
  texts.deInterlace = deInterlace_->isChecked();
  texts.writeJpg = writeJpg_->isChecked();
  texts.writeBmp = writeBmp_->isChecked();
  FieldProblem problem;
  if (const std::optional<ExtractionFields> fields = ParseExtractionFields(texts, &problem)) {
    fields_ = *fields;
    return true;
  }
  Prompt().ShowMessage(problem.message, MessageIcon::Warning);
  // Back to the box at fault, its text selected for retyping.
  if (auto* box = findChild<QLineEdit*>(QString::fromStdString(problem.field))) {
    box->setFocus();
    box->selectAll();
  }
  return false;
}

bool MovieExtractionWindow::RangeCheck() {
  // A box that does not read has shown its prompt; the check goes on with the previous fields.
  ReadBoxes();
  return CheckFrameRange(&stream_, fields_);
}

void MovieExtractionWindow::Draw() {
  const std::optional<Image> picture =
      DrawSampleFrame(&stream_, fields_, sampleFrame_, kPictureWidth, kPictureHeight);
  // Nothing drawn leaves the last picture in place.
  if (picture)
    picture_->setPixmap(ToPixmap(*picture));
}

QImage MovieExtractionWindow::SamplePicture() const {
  return picture_->pixmap().toImage();
}

void MovieExtractionWindow::ShowFrame() {
  ReadBoxes();
  Draw();
}

void MovieExtractionWindow::FirstFrame() {
  if (!RangeCheck())
    return;
  sampleFrame_ = FirstSampleFrame(fields_);
  Draw();
}

void MovieExtractionWindow::RandomFrame() {
  if (!RangeCheck())
    return;
  std::uniform_int_distribution<uint32_t> r(0, 32767);
  sampleFrame_ = RandomSampleFrame(fields_, r(random_));
  Draw();
}

void MovieExtractionWindow::LastFrame() {
  if (!RangeCheck())
    return;
  sampleFrame_ = LastSampleFrame(fields_);
  Draw();
}

void MovieExtractionWindow::Extract() {
  // A box that does not read keeps the window open on that box.
  if (ReadBoxes())
    accept();
}

}  // namespace tessarix
