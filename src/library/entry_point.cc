// The shared object's load and unload notifications. Only libqxstore.so.1
// is built with this file; the tests, which link the exported functions
// without it, call StoreLibrary_Init themselves.
//
// A load cannot be refused from a constructor: dlopen has no way to fail
// once constructors run, and ending the process would take down a host that
// only meant to try the library. So a failed start is reported on standard
// error and the library stays loaded in its failed state, where every call
// that needs a thread's record finds none and returns its failure result.

#include "library/lifecycle.h"
#include "platform/diagnostics.h"

namespace {

__attribute__((constructor)) void ProcessAttach() {
  if (qx::StoreLibraryInit() == 0) {
    qx::platform::ErrorOutput(
        "qxstore: library start failed: no thread-local slot could be allocated\n");
  }
}

__attribute__((destructor)) void ProcessDetach() { qx::StoreLibraryUnInit(); }

}  // namespace
