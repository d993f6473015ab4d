#pragma once

#include <string>
#include <vector>

namespace tessarix {

// Appends the full path of every file in `folder` whose name matches `pattern` (only "*.JPG"-like
// patterns: any name with that extension in any letter case), then, when `recurse`, the files of
// every subfolder. Always true.
bool ListFiles(const std::string& folder, const std::string& pattern, bool recurse,
               std::vector<std::string>& list);

}  // namespace tessarix
