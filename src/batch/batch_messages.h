#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace tessarix {

// What a batch tells a person about a source it could not make or made incomplete. Each names
// the file concerned and why.

// An analysis that ended the batch: the source (or, for a failure that names the mask, the mask)
// and the reason, then one line for every source the batch did not reach.
std::string AnalysisFailedText(const Failure& why, const std::string& source,
                               const std::vector<std::string>& unprocessed);

// A source refused by a size limit of its own grid; `limit` is the parameter check's message.
std::string OverLimitText(const std::string& source, const std::string& limit);

// A mosaic made with `count` images that could not be loaded, their cells black.
std::string TilesNotLoadedText(size_t count, const std::string& source);

// No file of the collection exists any more.
std::string NothingToMatchText();

}  // namespace tessarix
