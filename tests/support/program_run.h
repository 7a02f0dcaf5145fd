#pragma once
// Runs a shell command line for tests of the command-line programs.

#include <string>

namespace qx::test {

struct ProgramRun {
  int exit_code = -1;  // -1 when the program could not be run or did not exit
  std::string output;  // what it wrote to standard output
};

ProgramRun RunCommandLine(const std::string& command);

}  // namespace qx::test
