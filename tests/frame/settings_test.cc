#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/registry_readers.h"
#include "frame/settings.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kRoot = test::kLibraryRootKey;
const std::string kMapi = kRoot + "\\Services\\MAPI";

class SettingsTest : public test::StoreTest {};

TEST_F(SettingsTest, MailRootPrecedence) {
  registry().SetString(kMapi, "Mail Root Directory", "D:\\Mapi\\Root");
  registry().SetString(kRoot, "Mail Root", "E:\\Mail");
  registry().SetString(kRoot, "Data Directory", "F:\\Data");
  // Each step removes the value that won, so the next one falls back further.
  const struct {
    std::string key;
    const char* name;
    const char* mail_root;
  } steps[] = {{kMapi, "Mail Root Directory", "D:\\Mapi\\Root"},
               {kRoot, "Mail Root", "E:\\Mail"},
               {kRoot, "Data Directory", "F:\\Data\\POSTOFFICES"},
               {kRoot, "", "\\POSTOFFICES"}};
  for (const auto& step : steps) {
    ReloadLibrary();
    EXPECT_STREQ(Settings().mail_root, step.mail_root);
    EXPECT_STREQ(Settings().block_base, step.mail_root);
    registry().Remove(step.key, step.name);
  }
}

TEST_F(SettingsTest, RegistryReadersCutOrFailByTheBufferSize) {
  const char* key = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera";
  registry().SetString(kRoot, "Name", "abcdef");
  registry().SetString(kRoot, "Empty", "");
  registry().SetDword(kRoot, "Number", 0x12345678);
  registry().Save();

  char buffer[8];
  // Six characters and a NUL fit into size + 1 = 7 bytes but are cut to 5.
  EXPECT_EQ(ReadRegistryString(key, "Name", buffer, 6), 1u);
  EXPECT_STREQ(buffer, "abcde");
  // Longer than size + 1 bytes: the read fails and the buffer is emptied.
  EXPECT_EQ(ReadRegistryString(key, "Name", buffer, 5), 0u);
  EXPECT_STREQ(buffer, "");
  // An empty string still carries its NUL, so it reads as an empty success.
  EXPECT_EQ(ReadRegistryString(key, "Empty", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "");

  uint32_t number = 77;
  EXPECT_EQ(ReadRegistryDword(key, "Missing", &number), 0u);
  EXPECT_EQ(number, 77u);
  EXPECT_EQ(ReadRegistryDword(key, "Number", &number), 1u);
  EXPECT_EQ(number, 0x12345678u);
}

}  // namespace
}  // namespace qx
