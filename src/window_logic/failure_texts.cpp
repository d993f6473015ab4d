#include "window_logic/failure_texts.h"

#include "platform/text_format.h"

namespace tessarix {

std::string PhotoUtilityFailureText(PhotoUtility command, const PhotoUtilityResult& result) {
  const Failure& why = result.status.Why();
  const char* path = why.path.c_str();
  switch (why.kind) {
    case FailureKind::kCannotRead:
      return Format("Cannot read the photo %s.", path);
    case FailureKind::kCannotCreate:
      return Format("Cannot create the folder %s.", path);
    case FailureKind::kCannotWrite:
      if (command == PhotoUtility::QualityTest)
        return Format("Saved %zu of the %zu qualities.", result.written.size(),
                      result.steps.size());
      return Format("Cannot save %s.", path);
    default:
      break;
  }
  switch (command) {
    case PhotoUtility::MaskAnalysis:
      if (why.kind == FailureKind::kOutOfMemory)
        return Format("Cannot draw the areas of %s.", path);
      return Format("Cannot find colour areas in %s.", path);
    case PhotoUtility::Wallpaper:
    case PhotoUtility::CutBorders:
      return Format("Cannot make %s seamless.", path);
    case PhotoUtility::DeInterlace:
      return Format("Cannot de-interlace %s.", path);
    case PhotoUtility::QualityTest:
      break;
  }
  return "Unknown photo utility.";
}

std::vector<std::string> MovieOpenFailureTexts(const Failure& failure) {
  const long number = failure.libraryError;
  std::string first;
  switch (failure.kind) {
    case FailureKind::kCannotRead:
      first = Format("AVI001: Open file error nr.%ld on file <%s>", number, failure.path.c_str());
      break;
    case FailureKind::kRefused:
      first = Format("AVI003: Unable to get information on the stream, error nr.%ld", number);
      break;
    default:
      first = "AVI002: Unable to decompress the stream";
      break;
  }
  return {first, "Cannot open the specified file"};
}

std::optional<std::string> ExtractionStopText(const Failure& failure) {
  if (failure.kind != FailureKind::kRefused)
    return std::nullopt;
  return "The specified Position/Size is bigger than the size of a single Frame";
}

}  // namespace tessarix
