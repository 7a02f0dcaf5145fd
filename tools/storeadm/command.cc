#include "command.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "report.h"
#include <cstring>

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

bool TakeOption(int* argc, char** argv, const char* option) {
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp(argv[i], option) != 0) argv[kept++] = argv[i];
  }
  const bool found = kept != *argc;
  *argc = kept;
  return found;
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
  const bool first = !ErrorReported();
  ReportError("%s", message);
  if (first && !JsonErrors()) PrintCommandUsage(command, stderr);
  return kExitUsage;
}

bool HasOption(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], option) == 0) return true;
  }
  return false;
}

}  // namespace qx::storeadm
