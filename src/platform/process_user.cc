#include "platform/process_user.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qx::platform {

bool RunningAsRoot() { return ::geteuid() == 0; }

bool SwitchToUser(const std::string& name, std::string* error) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    *error = "no user " + name;
    return false;
  }
  if (::initgroups(found->pw_name, found->pw_gid) != 0) {
    *error = std::string("cannot take the groups of ") + name + ": " + std::strerror(errno);
    return false;
  }
  if (::setgid(found->pw_gid) != 0 || ::setuid(found->pw_uid) != 0) {
    *error = std::string("cannot become ") + name + ": " + std::strerror(errno);
    return false;
  }
  if (found->pw_uid != 0 && ::setuid(0) == 0) {
    *error = "root could be taken back after becoming " + name;
    return false;
  }
  return true;
}

}  // namespace qx::platform
