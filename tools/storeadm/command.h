#pragma once
// storeadm's command table. Each command lives in its own file and registers
// itself with a file-scope CommandRegistration, so a new command is a new
// file in tools/storeadm/ and nothing else changes:
//
//   namespace {
//   int RunEcho(int argc, char** argv) { ... return 0; }
//   const qx::storeadm::CommandRegistration kEcho(
//       {"echo", "<text>", "prints its argument", RunEcho});
//   }

#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

namespace qx::storeadm {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Command {
  const char* name;       // the word after "storeadm"
  const char* arguments;  // shown in usage lines, e.g. "<postoffice> <mailbox> <folder>"
  const char* summary;    // one line for the help text
  // argv[0] is the command name, argv[1..argc-1] its arguments. Runs with
  // the library initialised; returns the program's exit code.
  int (*run)(int argc, char** argv);
  // More lines for "storeadm <name> --help" (forms, names chosen, output),
  // or null.
  const char* details = nullptr;
};

// Every registered command, ordered by name.
const std::vector<Command>& Commands();

// The command called `name`, or null.
const Command* FindCommand(std::string_view name);

struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};

// Prints "storeadm: <message>" and the command's usage line to standard
// error; returns kExitUsage so commands can `return UsageError(...)`.
int UsageError(const Command& command, const char* message);

// "usage: storeadm <name> <arguments>" to `out`.
void PrintCommandUsage(const Command& command, std::FILE* out);

// Runs a direct index transaction (true when it went through) until it goes
// through, retrying a tenth of a second apart while another writer holds
// the folder's block, at most 50 times. False when it never went through.
bool RetryWhileIndexBusy(const std::function<bool()>& transaction);

}  // namespace qx::storeadm
