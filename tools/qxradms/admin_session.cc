#include "admin_session.h"

#include <mutex>

#include "host_functions.h"
#include "platform/text_compare.h"
#include "remote/forwarded_calls.h"
#include "remote/forwarded_execution.h"

namespace qx::radms {

namespace {

constexpr std::string_view kMessageEnd = "</DATA>";

// The store's legacy enumeration cursors and BLOB offsets are process-wide
// and unguarded: forwarded calls run one at a time, whichever client sent them.
std::mutex g_store_calls;

using platform::EqualsNoCase;

// Takes the same time whatever the position of the first difference.
bool SameSecret(std::string_view given, std::string_view expected) {
  if (expected.empty()) return false;
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (size_t i = 0; i < given.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ expected[i % expected.size()]);
  }
  return difference == 0;
}

bool IsStoreModule(std::string_view module) {
  for (const ForwardedCall& call : ForwardedCalls()) {
    if (EqualsNoCase(module, call.module_key)) return true;
  }
  return false;
}

}  // namespace

std::string RefusalReply(std::string_view status, std::string_view reason) {
  return "<DATA><STATUS>" + std::string(status) + "</STATUS><REASON>" + std::string(reason) +
         "</REASON></DATA>";
}

bool IsAuthRequest(std::string_view message) { return MessageElement(message, "METHOD") == "AUTH"; }

AdminSession::Answer AdminSession::Handle(std::string_view message) {
  std::string method = MessageElement(message, "METHOD");
  if (method == "AUTH") return Authenticate(message);
  if (method == "LOAD") return Load(message);
  if (method == "PING") return {kSuccessReply, false};
  if (method == "QUIT") return {"", true};
  if (method == "EXEC") return Execute(message);
  return {kFailureReply, false};
}

AdminSession::Answer AdminSession::Authenticate(std::string_view message) {
  std::string credentials = MessageElement(message, "CREDENTIALS");
  if (secret_.empty() || !SameSecret(credentials, secret_)) return AuthenticationFailed();
  authenticated_ = true;
  loaded_module_.clear();
  return {kSuccessReply, false, AuthOutcome::kAccepted};
}

AdminSession::Answer AdminSession::RefuseAuthentication() { return AuthenticationFailed(); }

AdminSession::Answer AdminSession::AuthenticationFailed() {
  authenticated_ = false;
  loaded_module_.clear();
  auth_failures_ += 1;
  return {kFailureReply, auth_failures_ >= kMostAuthFailures, AuthOutcome::kFailed};
}

AdminSession::Answer AdminSession::Load(std::string_view message) {
  std::string module = MessageElement(message, "LIBRARY");
  if (!authenticated_ || !IsStoreModule(module)) return {kFailureReply, false};
  loaded_module_ = module;
  return {kSuccessReply, false};
}

AdminSession::Answer AdminSession::Execute(std::string_view message) {
  const HostFunction* function = FindHostFunction(MessageElement(message, "FUNCTION"));
  // A reply without a result makes the caller's function return 0.
  if (!authenticated_ || function == nullptr ||
      !EqualsNoCase(loaded_module_, function->wire->module_key)) {
    return {kFailureReply, false};
  }
  std::lock_guard<std::mutex> lock(g_store_calls);
  std::string reply = ExecuteForwardedRequest(
      message, [function](const ForwardedCall&, void* parameter1, void* parameter2) {
        return function->run(parameter1, parameter2);
      });
  return {reply, false};
}

std::vector<std::string> TakeMessages(std::string& pending) {
  std::vector<std::string> messages;
  size_t start = 0;
  size_t end;
  while ((end = pending.find(kMessageEnd, start)) != std::string::npos) {
    end += kMessageEnd.size();
    messages.emplace_back(pending, start, end - start);
    start = end;
  }
  pending.erase(0, start);
  return messages;
}

}  // namespace qx::radms
