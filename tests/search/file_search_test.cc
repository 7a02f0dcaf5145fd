// The search over a directory tree: what counts as a match in a file, the
// order and form of the result list, and what is never opened.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "search/file_match.h"
#include "search/file_search.h"
#include "support/test_store.h"

namespace qx {
namespace {

using namespace std::string_literals;

class FileSearchTest : public test::StoreTest {
 protected:
  std::string Tree() const { return root() + "/tree"; }

  std::string Find(const std::string& directory, const char* pattern, bool subfolders,
                   bool case_sensitive = false) {
    return FindMatchingFiles({.directory = directory,
                              .pattern = pattern,
                              .subfolders = subfolders,
                              .case_sensitive = case_sensitive});
  }

  // A file whose only occurrence of "invoice" starts at `offset`.
  void WriteWordAt(const std::string& path, size_t offset, size_t total = 0) {
    std::string text(std::max(total, offset + 7), 'x');
    text.replace(offset, 7, "invoice");
    WriteFile(path, text);
  }
};

TEST_F(FileSearchTest, ListsMatchesDepthFirstInListingOrderWithBackslashes) {
  WriteFile(Tree() + "/b.txt", "an invoice");
  WriteFile(Tree() + "/A.txt", "my invoice");
  WriteFile(Tree() + "/c.txt", "a big invoice");  // the first 'i' is in "big"
  WriteFile(Tree() + "/m/z.txt", "invoice");
  WriteFile(Tree() + "/n.txt", "invoice");
  WriteFile(Tree() + "/m/deeper/y.txt", "invoice");
  WriteFile(Tree() + "/.hidden/h.txt", "invoice");
  WriteFile(Tree() + "/.dotfile", "invoice");

  EXPECT_EQ(Find(Tree(), "*invoice*", false), ".dotfile,A.txt,b.txt,n.txt");
  EXPECT_EQ(Find(Tree(), "*invoice*", true),
            ".dotfile,A.txt,b.txt,m\\deeper\\y.txt,m\\z.txt,n.txt");
  // A store path in another spelling names the same tree.
  EXPECT_EQ(Find(root() + "\\TREE\\M", "*INVOICE*", false), "z.txt");
  EXPECT_EQ(Find(Tree(), "*INVOICE*", false, true), "");
  EXPECT_EQ(Find(Tree(), "*nothing here*", true), "");
  EXPECT_EQ(Find(root() + "/missing", "*", true), "");
}

TEST_F(FileSearchTest, FilesAreTestedInPiecesOf1023BytesThatEndAtANul) {
  const std::string dir = Tree();
  WriteWordAt(dir + "/first_piece", 1016);                      // ends exactly at 1023
  WriteWordAt(dir + "/across_border", 1020);                    // "inv" | "oice"
  WriteWordAt(dir + "/second_piece", 1023, 3000);
  // Pieces come from large reads: the 64th piece ends one read and the
  // 65th begins the next; a word across that border is not seen either.
  WriteWordAt(dir + "/across_read", 1023 * 64 - 3, 200000);
  WriteWordAt(dir + "/next_read", 1023 * 64, 200000);
  WriteWordAt(dir + "/late", 1023 * 150 + 500, 1023 * 150 + 600);
  std::string nul_first = "\0 invoice"s;
  WriteFile(dir + "/nul_first", nul_first);
  std::string nul_then_piece(1023, 'x');
  nul_then_piece[5] = '\0';
  WriteFile(dir + "/nul_then_piece", nul_then_piece + "invoice");
  WriteFile(dir + "/empty", "");

  EXPECT_EQ(Find(dir, "*invoice*", false),
            "first_piece,late,next_read,nul_then_piece,second_piece");
  // "*" matches any piece, so every file but the empty one.
  EXPECT_EQ(Find(dir, "*", false),
            "across_border,across_read,first_piece,late,next_read,nul_first,nul_then_piece,"
            "second_piece");
  // Without '*' the pattern must be a whole piece: the last, short one here.
  WriteFile(dir + "/short", std::string(1023, 'y') + "tail");
  EXPECT_EQ(Find(dir, "TAIL", false), "short");
}

TEST_F(FileSearchTest, PathsLongerThanTheLimitAreNeitherListedNorOpened) {
  // Doubled separators resolve to the same directory but count in the length.
  std::string directory = Tree();
  WriteFile(directory + "/a", "invoice");
  WriteFile(directory + "/ab", "invoice");
  const std::string at_limit = directory + std::string(257 - directory.size(), '/');
  ASSERT_EQ(at_limit.size(), 257u);
  // "<257>\*" is 259 characters; "<257>\a" fits, "<257>\ab" does not.
  EXPECT_EQ(Find(at_limit, "*invoice*", false), "a");
  EXPECT_EQ(Find(at_limit + "/", "*invoice*", false), "");
}

TEST_F(FileSearchTest, AFileThatCannotBeOpenedDoesNotMatch) {
  WriteFile(Tree() + "/locked.txt", "invoice");
  WriteFile(Tree() + "/open.txt", "invoice");
  platform::InjectFault(platform::FaultOp::kOpen, "locked.txt", 5);
  EXPECT_EQ(Find(Tree(), "*invoice*", false), "open.txt");
  platform::ClearFaults();

  // Another process holding the file without sharing keeps it out too.
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::File held = platform::File::Open(Tree() + "/locked.txt", platform::Access::kRead,
                                               platform::Disposition::kOpenExisting,
                                               platform::Sharing::kExclusive);
    char byte = held.valid() ? 'y' : 'n';
    (void)!write(ready[1], &byte, 1);
    (void)!read(release[0], &byte, 1);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  EXPECT_EQ(Find(Tree(), "*invoice*", false), "open.txt");
  EXPECT_TRUE(FileMatchesPattern(Tree() + "/open.txt", "*invoice*", false));
  (void)!write(release[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(Find(Tree(), "*invoice*", false), "locked.txt,open.txt");
}

}  // namespace
}  // namespace qx
