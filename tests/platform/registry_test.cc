#include "platform/registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_parser.h"

namespace qx::platform {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

Bytes Sz(const std::string& text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

Bytes Dword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

const RegistryValue* Lookup(const RegistrySnapshot& snapshot, RegistryRoot root,
                            const std::string& key, const std::string& name) {
  const RegistryKey* found = FindRegistryKey(snapshot, root, key);
  return found == nullptr ? nullptr : FindRegistryValue(*found, name);
}

// The bytes of `text` as UTF-16LE with a byte-order mark (text is UTF-8 with
// only one- and two-byte sequences).
std::string Utf16File(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t unit = static_cast<uint8_t>(text[i]);
    if (unit >= 0xC0) unit = ((unit & 0x1F) << 6) | (static_cast<uint8_t>(text[++i]) & 0x3F);
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

TEST(RegistryParser, ReadsEveryValueForm) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Tal Mera\\Tal Mera\\]\r\n"
      "\"Mail Root\"=\"C:\\\\Mail \\\"x\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Short\"=dword:1f\r\n"
      "\"Full\"=dword:FFFFFFFE\r\n"
      "\"Blob\"=hex:00,01,\\\r\n"
      "  fe,ff\r\n"
      "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\"Quad\"=hex(b):01,02,03,04,05,06,07,08\r\n"
      "\"None\"=hex(0):07\r\n"
      "\"Empty\"=hex:\r\n"
      "  \"Spaced\" = \"v\"  \r\n"
      "[hkey_current_user\\Software]\r\n"
      "\"Host\"=\"h\"\r\n";
  RegistrySnapshot snapshot;
  EXPECT_TRUE(ParseRegistryText(text, &snapshot).empty());

  const std::string key = "software\\TAL MERA\\tal mera";
  const RegistryKey* found = FindRegistryKey(snapshot, kMachine, key);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->path, "SOFTWARE\\Tal Mera\\Tal Mera");
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "MAIL ROOT")->data, Sz("C:\\Mail \"x\""));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "")->data, Sz("default"));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Short")->type, kRegDword);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Short")->data, Dword(0x1f));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Full")->data, Dword(0xFFFFFFFE));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Blob")->type, kRegBinary);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Blob")->data, (Bytes{0x00, 0x01, 0xfe, 0xff}));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Expand")->type, kRegExpandSz);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Expand")->data, Sz("%A%"));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Multi")->type, kRegMultiSz);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Multi")->data, (Bytes{'a', 0, 'b', 0, 0}));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Quad")->type, kRegQword);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Quad")->data, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "None")->type, kRegNone);
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "Empty")->data, Bytes{});
  EXPECT_EQ(Lookup(snapshot, kMachine, key, "spaced")->data, Sz("v"));
  EXPECT_EQ(Lookup(snapshot, kUser, "SOFTWARE", "host")->data, Sz("h"));
  EXPECT_EQ(Lookup(snapshot, kMachine, "SOFTWARE", "host"), nullptr);

  ASSERT_EQ(found->values.size(), 11u);
  EXPECT_EQ(found->values[0].first, "Mail Root");
  EXPECT_EQ(found->values[10].first, "Spaced");
}

TEST(RegistryParser, SkipsMalformedLinesWithWarnings) {
  const std::string text =
      "REGEDIT4\n"                                  // 1
      "\"Early\"=\"before any key\"\n"              // 2: outside a key
      "[HKEY_LOCAL_MACHINE\\K]\n"                   // 3
      "\"Good1\"=\"a\"\n"                           // 4
      "\"Open=\"x\"\n"                              // 5: string not closed
      "\"NoEquals\" \"x\"\n"                        // 6
      "\"Dword9\"=dword:123456789\n"                // 7
      "\"DwordX\"=dword:12g4\n"                     // 8
      "\"DwordEmpty\"=dword:\n"                     // 9
      "\"BadByte\"=hex:00,zz,01\n"                  // 10
      "\"BigByte\"=hex:100\n"                       // 11
      "\"BadType\"=hex(q):00\n"                     // 12
      "\"NoColon\"=hex(2)00\n"                      // 13
      "\"ShortQuad\"=hex(b):01,02\n"                // 14
      "\"Trailing\"=\"x\" junk\n"                   // 15
      "\"Word\"=word:1\n"                           // 16
      "garbage line\n"                              // 17
      "[HKEY_LOCAL_MACHINE\\Unclosed\n"             // 18
      "\"Lost1\"=\"under a broken key line\"\n"     // 19
      "[HKEY_CLASSES_ROOT\\K]\n"                    // 20
      "\"Lost2\"=\"under an unsupported root\"\n"   // 21
      "[HKEY_LOCAL_MACHINE\\K]\n"                   // 22
      "\"Good2\"=dword:2\n"                         // 23
      "\"Tail\"=\"x\\\"\n";                         // 24: \" escapes the quote
  RegistrySnapshot snapshot;
  const std::vector<RegistryWarning> warnings = ParseRegistryText(text, &snapshot);
  std::vector<int> lines;
  for (const RegistryWarning& warning : warnings) {
    lines.push_back(warning.line);
    EXPECT_FALSE(warning.message.empty());
  }
  EXPECT_EQ(lines, (std::vector<int>{2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 24}));
  EXPECT_EQ(warnings, snapshot.warnings);

  const RegistryKey* key = FindRegistryKey(snapshot, kMachine, "K");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 2u);
  EXPECT_EQ(key->values[0].first, "Good1");
  EXPECT_EQ(key->values[1].second.data, Dword(2));
  EXPECT_EQ(FindRegistryKey(snapshot, kMachine, "Unclosed"), nullptr);

  for (const std::string& bad_header :
       {std::string(), std::string("REGEDIT5\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n"),
        std::string("\n" "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n")}) {
    const std::vector<RegistryWarning> header_warnings = ParseRegistryText(bad_header, &snapshot);
    ASSERT_EQ(header_warnings.size(), 1u);
    EXPECT_EQ(header_warnings[0].line, 1);
    EXPECT_TRUE(snapshot.local_machine.empty());
  }
}

TEST(RegistryParser, DeletionsAndLaterLinesWin) {
  const std::string text =
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\A]\n"
      "\"v\"=\"first\"\n"
      "\"w\"=\"kept\"\n"
      "\"gone\"=\"x\"\n"
      "[HKEY_LOCAL_MACHINE\\A\\B]\n"
      "[HKEY_LOCAL_MACHINE\\A\\B\\C]\n"
      "[HKEY_LOCAL_MACHINE\\A\\BC]\n"
      "[HKEY_LOCAL_MACHINE\\A\\B-x]\n"
      "[HKEY_CURRENT_USER\\A\\B]\n"
      "[HKEY_LOCAL_MACHINE\\a]\n"
      "\"V\"=dword:7\n"
      "\"GONE\"=-\n"
      "\"never\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\a\\b]\n"
      "\"ignored\"=\"after a deletion\"\n"
      "[HKEY_LOCAL_MACHINE\\Z\\Y\\X]\n";
  RegistrySnapshot snapshot;
  EXPECT_TRUE(ParseRegistryText(text, &snapshot).empty());

  const RegistryKey* a = FindRegistryKey(snapshot, kMachine, "A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 2u);
  EXPECT_EQ(a->values[0].first, "v");
  EXPECT_EQ(a->values[0].second.type, kRegDword);
  EXPECT_EQ(a->values[0].second.data, Dword(7));
  EXPECT_EQ(a->values[1].first, "w");

  EXPECT_FALSE(RegistryKeyExistsIn(snapshot, kMachine, "A\\B"));
  EXPECT_FALSE(RegistryKeyExistsIn(snapshot, kMachine, "A\\B\\C"));
  EXPECT_TRUE(RegistryKeyExistsIn(snapshot, kMachine, "A\\BC"));
  EXPECT_TRUE(RegistryKeyExistsIn(snapshot, kUser, "a\\b"));
  EXPECT_EQ(RegistrySubKeyNames(snapshot, kMachine, "a"), (std::vector<std::string>{"B-x", "BC"}));

  // Importing a key creates its parents.
  EXPECT_TRUE(RegistryKeyExistsIn(snapshot, kMachine, "Z"));
  EXPECT_TRUE(RegistryKeyExistsIn(snapshot, kMachine, "z\\y\\"));
  EXPECT_FALSE(RegistryKeyExistsIn(snapshot, kMachine, "Z\\X"));
  EXPECT_EQ(RegistrySubKeyNames(snapshot, kMachine, "Z"), (std::vector<std::string>{"Y"}));
  EXPECT_EQ(RegistrySubKeyNames(snapshot, kMachine, ""), (std::vector<std::string>{"A", "Z"}));

  RegistrySnapshot emptied;
  ParseRegistryText(text + "[-HKEY_LOCAL_MACHINE]\n", &emptied);
  EXPECT_TRUE(emptied.local_machine.empty());
  EXPECT_FALSE(emptied.current_user.empty());
}

TEST(RegistryParser, EncodingsAndLineEnds) {
  const std::string body =
      "[HKEY_LOCAL_MACHINE\\K]\n"
      "\"Name\"=\"caf\xC3\xA9\"\n"
      "\"Bin\"=hex:0a,\\\n"
      "  0b\n";
  auto expect_parsed = [](const std::string& bytes, const char* what) {
    SCOPED_TRACE(what);
    RegistrySnapshot snapshot;
    EXPECT_TRUE(ParseRegistryText(bytes, &snapshot).empty());
    const RegistryValue* name = Lookup(snapshot, kMachine, "K", "name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->data, Sz("caf\xC3\xA9"));
    const RegistryValue* bin = Lookup(snapshot, kMachine, "K", "Bin");
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(bin->data, (Bytes{0x0a, 0x0b}));
  };
  auto with_line_ends = [](std::string text, const std::string& line_end) {
    std::string out;
    for (char c : text) out += c == '\n' ? line_end : std::string(1, c);
    return out;
  };
  const std::string v5 = "Windows Registry Editor Version 5.00\n\n" + body;
  expect_parsed(v5, "LF");
  expect_parsed(with_line_ends(v5, "\r\n"), "CR LF");
  expect_parsed(with_line_ends(v5, "\r"), "CR");
  expect_parsed("\xEF\xBB\xBF" + v5, "UTF-8 BOM");
  expect_parsed(Utf16File(with_line_ends(v5, "\r\n")), "UTF-16LE");
  expect_parsed(Utf16File(with_line_ends("REGEDIT4\n" + body, "\r\n")), "UTF-16LE REGEDIT4");

  // hex(2) is UTF-16LE in a Version 5 file, 8-bit text in a REGEDIT4 file.
  RegistrySnapshot snapshot;
  ParseRegistryText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"E\"=hex(2):41,42\n", &snapshot);
  EXPECT_EQ(Lookup(snapshot, kMachine, "K", "E")->data, Sz("AB"));
  ParseRegistryText(Utf16File("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
                              "\"E\"=hex(2):e9,00,3d,d8,00,de,00,d8,41\r\n"),
                    &snapshot);
  // U+00E9, U+1F600 from its surrogate pair, a lone surrogate, an odd byte.
  EXPECT_EQ(Lookup(snapshot, kMachine, "K", "E")->data,
            Sz("\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}

class RegistryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qxstore-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    path_ = directory_ + "/registry.reg";
    setenv("QXSTORE_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  // Rewrites the file in place, as an editor would.
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

  static std::string WithLimit(uint32_t limit) {
    char line[64];
    std::snprintf(line, sizeof line, "\"Limit\"=dword:%08x\r\n", limit);
    return "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q]\r\n" +
           std::string(line);
  }

  static std::optional<uint32_t> Limit() {
    std::optional<RegistryValue> value = RegistryQuery(kMachine, "SOFTWARE\\Q", "limit");
    if (!value || value->data.size() != 4) return std::nullopt;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
           static_cast<uint32_t>(value->data[3]) << 24;
  }

  std::string directory_;
  std::string path_;
};

TEST_F(RegistryFileTest, FollowsTheFileAsItIsNow) {
  EXPECT_FALSE(RegistryKeyExists(kMachine, "SOFTWARE"));
  EXPECT_FALSE(Limit().has_value());
  EXPECT_TRUE(RegistryWarnings().empty());

  // Same size, written within the file system's time granularity: still seen.
  for (uint32_t limit = 1; limit <= 5; ++limit) {
    Write(WithLimit(limit));
    EXPECT_EQ(Limit(), limit);
  }
  EXPECT_TRUE(RegistryKeyExists(kMachine, "software"));
  EXPECT_EQ(RegistrySubKeys(kMachine, "SOFTWARE"), std::vector<std::string>{"Q"});
  ASSERT_EQ(RegistryValues(kMachine, "SOFTWARE\\Q").size(), 1u);

  Write(WithLimit(9) + "oops\r\n");
  EXPECT_EQ(Limit(), 9u);
  ASSERT_EQ(RegistryWarnings().size(), 1u);
  EXPECT_EQ(RegistryWarnings()[0].line, 4);

  std::filesystem::remove(path_);
  EXPECT_FALSE(Limit().has_value());
  EXPECT_TRUE(RegistryWarnings().empty());
  Write(WithLimit(11));
  EXPECT_EQ(Limit(), 11u);
}

TEST_F(RegistryFileTest, ReadersNeverSeeAMissingValueWhileTheFileIsReplaced) {
  Write(WithLimit(0));
  std::atomic<bool> stop{false};
  std::atomic<int> bad_reads{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        if (!Limit().has_value()) ++bad_reads;
      }
    });
  }
  for (uint32_t limit = 1; limit <= 300; ++limit) {
    const std::string temp = path_ + ".tmp";
    std::ofstream(temp, std::ios::binary) << WithLimit(limit) + std::string(limit % 7, '\n');
    std::filesystem::rename(temp, path_);
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(bad_reads.load(), 0);
  EXPECT_EQ(Limit(), 300u);
}

}  // namespace
}  // namespace qx::platform
