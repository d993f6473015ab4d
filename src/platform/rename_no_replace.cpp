#include "platform/rename_no_replace.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace tessarix {

namespace {

Failure Refused(const std::string& to, int error) {
  return Failure{FailureKind::kCannotWrite, to, error, {}};
}

}  // namespace

Status LinkThenUnlink(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) != 0)
    return Refused(to, errno);
  if (unlink(from.c_str()) != 0) {
    const int error = errno;
    // Leave things as they were rather than with two names for one file.
    unlink(to.c_str());
    return Refused(to, error);
  }
  return {};
}

Status RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return {};
  // EINVAL: the file system does not know the flag; ENOSYS: a kernel without renameat2.
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
    return LinkThenUnlink(from, to);
  return Refused(to, errno);
}

}  // namespace tessarix
