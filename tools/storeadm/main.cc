// storeadm: the administration command line of the message store.

#include <cstdio>
#include <cstring>

#include "command.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: storeadm <command> [arguments]\n"
               "       storeadm <command> --help\n"
               "       storeadm --help\n"
               "\n"
               "Administers the message store named by the registry file in\n"
               "QXSTORE_REGISTRY (default /etc/qxstore/registry.reg).\n"
               "\n"
               "commands:\n");
  for (const Command& command : Commands()) {
    std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
    std::fprintf(out, "  %-10s   storeadm %s%s%s\n", "", command.name, *command.arguments ? " " : "",
                 command.arguments);
  }
}

bool IsHelpFlag(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
         std::strcmp(argument, "help") == 0;
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  if (IsHelpFlag(argv[1])) {
    PrintHelp(stdout);
    return kExitOk;
  }
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "storeadm: unknown command '%s'\n\n", argv[1]);
    PrintHelp(stderr);
    return kExitUsage;
  }
  for (int i = 2; i < argc; ++i) {
    if (IsHelpFlag(argv[i]) && std::strcmp(argv[i], "help") != 0) {
      std::printf("%s\n", command->summary);
      PrintCommandUsage(*command, stdout);
      if (command->details != nullptr) std::printf("\n%s", command->details);
      return kExitOk;
    }
  }
  // The library started as it was loaded, with this process's settings;
  // it stops as it is unloaded at exit.
  int result = command->run(argc - 1, argv + 1);
  std::fflush(stdout);
  // The main thread's state (an open folder, its record) goes as a host's
  // thread end would take it, before the library stops.
  StoreLibrary_ThreadRelease();
  return result;
}

}  // namespace
}  // namespace qx::storeadm

int main(int argc, char** argv) { return qx::storeadm::Main(argc, argv); }
