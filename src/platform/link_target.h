#pragma once

#include <string>

namespace tessarix {

// The file a write to `path` has to replace so that symbolic links stay links and their target
// gets the new contents: the end of the chain of links that starts at `path`, which need not
// exist yet. `path` itself when it is no link, or when the chain does not end (a loop).
std::string FollowLinks(const std::string& path);

}  // namespace tessarix
