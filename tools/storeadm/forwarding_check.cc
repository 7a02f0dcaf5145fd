#include "forwarding_check.h"

#include <cstdio>

#include "remote/forwarding_failure.h"

namespace qx::storeadm {

bool ReportForwardingFailure() {
  const auto& failure = LastForwardingFailure();
  if (!failure) return false;
  std::fprintf(stderr, "storeadm: %s\n", failure->reason.c_str());
  return true;
}

}  // namespace qx::storeadm
