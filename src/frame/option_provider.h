#pragma once
// The option provider: the server's sibling library QXAISO.DLL, which keeps
// per-postoffice options such as "PostofficeRoot". It is loaded from the
// "Application Directory" setting with "64" appended, on first use, and
// stays loaded for the life of the process.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx {

// The provider's entries (C linkage in the library). Scope 1 is the
// postoffice scope, with the postoffice as `name`. GetOption writes at most
// 1024 bytes into `out`; the getters return non-zero when they wrote an
// answer, SetOption when it stored the value.
using GetOptionEntry = int (*)(int scope, const char* name, const char* option, char* out);
using GetOptionExEntry = int (*)(int scope, const char* name, const char* option, char* out,
                                 int out_size);
using SetOptionEntry = int (*)(int scope, const char* name, const char* option,
                               const char* value);

inline constexpr int kPostofficeScope = 1;
inline constexpr size_t kOptionValueSize = 1024;

struct OptionProvider {
  GetOptionEntry get_option = nullptr;        // required
  GetOptionExEntry get_option_ex = nullptr;   // optional
  SetOptionEntry set_option = nullptr;        // required
};

// The loaded provider, loading it when it is not loaded yet. Null when the
// library cannot be opened or lacks GetOption or SetOption, or when its path
// is not absolute (frame/sibling_library.h); a later call tries again. Safe
// to call from several threads.
const OptionProvider* LoadOptionProvider();

// The full name the provider is loaded from: "%s\\QXAISO.DLL" of the
// "Application Directory" value with "64" appended. Empty when it does not
// fit in 1024 bytes.
std::string OptionProviderPath();

// Asks the provider for a postoffice option: GetOption_Ex(1, ...) with a
// 1024-byte answer when the provider has it, else GetOption. 1 with the
// answer copied into `out` (cut to `size`), 0 with `out` empty when the
// provider is missing or has no answer.
uint32_t GetPostofficeOption(const char* postoffice, const char* option, char* out, size_t size);

}  // namespace qx
