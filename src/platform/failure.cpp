#include "platform/failure.h"

#include <system_error>

namespace tessarix {

std::string Failure::SystemText() const {
  return std::system_category().message(systemError);
}

}  // namespace tessarix
