#include "platform/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path_resolver.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class ListingTest : public test::ScratchDirTest {
 protected:
  static std::vector<std::string> Names(std::string_view pattern) {
    std::vector<std::string> names;
    for (Listing listing = Listing::Open(pattern); listing.valid(); listing.Next()) {
      names.push_back(listing.current().name);
    }
    return names;
  }
};

using NameList = std::vector<std::string>;

TEST(WildcardMatchTest, OriginalRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.*", "noext", true},   {"*.", "noext", true},     {"*.", "a.mai", false},
      {"*.", "..", true},       {"*.", ".hidden", false},  {"*.MAI", "x.y.MaI", true},
      {"*.MAI", "a.mail", false}, {"?.mai", "ab.mai", false}, {"a??.txt", "a.txt", true},
      {"a?c", "a.c", false},    {"*abc*", "xxABCxx", true}, {"", "a", false},
      {"*a*b*c*d*e*f*g", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"*.MAI", ".mai", true},  {"*.MAI", "mai", false},    {"*.MAI", "a..MAI", true},
      {"*.MAI", "a.MAI.", false}, {"*.*", ".", true},       {"*", "a.b.c", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
  }
}

TEST_F(ListingTest, DotsFirstThenNamesWithoutRegardToCase) {
  for (const char* name : {"b.mai", "b.MAI", "A.mai", "_index.xml", "c", "Z.txt", "a.MAI.bak"}) Put(name);
  MakeDirs("sub");

  // '_' sorts after the letters, as upper-cased names compare; names equal
  // but for case in byte order.
  const NameList expected{".", "..", "A.mai", "a.MAI.bak", "b.MAI", "b.mai", "c", "sub", "Z.txt", "_index.xml"};
  EXPECT_EQ(Names(Store("*")), expected);
  EXPECT_EQ(Names(root_ + "/SUB/*."), (NameList{".", ".."}));

  // A listing of names alone gives the same names in the same order, and
  // still tells the directories.
  NameList names;
  for (Listing listing = Listing::Open(Store("*"), ListingScope::kStoreEntries, ListingDetail::kNamesAndTypes);
       listing.valid(); listing.Next()) {
    const FindData& entry = listing.current();
    names.push_back(entry.name);
    const bool directory = entry.name == "." || entry.name == ".." || entry.name == "sub";
    EXPECT_EQ((entry.attributes & kAttributeDirectory) != 0, directory) << entry.name;
    EXPECT_EQ(entry.size, 0u) << entry.name;
  }
  EXPECT_EQ(names, expected);
}

// Names that share long runs (message names with leading zeros, a few that
// do not), differ only in case, end where others go on, or hold bytes that
// fold around '_': both kinds of listing give them as ListingOrderLess
// orders them.
TEST_F(ListingTest, LargeListingsKeepTheOrderOfTheComparison) {
  MakeDirs("big");
  NameList names;
  for (unsigned i = 0; i < 600; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%032X.MAI", i * 2654435761u % 5000);
    names.push_back(name);
  }
  for (std::string extra : {"0ADDF997D1E1404EAFE649691585ABCD.MAI", "00000000.MAI", "00000000000000000.mai",
                            "0000000000000000000000000000abcd.mai", "0000000000000000000000000000ABCD.mAI",
                            "0000000000000000_", "0000000000000000a", "0000000000000000Z", "\xC3\xA9t\xC3\xA9",
                            "0000000000000000a_b", "0000000000000000A_B0"}) {
    names.push_back(extra);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (const std::string& name : names) Put("big/" + name);
  NameList expected = names;
  std::sort(expected.begin(), expected.end(), ListingOrderLess);
  expected.insert(expected.begin(), {".", ".."});

  for (ListingDetail detail : {ListingDetail::kLookedUp, ListingDetail::kNamesAndTypes}) {
    NameList listed;
    for (Listing listing = Listing::Open(Store("big\\*"), ListingScope::kStoreEntries, detail); listing.valid();
         listing.Next()) {
      listed.push_back(listing.current().name);
    }
    EXPECT_EQ(listed, expected);
  }
}

TEST_F(ListingTest, EntriesCarryAttributesSizesAndTimes) {
  Put("m.mai", "12345");
  MakeDirs("Folder");
  FileTimes set;
  set.last_write = 132500000000000000ULL;
  ASSERT_TRUE(SetFileTimes(Store("m.mai"), set));
  FileTimes folder_times, message_times;
  ASSERT_TRUE(GetFileTimes(Store("Folder"), &folder_times));
  ASSERT_TRUE(GetFileTimes(Store("m.mai"), &message_times));

  Listing listing = Listing::Open(Store("*"));
  std::vector<FindData> entries;
  for (; listing.valid(); listing.Next()) entries.push_back(listing.current());
  EXPECT_EQ(GetLastError(), kErrorNoMoreFiles);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[2].attributes, kAttributeDirectory);
  const FindData& message = entries[3];
  EXPECT_EQ(message.attributes, kAttributeNormal);
  EXPECT_EQ(message.size, 5u);
  EXPECT_EQ(message.last_write_time, set.last_write);
  EXPECT_EQ(message.creation_time, message_times.creation);

  // A name without wildcards is looked up, not listed.
  const uint64_t scans = ResolverScanCount();
  FindData found;
  ASSERT_TRUE(FindFirst(Store("m.mai"), &found));
  EXPECT_EQ(ResolverScanCount(), scans);
  EXPECT_EQ(found.size, 5u);
  // "<folder>\." gives the folder's own entry, with its creation time.
  ASSERT_TRUE(FindFirst(Store("folder\\."), &found));
  EXPECT_EQ(found.creation_time, folder_times.creation);

  // A large directory is looked up on helper threads as well: each entry
  // still carries its own file's size, in name order.
  MakeDirs("big");
  for (size_t i = 0; i < 700; ++i) Put("big/m" + std::to_string(1000 + i), std::string(i, 'x'));
  std::vector<FindData> big;
  for (Listing all = Listing::Open(Store("big\\m*")); all.valid(); all.Next()) big.push_back(all.current());
  ASSERT_EQ(big.size(), 700u);
  for (size_t i = 0; i < big.size(); ++i) {
    EXPECT_EQ(big[i].name, "m" + std::to_string(1000 + i));
    EXPECT_EQ(big[i].size, i);
  }
}

TEST_F(ListingTest, FailuresGiveTheOriginalCodes) {
  Put("a.txt");
  const std::pair<std::string, uint32_t> cases[] = {
      {Store("*.mai"), kErrorFileNotFound},    {Store("nodir\\*"), kErrorPathNotFound},
      {Store("a.txt\\*"), kErrorPathNotFound}, {Store("*\\a.txt"), kErrorInvalidName},
  };
  for (const auto& [pattern, error] : cases) {
    EXPECT_FALSE(Listing::Open(pattern).valid()) << pattern;
    EXPECT_EQ(GetLastError(), error) << pattern;
  }
}

}  // namespace
}  // namespace qx::platform
