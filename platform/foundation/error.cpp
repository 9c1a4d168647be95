#include "platform/foundation/error.h"

#include <cstring>

namespace platform {

std::string Error::describe() const {
  if (sysErrno == 0) return context;
  return context + ": " + std::strerror(sysErrno);
}

}  // namespace platform
