#pragma once
// Sending one notification message to a service over TCP.

#include <string_view>

#include "notify_target.h"

namespace qxainfy {

// Connects to the target (giving up after its connect time-out), sends the
// whole message and closes. A QXAINFY_* result: QXAINFY_SENT only when every
// byte was handed to the connection.
int SendNotification(const NotifyTarget& target, std::string_view message);

}  // namespace qxainfy
