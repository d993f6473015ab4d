#pragma once

#include <string>
#include <vector>

namespace tessarix {

// Appends the full path of every file in `folder` whose name matches `pattern` (only "*.JPG"-like
// patterns: any name with that extension in any letter case), then, when `recurse`, the files of
// every subfolder. A folder that cannot be read adds nothing.
void ListFiles(const std::string& folder, const std::string& pattern, bool recurse,
               std::vector<std::string>& list);

}  // namespace tessarix
