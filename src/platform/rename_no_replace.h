#pragma once

#include <string>

namespace tessarix {

// Moves `from` to `to` only when nothing exists at `to`; an existing target is never replaced
// (plain rename() would silently overwrite it). False, with both names as they were, when the
// target exists or the move is refused.
bool RenameNoReplace(const std::string& from, const std::string& to);

// The fallback for file systems that refuse the exclusive rename: a hard link to the new name,
// which fails when the target exists, then removal of the old name. Exposed for tests.
bool LinkThenUnlink(const std::string& from, const std::string& to);

}  // namespace tessarix
