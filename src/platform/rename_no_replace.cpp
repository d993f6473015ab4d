#include "platform/rename_no_replace.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace tessarix {

bool LinkThenUnlink(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) != 0)
    return false;
  if (unlink(from.c_str()) != 0) {
    // Leave things as they were rather than with two names for one file.
    unlink(to.c_str());
    return false;
  }
  return true;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  // EINVAL: the file system does not know the flag; ENOSYS: a kernel without renameat2.
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
    return LinkThenUnlink(from, to);
  return false;
}

}  // namespace tessarix
