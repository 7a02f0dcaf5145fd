#include "platform/registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_parser.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;
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

// `text` (UTF-8 with one- and two-byte sequences only) as UTF-16LE with a BOM.
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
      "Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Tal Mera\\Tal Mera\\]\r\n"
      "\"Mail Root\"=\"C:\\\\Mail \\\"x\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Short\"=dword:1f\r\n"
      "\"Full\"=dword:FFFFFFFE\r\n"
      "\"Blob\"=hex:00,01,\\\r\n  fe,ff\r\n"
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
  const struct {
    const char* name;
    uint32_t type;
    Bytes data;
  } expected[] = {
      {"MAIL ROOT", kRegSz, Sz("C:\\Mail \"x\"")},       {"", kRegSz, Sz("default")},
      {"Short", kRegDword, Dword(0x1f)},                 {"Full", kRegDword, Dword(0xFFFFFFFE)},
      {"Blob", kRegBinary, {0x00, 0x01, 0xfe, 0xff}},    {"Expand", kRegExpandSz, Sz("%A%")},
      {"Multi", kRegMultiSz, {'a', 0, 'b', 0, 0}},       {"Quad", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"None", kRegNone, {7}},                           {"Empty", kRegBinary, {}},
      {"spaced", kRegSz, Sz("v")},
  };
  for (const auto& value : expected) {
    const RegistryValue* read = Lookup(snapshot, kMachine, key, value.name);
    ASSERT_NE(read, nullptr) << value.name;
    EXPECT_EQ(read->type, value.type) << value.name;
    EXPECT_EQ(read->data, value.data) << value.name;
  }
  EXPECT_EQ(Lookup(snapshot, kUser, "SOFTWARE", "host")->data, Sz("h"));
  EXPECT_EQ(Lookup(snapshot, kMachine, "SOFTWARE", "host"), nullptr);
}

TEST(RegistryParser, SkipsMalformedLinesWithWarnings) {
  // Each bad line is skipped with a warning naming it; the next line is read.
  for (const char* bad :
       {"\"Open=\"x\"", "\"NoEquals\" \"x\"", "\"Dword9\"=dword:123456789", "\"DwordX\"=dword:12g4",
        "\"DwordEmpty\"=dword:", "\"BadByte\"=hex:00,zz,01", "\"BigByte\"=hex:100", "\"BadType\"=hex(q):00",
        "\"NoColon\"=hex(2)00", "\"ShortQuad\"=hex(b):01,02", "\"Trailing\"=\"x\" junk", "\"Word\"=word:1",
        "garbage line", "\"Tail\"=\"x\\\""}) {
    RegistrySnapshot snapshot;
    const std::vector<RegistryWarning> warnings = ParseRegistryText(
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n" + std::string(bad) + "\n\"Good\"=dword:2\n", &snapshot);
    ASSERT_EQ(warnings.size(), 1u) << bad;
    EXPECT_EQ(warnings[0].line, 3) << bad;
    EXPECT_FALSE(warnings[0].message.empty());
    EXPECT_EQ(warnings, snapshot.warnings);
    const RegistryKey* key = FindRegistryKey(snapshot, kMachine, "K");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 1u) << bad;
    EXPECT_EQ(key->values[0].second.data, Dword(2));
  }

  // Values outside a key, or under a broken or unsupported key line, are lost.
  RegistrySnapshot snapshot;
  const std::vector<RegistryWarning> warnings = ParseRegistryText(
      "REGEDIT4\n\"Early\"=\"x\"\n[HKEY_LOCAL_MACHINE\\Unclosed\n\"Lost1\"=\"x\"\n"
      "[HKEY_CLASSES_ROOT\\K]\n\"Lost2\"=\"x\"\n[HKEY_LOCAL_MACHINE\\K]\n\"Good\"=\"a\"\n",
      &snapshot);
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(warnings[0].line, 2);
  EXPECT_EQ(warnings[1].line, 3);
  EXPECT_EQ(warnings[2].line, 5);
  ASSERT_EQ(FindRegistryKey(snapshot, kMachine, "K")->values.size(), 1u);

  for (const char* bad_header : {"", "REGEDIT5\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n",
                                 "\nREGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\"\n"}) {
    const std::vector<RegistryWarning> header_warnings = ParseRegistryText(bad_header, &snapshot);
    ASSERT_EQ(header_warnings.size(), 1u);
    EXPECT_EQ(header_warnings[0].line, 1);
    EXPECT_TRUE(snapshot.local_machine.empty());
  }
}

TEST(RegistryParser, DeletionsAndLaterLinesWin) {
  const std::string text =
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"first\"\n\"w\"=\"kept\"\n\"gone\"=\"x\"\n"
      "[HKEY_LOCAL_MACHINE\\A\\B]\n[HKEY_LOCAL_MACHINE\\A\\B\\C]\n[HKEY_LOCAL_MACHINE\\A\\BC]\n"
      "[HKEY_LOCAL_MACHINE\\A\\B-x]\n[HKEY_CURRENT_USER\\A\\B]\n"
      "[HKEY_LOCAL_MACHINE\\a]\n\"V\"=dword:7\n\"GONE\"=-\n\"never\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\a\\b]\n\"ignored\"=\"after a deletion\"\n"
      "[HKEY_LOCAL_MACHINE\\Z\\Y\\X]\n";
  RegistrySnapshot snapshot;
  EXPECT_TRUE(ParseRegistryText(text, &snapshot).empty());

  const RegistryKey* a = FindRegistryKey(snapshot, kMachine, "A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 2u);
  EXPECT_EQ(a->values[0].second, (RegistryValue{kRegDword, Dword(7)}));
  // A key deletion takes its subkeys, not its namesakes with longer names.
  EXPECT_FALSE(RegistryKeyExistsIn(snapshot, kMachine, "A\\B\\C"));
  EXPECT_EQ(RegistrySubKeyNames(snapshot, kMachine, "a"), (Names{"B-x", "BC"}));
  // Importing a key creates its parents.
  EXPECT_EQ(RegistrySubKeyNames(snapshot, kMachine, ""), (Names{"A", "Z"}));
}

TEST(RegistryParser, EncodingsAndLineEnds) {
  const std::string body = "[HKEY_LOCAL_MACHINE\\K]\n\"Name\"=\"caf\xC3\xA9\"\n\"Bin\"=hex:0a,\\\n  0b\n";
  auto with_crlf = [](const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  const std::string v5 = "Windows Registry Editor Version 5.00\n\n" + body;
  for (const std::string& bytes : {"\xEF\xBB\xBF" + v5, Utf16File(with_crlf(v5))}) {
    RegistrySnapshot snapshot;
    EXPECT_TRUE(ParseRegistryText(bytes, &snapshot).empty());
    const RegistryValue* name = Lookup(snapshot, kMachine, "K", "name");
    const RegistryValue* bin = Lookup(snapshot, kMachine, "K", "Bin");
    ASSERT_TRUE(name != nullptr && bin != nullptr) << bytes;
    EXPECT_EQ(name->data, Sz("caf\xC3\xA9"));
    EXPECT_EQ(bin->data, (Bytes{0x0a, 0x0b}));
  }

  // hex(2) in a Version 5 file is UTF-16LE.
  RegistrySnapshot snapshot;
  ParseRegistryText(Utf16File("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
                              "\"E\"=hex(2):e9,00,3d,d8,00,de,00,d8,41\r\n"),
                    &snapshot);
  // U+00E9, U+1F600 from its surrogate pair, a lone surrogate, an odd byte.
  EXPECT_EQ(Lookup(snapshot, kMachine, "K", "E")->data, Sz("\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}

class RegistryFileTest : public test::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    setenv("QXSTORE_REGISTRY", Native("registry.reg").c_str(), 1);
  }

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
};

TEST_F(RegistryFileTest, FollowsTheFileAsItIsNow) {
  EXPECT_FALSE(Limit().has_value());
  // Same size, rewritten in place within the file system's time granularity.
  for (uint32_t limit = 1; limit <= 5; ++limit) {
    Put("registry.reg", WithLimit(limit));
    EXPECT_EQ(Limit(), limit);
  }

  Put("registry.reg", WithLimit(9) + "oops\r\n");
  EXPECT_EQ(Limit(), 9u);
  ASSERT_EQ(RegistryWarnings().size(), 1u);
  EXPECT_EQ(RegistryWarnings()[0].line, 4);

  std::filesystem::remove(Native("registry.reg"));
  EXPECT_FALSE(Limit().has_value());
}

TEST_F(RegistryFileTest, ReadersNeverSeeAMissingValueWhileTheFileIsReplaced) {
  Put("registry.reg", WithLimit(0));
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
    Put("registry.tmp", WithLimit(limit) + std::string(limit % 7, '\n'));
    std::filesystem::rename(Native("registry.tmp"), Native("registry.reg"));
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(bad_reads.load(), 0);
  EXPECT_EQ(Limit(), 300u);
}

}  // namespace
}  // namespace qx::platform
