#pragma once

#include <string>

#include "utilities/photo_utilities.h"

namespace tessarix {

// The person's words for the failures of the tools both front ends run.

// Why `command` fell short, from its failed result: "Cannot read the photo %s.",
// "Cannot save %s.", the quality test's "Saved %zu of the %zu qualities.", and so on.
std::string PhotoUtilityFailureText(PhotoUtility command, const PhotoUtilityResult& result);

}  // namespace tessarix
