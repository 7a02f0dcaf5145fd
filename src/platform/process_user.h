#pragma once
// The user a service runs as. A service started as root binds its port and
// reads its secrets first, then gives root up for good.

#include <string>

namespace qx::platform {

// True when the process runs with root's user id.
bool RunningAsRoot();

// Switches the whole process to user `name` for good: its supplementary
// groups, its primary group, then its user id, and checks that root cannot
// be taken back. False with *error when the user is unknown or a step fails
// (the process must then not go on).
bool SwitchToUser(const std::string& name, std::string* error);

}  // namespace qx::platform
