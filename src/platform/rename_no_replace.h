#pragma once

#include <string>

#include "platform/failure.h"

namespace tessarix {

// Moves `from` to `to` only when nothing exists at `to`; an existing target is never replaced
// (plain rename() would silently overwrite it). kCannotWrite for `to` with the operating system's
// error (EEXIST for an existing target), both names as they were, when the move is refused.
Status RenameNoReplace(const std::string& from, const std::string& to);

// The fallback for file systems that refuse the exclusive rename: a hard link to the new name,
// which fails when the target exists, then removal of the old name. Fails as RenameNoReplace.
// Exposed for tests.
Status LinkThenUnlink(const std::string& from, const std::string& to);

}  // namespace tessarix
