#include "movie/extraction_fields.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "movie/movie_stream.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr int32_t kMostFramesProposed = 5000;
constexpr size_t kLongestPrefix = 100;

// Digits with an optional sign and surrounding blanks, within [low, high]; none for anything else.
std::optional<int64_t> ReadWholeNumber(const std::string& text, bool allowSign, int64_t low,
                                       int64_t high) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (allowSign && i < text.size() && (text[i] == '-' || text[i] == '+'))
    negative = text[i++] == '-';
  const size_t digits = i;
  int64_t value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    value = value * 10 + (text[i++] - '0');
    if (value > int64_t{UINT32_MAX} + 1)
      return std::nullopt;  // far beyond any field's range
  }
  if (i == digits)
    return std::nullopt;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != text.size())
    return std::nullopt;
  if (negative)
    value = -value;
  if (value < low || value > high)
    return std::nullopt;
  return value;
}

}  // namespace

ExtractionFields DefaultExtractionFields(uint32_t frameCount, uint32_t width, uint32_t height) {
  ExtractionFields fields;
  fields.sizeX = width;
  fields.sizeY = height;
  fields.stopFrame = frameCount;
  const int64_t proposed = int64_t{frameCount} + 1;
  fields.howManyFrames =
      static_cast<int32_t>(proposed < 2 ? 1 : std::min<int64_t>(proposed, kMostFramesProposed));
  return fields;
}

ExtractionFields DefaultExtractionFields(const MovieStream& stream) {
  return DefaultExtractionFields(stream.FrameCount(), stream.Width(), stream.Height());
}

ExtractionFieldTexts ToTexts(const ExtractionFields& fields) {
  ExtractionFieldTexts texts;
  texts.posX = std::to_string(fields.posX);
  texts.posY = std::to_string(fields.posY);
  texts.sizeX = std::to_string(fields.sizeX);
  texts.sizeY = std::to_string(fields.sizeY);
  texts.startFrame = std::to_string(fields.startFrame);
  texts.stopFrame = std::to_string(fields.stopFrame);
  texts.howManyFrames = std::to_string(fields.howManyFrames);
  texts.jpgQuality = std::to_string(fields.jpgQuality);
  texts.filePrefix = fields.filePrefix;
  texts.deInterlace = fields.deInterlace;
  texts.writeJpg = fields.writeJpg;
  texts.writeBmp = fields.writeBmp;
  return texts;
}

std::optional<ExtractionFields> ParseExtractionFields(const ExtractionFieldTexts& texts,
                                                      FieldProblem* problem) {
  auto refuse = [problem](const char* field, std::string message) {
    if (problem != nullptr)
      *problem = {field, std::move(message)};
    return std::nullopt;
  };
  ExtractionFields fields;
  const struct {
    const char* name;
    const std::string* text;
    uint32_t* value;
  } unsignedBoxes[] = {
      {"posX", &texts.posX, &fields.posX},
      {"posY", &texts.posY, &fields.posY},
      {"sizeX", &texts.sizeX, &fields.sizeX},
      {"sizeY", &texts.sizeY, &fields.sizeY},
      {"startFrame", &texts.startFrame, &fields.startFrame},
      {"stopFrame", &texts.stopFrame, &fields.stopFrame},
  };
  for (const auto& box : unsignedBoxes) {
    const auto value = ReadWholeNumber(*box.text, false, 0, UINT32_MAX);
    if (!value)
      return refuse(box.name, "Please enter a positive integer.");
    *box.value = static_cast<uint32_t>(*value);
  }
  const auto howMany = ReadWholeNumber(texts.howManyFrames, true, INT32_MIN, INT32_MAX);
  if (!howMany)
    return refuse("howManyFrames", "Please enter an integer.");
  fields.howManyFrames = static_cast<int32_t>(*howMany);
  const auto quality = ReadWholeNumber(texts.jpgQuality, true, 1, 100);
  if (!quality)
    return refuse("jpgQuality", "Please enter an integer between 1 and 100.");
  fields.jpgQuality = static_cast<uint32_t>(*quality);
  if (texts.filePrefix.size() > kLongestPrefix)
    return refuse("filePrefix", "Please enter no more than 100 characters.");
  // The prefix becomes part of a file name inside the frames folder; a "/" would write the frames
  // somewhere else (or nowhere, "../" included).
  if (texts.filePrefix.find('/') != std::string::npos ||
      texts.filePrefix.find('\0') != std::string::npos)
    return refuse("filePrefix", "Please enter a prefix without \"/\".");
  fields.filePrefix = texts.filePrefix;
  fields.deInterlace = texts.deInterlace;
  fields.writeJpg = texts.writeJpg;
  fields.writeBmp = texts.writeBmp;
  return fields;
}

std::string FrameTimeLabel(uint32_t rate, uint32_t scale) {
  return Format(". (1/%ds)", static_cast<int>(RoundedFrameRate(rate, scale)));
}

bool CheckFrameRange(const MovieStream* stream, const ExtractionFields& fields) {
  if (stream == nullptr)
    return false;
  const uint32_t count = stream->FrameCount();
  if (fields.startFrame <= fields.stopFrame && fields.stopFrame <= count)
    return true;
  Prompt().ShowMessage(Format("The value start/stop frame value should be between 0 and %ld",
                              static_cast<long>(count)),
                       MessageIcon::Warning);
  return false;
}

int32_t RandomSampleFrame(const ExtractionFields& fields, uint32_t r) {
  // In 64 bits: r times a range of more than 65536 frames does not fit 32.
  const int64_t range = int64_t{fields.stopFrame} - fields.startFrame;
  return static_cast<int32_t>(fields.startFrame + int64_t{r} * range / 32768);
}

int32_t FirstSampleFrame(const ExtractionFields& fields) {
  return static_cast<int32_t>(fields.startFrame);
}

int32_t LastSampleFrame(const ExtractionFields& fields) {
  return static_cast<int32_t>(int64_t{fields.stopFrame} - 1);
}

}  // namespace tessarix
