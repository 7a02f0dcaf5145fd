#include "platform/openssl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace qx::platform {

const OpenSsl* LoadOpenSsl() {
  static OpenSsl openssl;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] {
    // libssl brings libcrypto in; its handle finds the symbols of both.
    void* library = dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    loaded = true;
#define QX_OPENSSL_BIND(name)                                                 \
  openssl.name = reinterpret_cast<decltype(openssl.name)>(dlsym(library, #name)); \
  loaded = loaded && openssl.name != nullptr;
    QX_OPENSSL_FUNCTIONS(QX_OPENSSL_BIND)
#undef QX_OPENSSL_BIND
  });
  return loaded ? &openssl : nullptr;
}

}  // namespace qx::platform
