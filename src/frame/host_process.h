#pragma once
// Which program the library is loaded into: the server's own services (and
// the mail client) are told apart from every other host by name.

#include <cstdint>
#include <string_view>

namespace qx {

// 1 when the main module's path (its first 259 bytes, as a 260-byte buffer
// held it) contains one of the server programs' names, compared without
// regard to case ("QXMTA.EXE" matches ".../qxmta.exe"); else 0.
uint32_t IsServerHostProcess();
// The same test on a given path.
uint32_t IsServerHostPath(std::string_view module_path);

// The apartment a host joins: the server programs run multithreaded, every
// other host single-threaded.
enum class ComApartment { kMultithreaded, kSingleThreaded };
ComApartment ComApartmentForHost();

// The per-thread start-up that callers pair with their work; always 0
// (S_OK) here.
int32_t InitializeComForHost();

}  // namespace qx
