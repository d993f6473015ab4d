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

}  // namespace tessarix
