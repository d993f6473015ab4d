#pragma once

#include <string>

namespace tessarix {

// Whether a report or web page may be written over what is at `path`: nothing, or a file of that
// kind that Tessarix wrote (recognised by its own words, which the files keep from version to
// version). A folder, or a path that cannot be looked at, counts as free: writing there fails and
// says why. Any other file is the person's own and must stay.
bool MayReplaceReport(const std::string& path);
bool MayReplaceWebPage(const std::string& path);

}  // namespace tessarix
