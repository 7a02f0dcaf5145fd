#include "qxstore.h"
#include "remote/remote_state.h"

extern "C" QXSTORE_API uint32_t SetCurrentHost(const char* name) {
  return qx::SetCurrentHost(name);
}
