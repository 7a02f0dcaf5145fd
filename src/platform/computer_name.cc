#include "platform/computer_name.h"

#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace qx::platform {

std::string ComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) {
    SetLastErrorFromErrno(errno);
    return std::string();
  }
  std::string text(name);
  return text.substr(0, text.find('.'));
}

}  // namespace qx::platform
