#pragma once

#include <QDialog>
#include <QImage>
#include <cstdint>
#include <random>

#include "movie/extraction_fields.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tessarix {

class MovieStream;

// "Extract Frames from Movie": the frame range, cut-out, count, formats and prefix for one
// extraction, with a sample frame that shows the cut-out as a white rectangle. The window borrows
// the opened stream from the command that shows it; "Extract" accepts the window once every box
// reads, and Fields() then holds what was chosen.
class MovieExtractionWindow : public QDialog {
  Q_OBJECT

 public:
  // The size of the "Sample Frame" picture.
  static constexpr int kPictureWidth = 322;
  static constexpr int kPictureHeight = 242;

  MovieExtractionWindow(MovieStream& stream, QWidget* parent = nullptr);

  // The fields as last read from the boxes (the defaults until then).
  const ExtractionFields& Fields() const { return fields_; }
  int32_t SampleFrame() const { return sampleFrame_; }
  QImage SamplePicture() const;

  // The buttons.
  void ShowFrame();
  void FirstFrame();
  void RandomFrame();
  void LastFrame();
  void Extract();

 private:
  QLineEdit* AddBox(const char* name, int width);
  void FillBoxes(const ExtractionFields& fields);
  // Reads every box into Fields(); a box that does not read shows its prompt, takes the focus
  // and leaves Fields() as it was.
  bool ReadBoxes();
  // Reads the boxes, then checks the frame range against the movie.
  bool RangeCheck();
  void Draw();

  MovieStream& stream_;
  ExtractionFields fields_;
  int32_t sampleFrame_ = 0;
  std::minstd_rand random_;
  QLineEdit* posX_ = nullptr;
  QLineEdit* posY_ = nullptr;
  QLineEdit* sizeX_ = nullptr;
  QLineEdit* sizeY_ = nullptr;
  QLineEdit* startFrame_ = nullptr;
  QLineEdit* stopFrame_ = nullptr;
  QLineEdit* howManyFrames_ = nullptr;
  QLineEdit* jpgQuality_ = nullptr;
  QLineEdit* filePrefix_ = nullptr;
  QCheckBox* deInterlace_ = nullptr;
  QCheckBox* writeJpg_ = nullptr;
  QCheckBox* writeBmp_ = nullptr;
  QLabel* picture_ = nullptr;
};

}  // namespace tessarix
