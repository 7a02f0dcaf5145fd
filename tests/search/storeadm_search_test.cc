// storeadm search, run as a program.

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/test_store.h"

namespace qx {
namespace {

struct ProgramRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class StoreadmSearchTest : public test::StoreTest {
 protected:
  ProgramRun Storeadm(const std::string& arguments) {
    const std::string err_path = root() + "/stderr.txt";
    const std::string command =
        std::string(QX_BINARY_DIR) + "/storeadm search " + arguments + " 2>" + err_path;
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(err_path);
    return run;
  }
  std::string Tree() const { return root() + "/tree"; }
};

TEST_F(StoreadmSearchTest, PrintsOneMatchALineAndExitsLikeGrep) {
  WriteFile(Tree() + "/a.txt", "my INVOICE");
  WriteFile(Tree() + "/sub/b.txt", "invoice");
  WriteFile(Tree() + "/c.txt", "nothing");

  ProgramRun run = Storeadm(Tree() + " '*invoice*' --recursive");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "a.txt\nsub\\b.txt\n");
  run = Storeadm("--case " + Tree() + " '*invoice*'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");

  run = Storeadm(Tree() + " invoice");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("to find a word use \"*invoice*\""), std::string::npos) << run.err;

  run = Storeadm(root() + "/missing '*'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("is not a directory"), std::string::npos) << run.err;
  EXPECT_EQ(Storeadm(Tree()).exit_code, 2);
  EXPECT_EQ(Storeadm(Tree() + " '*' --deep").exit_code, 2);
}

}  // namespace
}  // namespace qx
