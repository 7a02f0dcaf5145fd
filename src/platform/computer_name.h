#pragma once
// The name of this computer, as the server writes it into files that other
// servers read (for example the activity file's server field).

#include <string>

namespace qx::platform {

// The host name up to its first '.', as the original's computer name held
// no domain part; empty when it cannot be read.
std::string ComputerName();

}  // namespace qx::platform
