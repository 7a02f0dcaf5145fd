#include "command.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"

namespace qx::storeadm {

namespace {

// A function-local table, so registrations from other files' static
// initialisers find it constructed whatever the link order.
std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

}  // namespace

const std::vector<Command>& Commands() { return Table(); }

const Command* FindCommand(std::string_view name) {
  for (const Command& command : Table()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

CommandRegistration::CommandRegistration(const Command& command) {
  auto& table = Table();
  auto position = std::lower_bound(
      table.begin(), table.end(), command,
      [](const Command& a, const Command& b) { return std::string_view(a.name) < b.name; });
  table.insert(position, command);
}

void PrintCommandUsage(const Command& command, std::FILE* out) {
  std::fprintf(out, "usage: storeadm %s%s%s\n", command.name, *command.arguments ? " " : "",
               command.arguments);
}

bool RetryWhileIndexBusy(const std::function<bool()>& transaction) {
  constexpr int kAttempts = 50;
  constexpr uint32_t kRetryMilliseconds = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (transaction()) return true;
    platform::Sleep(kRetryMilliseconds);
  }
  return false;
}

int UsageError(const Command& command, const char* message) {
  std::fprintf(stderr, "storeadm: %s\n", message);
  PrintCommandUsage(command, stderr);
  return kExitUsage;
}

}  // namespace qx::storeadm
