// The search over a directory tree: what counts as a match in a file, the
// order and form of the result list, and what is never opened.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "platform/fault_injection.h"
#include "platform/listing.h"
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
    return FindMatchingFiles({.directory = directory, .pattern = pattern,
                              .subfolders = subfolders, .case_sensitive = case_sensitive});
  }
};

TEST_F(FileSearchTest, ListsMatchesDepthFirstAndNeverOpensWhatItCannot) {
  for (const char* name : {"b.txt", "n.txt", "m/z.txt", "m/deeper/y.txt", ".hidden/h.txt", ".dotfile",
                           "locked.txt"}) {
    WriteFile(Tree() + "/" + name, "invoice");
  }
  WriteFile(Tree() + "/A.txt", "my invoice");
  WriteFile(Tree() + "/c.txt", "a big invoice");  // the first 'i' is in "big"
  platform::InjectFault(platform::FaultOp::kOpen, "locked.txt", 5, 2);  // cannot be opened
  EXPECT_EQ(Find(Tree(), "*invoice*", false), ".dotfile,A.txt,b.txt,n.txt");
  EXPECT_EQ(Find(Tree(), "*invoice*", true), ".dotfile,A.txt,b.txt,m\\deeper\\y.txt,m\\z.txt,n.txt");
  platform::ClearFaults();
  // A store path in another spelling names the same tree.
  EXPECT_EQ(Find(root() + "\\TREE\\M", "*INVOICE*", false), "z.txt");
  EXPECT_EQ(Find(Tree(), "*INVOICE*", false, true), "");
  EXPECT_EQ(Find(root() + "/missing", "*", true), "");

  // Doubled separators resolve to the same directory but count in the
  // length, and a path over 259 characters is never opened: "<253>\b.txt"
  // is 259 characters long.
  const std::string at_limit = Tree() + std::string(253 - Tree().size(), '/');
  EXPECT_EQ(Find(at_limit, "*invoice*", false), "A.txt,b.txt,n.txt");
  EXPECT_EQ(Find(at_limit + "/", "*invoice*", false), "");
}

TEST_F(FileSearchTest, FilesAreTestedInPiecesOf1023BytesThatEndAtANul) {
  // Each file's only "invoice" starts at the offset given.
  auto word_at = [&](const char* name, size_t offset, size_t total = 0) {
    std::string text(std::max(total, offset + 7), 'x');
    WriteFile(Tree() + "/" + name, text.replace(offset, 7, "invoice"));
  };
  word_at("first_piece", 1016);  // ends exactly at 1023
  word_at("across_border", 1020);
  word_at("second_piece", 1023, 3000);
  // Pieces come from large reads: the 64th piece ends one read and the
  // 65th begins the next; a word across that border is not seen either.
  word_at("across_read", 1023 * 64 - 3, 200000);
  word_at("next_read", 1023 * 64, 200000);
  WriteFile(Tree() + "/nul_first", "\0 invoice"s);
  std::string nul_then_piece(1023, 'x');
  nul_then_piece[5] = '\0';
  WriteFile(Tree() + "/nul_then_piece", nul_then_piece + "invoice");
  WriteFile(Tree() + "/empty", "");
  EXPECT_EQ(Find(Tree(), "*invoice*", false), "first_piece,next_read,nul_then_piece,second_piece");
  // "*" matches any piece, so every file but the empty one.
  EXPECT_EQ(Find(Tree(), "*", false),
            "across_border,across_read,first_piece,next_read,nul_first,nul_then_piece,second_piece");
  // Without '*' the pattern must be a whole piece: the last, short one here.
  WriteFile(Tree() + "/short", std::string(1023, 'y') + "tail");
  EXPECT_EQ(Find(Tree(), "TAIL", false), "short");
}

// What no store holds: a FIFO (opening it would wait for a writer), a link
// to a device that reads forever, links out of the tree and link loops. The
// search skips them and ends at once; a link to a file inside the tree is
// read like the file.
TEST_F(FileSearchTest, SkipsFifosDevicesAndLinksOutOfTheTreeOrIntoALoop) {
  WriteFile(Tree() + "/a.txt", "invoice");
  WriteFile(Tree() + "/sub/b.txt", "invoice");
  WriteFile(root() + "/outside/secret.txt", "invoice");
  ASSERT_EQ(mkfifo((Tree() + "/pipe.txt").c_str(), 0600), 0);
  const std::pair<std::string, std::string> links[] = {
      {"/dev/zero", "zero.txt"},
      {Tree(), "sub/top"},  // a loop back to the start
      {"..", "sub/up"},
      {"loop_b", "loop_a"},  // two links that lead to each other
      {"loop_a", "loop_b"},
      {Tree() + "/sub", "again"},  // the same directory by a second way
      {root() + "/outside", "out"},
      {root() + "/outside/secret.txt", "secret.txt"},
      {Tree() + "/a.txt", "sub/inside.txt"},
      {"missing.txt", "dangling.txt"},
  };
  for (const auto& [target, name] : links) {
    ASSERT_EQ(symlink(target.c_str(), (Tree() + "/" + name).c_str()), 0) << name;
  }

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Find(Tree(), "*invoice*", true), "a.txt,sub\\b.txt,sub\\inside.txt");
  EXPECT_EQ(Find(Tree(), "*", false), "a.txt");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  // Only files and directories are listed.
  EXPECT_FALSE(platform::Listing::Open(Tree() + "/pipe.txt").valid());
  EXPECT_FALSE(platform::Listing::Open(Tree() + "/zero.txt").valid());
}

}  // namespace
}  // namespace qx
