#include "batch/batch_messages.h"

#include "platform/text_format.h"

namespace tessarix {
namespace {

// The analysis reads no file but the mask: a failure that names a file names the mask.
std::string AnalysisReason(const Failure& why, const std::string& source) {
  if (!why.path.empty()) {
    return Format(why.kind == FailureKind::kEmpty ? "The Mask File \"%s\" has no colour areas."
                                                  : "The Mask File \"%s\" cannot be read.",
                  why.path.c_str());
  }
  switch (why.kind) {
    case FailureKind::kTooSmall:
      return Format("Analysis of Image \"%s\" failed: it is not high enough for one row of tiles.",
                    source.c_str());
    case FailureKind::kOutOfMemory:
      return Format("Analysis of Image \"%s\" failed: not enough memory.", source.c_str());
    default:
      return Format("Analysis of Image \"%s\" failed.", source.c_str());
  }
}

}  // namespace

std::string AnalysisFailedText(const Failure& why, const std::string& source,
                               const std::vector<std::string>& unprocessed) {
  std::string text = AnalysisReason(why, source);
  // A mask problem stops the source being analysed as well.
  if (!why.path.empty())
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
