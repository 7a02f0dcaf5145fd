// The notifier's entry, as the store library looks it up.

#include <cstring>

#include "notify_send.h"
#include "notify_target.h"
#include "qxainfy.h"

#define QXAINFY_EXPORT __attribute__((visibility("default")))

extern "C" QXAINFY_EXPORT int NotifyRemote(const char* server, const char* protocol,
                                           const char* message) {
  if (server == nullptr || protocol == nullptr || message == nullptr) return QXAINFY_BAD_ARGUMENT;
  // A '\' would reach another registry key than the server's own.
  if (*server == '\0' || *protocol == '\0' || std::strchr(server, '\\') != nullptr) {
    return QXAINFY_BAD_ARGUMENT;
  }
  std::optional<qxainfy::NotifyTarget> target = qxainfy::FindNotifyTarget(server, protocol);
  if (!target) return QXAINFY_NO_PORT;
  return qxainfy::SendNotification(*target, message);
}
