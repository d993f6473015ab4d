#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarix {

class MovieStream;

// What the person chooses before frames are extracted: the cut-out, the frame range and count,
// de-interlacing, the output formats and the file prefix.
struct ExtractionFields {
  uint32_t posX = 0;
  uint32_t posY = 0;
  uint32_t sizeX = 0;
  uint32_t sizeY = 0;
  uint32_t startFrame = 0;
  uint32_t stopFrame = 0;
  int32_t howManyFrames = 1;
  bool deInterlace = false;
  bool writeJpg = true;
  bool writeBmp = false;
  uint32_t jpgQuality = 50;
  std::string filePrefix = "FR";
};

// The same fields as typed into their boxes (or given on the command line).
struct ExtractionFieldTexts {
  std::string posX, posY, sizeX, sizeY, startFrame, stopFrame, howManyFrames, jpgQuality;
  std::string filePrefix;
  bool deInterlace = false;
  bool writeJpg = true;
  bool writeBmp = false;
};

// A box whose text is refused: which one, and the prompt to show.
struct FieldProblem {
  std::string field;  // the ExtractionFieldTexts member name, e.g. "jpgQuality"
  std::string message;
};

// The fields a fresh window shows for a movie of frameCount frames of width x height: the whole
// frame, frames 0 to frameCount, frameCount + 1 frames kept within 1..5000.
ExtractionFields DefaultExtractionFields(uint32_t frameCount, uint32_t width, uint32_t height);
ExtractionFields DefaultExtractionFields(const MovieStream& stream);

ExtractionFieldTexts ToTexts(const ExtractionFields& fields);

// Reads the boxes: unsigned integers, a signed frame count, a quality of 1..100 and a prefix of
// at most 100 characters that names a file in the frames folder. None, with the problem filled
// in, when a box is refused; the caller keeps its previous fields then.
std::optional<ExtractionFields> ParseExtractionFields(const ExtractionFieldTexts& texts,
                                                      FieldProblem* problem);

// The text after the stop frame: ". (1/25s)" for 25 frames a second.
std::string FrameTimeLabel(uint32_t rate, uint32_t scale);

// Start <= stop <= frame count. Shows "The value start/stop frame value should be between 0 and
// %ld" when not; false without a message when there is no open stream.
bool CheckFrameRange(const MovieStream* stream, const ExtractionFields& fields);

// The sample frames offered by "Random Frame" (r in 0..32767), "First Frame" and "Last Frame".
int32_t RandomSampleFrame(const ExtractionFields& fields, uint32_t r);
int32_t FirstSampleFrame(const ExtractionFields& fields);
int32_t LastSampleFrame(const ExtractionFields& fields);

}  // namespace tessarix
