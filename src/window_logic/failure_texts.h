#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "utilities/photo_utilities.h"

namespace tessarix {

// The person's words for the failures of the tools both front ends run.

// Why `command` fell short, from its failed result: "Cannot read the photo %s.",
// "Cannot save %s.", the quality test's "Saved %zu of the %zu qualities.", and so on.
std::string PhotoUtilityFailureText(PhotoUtility command, const PhotoUtilityResult& result);

// The messages for a movie that cannot be opened (MovieStream::Open), in the order they are
// shown: the "AVI001", "AVI002" or "AVI003" line, the first and the last with FFmpeg's error
// number, then "Cannot open the specified file".
std::vector<std::string> MovieOpenFailureTexts(const Failure& failure);

// The message for a frame extraction that stopped (ExtractionResult::status), shown as a
// warning: "The specified Position/Size is bigger than the size of a single Frame" for a cut-out
// that does not fit. None for a frames folder that cannot be made: its frame has been said.
std::optional<std::string> ExtractionStopText(const Failure& failure);

}  // namespace tessarix
