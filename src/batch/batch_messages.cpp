#include "batch/batch_messages.h"

#include "platform/text_format.h"

namespace tessarix {
namespace {

std::string AnalysisReason(Analysis why, const std::string& source, const std::string& mask) {
  switch (why) {
    case Analysis::NoRow:
      return Format("Analysis of Image \"%s\" failed: it is not high enough for one row of tiles.",
                    source.c_str());
    case Analysis::NoMemory:
      return Format("Analysis of Image \"%s\" failed: not enough memory.", source.c_str());
    case Analysis::MaskUnreadable:
      return Format("The Mask File \"%s\" cannot be read.", mask.c_str());
    case Analysis::MaskWithoutAreas:
      return Format("The Mask File \"%s\" has no colour areas.", mask.c_str());
    case Analysis::Ready:
    case Analysis::NoInput:
    case Analysis::Stopped:
      break;
  }
  return Format("Analysis of Image \"%s\" failed.", source.c_str());
}

}  // namespace

std::string AnalysisFailedText(Analysis why, const std::string& source, const std::string& mask,
                               const std::vector<std::string>& unprocessed) {
  std::string text = AnalysisReason(why, source, mask);
  // A mask problem stops the source being analysed as well.
  if (why == Analysis::MaskUnreadable || why == Analysis::MaskWithoutAreas)
    text += Format("\nNot processed: \"%s\"", source.c_str());
  for (const std::string& left : unprocessed)
    text += Format("\nNot processed: \"%s\"", left.c_str());
  return text;
}

std::string OverLimitText(const std::string& source, const std::string& limit) {
  return Format("Image \"%s\" skipped: %s", source.c_str(), limit.c_str());
}

std::string TilesNotLoadedText(size_t count, const std::string& source) {
  return Format("Tiles that could not be loaded: %zu. Their cells in the Mosaic of \"%s\" are "
                "black.",
                count, source.c_str());
}

std::string NothingToMatchText() {
  return "None of the Images of the Collection exists any more: there is nothing to match. "
         "Please update the Image Collection.";
}

}  // namespace tessarix
