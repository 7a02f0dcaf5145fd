#include "forwarding_check.h"

#include <cstdio>

#include "remote/forwarding_failure.h"
#include "report.h"

namespace qx::storeadm {

bool ReportForwardingFailure() {
  const auto& failure = LastForwardingFailure();
  if (!failure) return false;
  ReportError("%s\n", failure->reason.c_str());
  return true;
}

}  // namespace qx::storeadm
