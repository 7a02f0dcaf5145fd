#include "frame/option_provider.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>

#include "../../plugins/options/qxaiso.h"
#include "support/test_store.h"

namespace qx {
namespace {

static_assert(std::is_same_v<decltype(&::GetOption), GetOptionEntry>);
static_assert(std::is_same_v<decltype(&::GetOption_Ex), GetOptionExEntry>);
static_assert(std::is_same_v<decltype(&::SetOption), SetOptionEntry>);

using test::kLibraryRootKey;

// The real plugin, reachable as "<root>/app64/libqxaiso.so" with
// "Application Directory" set to "<root>/app".
class OptionProviderTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    plugin_directory_ = root() + "/app64";
    MakeDirs(plugin_directory_);
    std::string plugin = std::string(QX_BINARY_DIR) + "/libqxaiso.so";
    ASSERT_TRUE(Exists(plugin)) << "build the plugin_options target";
    ASSERT_EQ(symlink(plugin.c_str(), (plugin_directory_ + "/libqxaiso.so").c_str()), 0);
    registry().SetString(kLibraryRootKey, "Application Directory", root() + "/app");
    registry().Save();
    options_ = root() + "/options.ini";
    setenv("QXSTORE_OPTIONS", options_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QXSTORE_OPTIONS");
    StoreTest::TearDown();
  }

  const OptionProvider& Provider() {
    const OptionProvider* provider = LoadOptionProvider();
    EXPECT_NE(provider, nullptr);
    static OptionProvider none;
    return provider != nullptr ? *provider : none;
  }

  std::string plugin_directory_;
  std::string options_;
};

TEST_F(OptionProviderTest, LoadsFromApplicationDirectoryOnceAndRetriesAfterFailure) {
  registry().SetString(kLibraryRootKey, "Application Directory", "C:\\Server");
  registry().Save();
  EXPECT_EQ(OptionProviderPath(), "C:\\Server64\\QXAISO.DLL");
  EXPECT_EQ(LoadOptionProvider(), nullptr);

  registry().SetString(kLibraryRootKey, "Application Directory", root() + "/app");
  registry().Save();
  const OptionProvider* loaded = LoadOptionProvider();
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded->get_option, nullptr);
  EXPECT_NE(loaded->get_option_ex, nullptr);
  EXPECT_NE(loaded->set_option, nullptr);

  // Loaded for the life of the process: the setting is not read again.
  registry().SetString(kLibraryRootKey, "Application Directory", "C:\\Server");
  registry().Save();
  EXPECT_EQ(LoadOptionProvider(), loaded);
}

TEST_F(OptionProviderTest, AnswersFromTheOptionsFileAsEditedNow) {
  WriteFile(options_,
            "; administrator's notes\r\n"
            "[postoffice  Main ]\r\n"
            "  PostofficeRoot = /srv/main  \r\n"
            "Other=1\r\n"
            "[Postoffice Second]\n"
            "PostofficeRoot=/srv/second\n");
  char out[kOptionValueSize];
  EXPECT_EQ(GetPostofficeOption("MAIN", "postofficeroot", out, sizeof out), 1u);
  EXPECT_STREQ(out, "/srv/main");
  EXPECT_EQ(GetPostofficeOption("Second", "PostofficeRoot", out, sizeof out), 1u);
  EXPECT_STREQ(out, "/srv/second");
  EXPECT_EQ(GetPostofficeOption("Third", "PostofficeRoot", out, sizeof out), 0u);
  EXPECT_STREQ(out, "");
  // A cut answer is still an answer to the caller that asked with a small buffer.
  char small[5];
  EXPECT_EQ(GetPostofficeOption("Second", "PostofficeRoot", small, sizeof small), 1u);
  EXPECT_STREQ(small, "/srv");

  const OptionProvider& provider = Provider();
  char exact[16];
  std::strcpy(exact, "untouched");
  EXPECT_EQ(provider.get_option_ex(1, "Main", "PostofficeRoot", exact, 9), 0);  // 9 + NUL
  EXPECT_STREQ(exact, "untouched");
  EXPECT_NE(provider.get_option_ex(1, "Main", "PostofficeRoot", exact, 10), 0);
  EXPECT_STREQ(exact, "/srv/main");
  EXPECT_EQ(provider.get_option(2, "Main", "PostofficeRoot", out), 0);  // only scope 1
  EXPECT_EQ(provider.get_option(1, nullptr, "PostofficeRoot", out), 0);
  EXPECT_EQ(provider.get_option_ex(1, "Main", "PostofficeRoot", out, 0), 0);

  WriteFile(options_, "[Postoffice Main]\nPostofficeRoot=/srv/moved\n");
  EXPECT_EQ(GetPostofficeOption("Main", "PostofficeRoot", out, sizeof out), 1u);
  EXPECT_STREQ(out, "/srv/moved");
  std::string too_long(1024, 'v');
  WriteFile(options_, "[Postoffice Main]\nPostofficeRoot=" + too_long + "\n");
  EXPECT_EQ(provider.get_option(1, "Main", "PostofficeRoot", out), 0);
}

TEST_F(OptionProviderTest, SetOptionRewritesTheFileKeepingOtherLines) {
  const OptionProvider& provider = Provider();
  ASSERT_NE(provider.set_option, nullptr);
  EXPECT_NE(provider.set_option(1, "Main", "PostofficeRoot", "/srv/main"), 0);
  EXPECT_EQ(ReadFile(options_), "[Postoffice Main]\nPostofficeRoot=/srv/main\n");

  WriteFile(options_,
            "# kept\n[Postoffice Main]\nPOSTOFFICEROOT=/old\n\nQuota=5\n\n[Postoffice B]\nX=1");
  EXPECT_NE(provider.set_option(1, "main", "PostofficeRoot", "/new"), 0);
  EXPECT_NE(provider.set_option(1, "Main", "Limit", "7"), 0);
  EXPECT_NE(provider.set_option(1, "B", "Y", "2"), 0);
  EXPECT_NE(provider.set_option(1, "C", "Z", "3"), 0);
  EXPECT_EQ(ReadFile(options_),
            "# kept\n[Postoffice Main]\nPostofficeRoot=/new\n\nQuota=5\nLimit=7\n\n"
            "[Postoffice B]\nX=1\nY=2\n\n[Postoffice C]\nZ=3\n");

  // An empty value removes the option.
  EXPECT_NE(provider.set_option(1, "Main", "Quota", ""), 0);
  char out[kOptionValueSize];
  EXPECT_EQ(GetPostofficeOption("Main", "Quota", out, sizeof out), 0u);
  EXPECT_EQ(GetPostofficeOption("Main", "Limit", out, sizeof out), 1u);

  // Input that would break the file is refused and changes nothing.
  std::string before = ReadFile(options_);
  EXPECT_EQ(provider.set_option(1, "Main", "Limit", "8\n[Postoffice Evil]"), 0);
  EXPECT_EQ(provider.set_option(1, "Ma]in", "Limit", "8"), 0);
  EXPECT_EQ(provider.set_option(1, "Main", "Li=mit", "8"), 0);
  EXPECT_EQ(provider.set_option(1, "Main", "", "8"), 0);
  EXPECT_EQ(provider.set_option(3, "Main", "Limit", "8"), 0);
  EXPECT_EQ(ReadFile(options_), before);

  // No temporary file is left beside the options file.
  for (const auto& entry : std::filesystem::directory_iterator(root())) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("options.ini.", 0) != 0 || name == "options.ini.lock") << name;
  }
}

TEST_F(OptionProviderTest, WritersInSeveralProcessesLoseNoUpdate) {
  ASSERT_NE(Provider().set_option, nullptr);
  constexpr int kWriters = 4;
  constexpr int kOptionsEach = 25;
  pid_t children[kWriters];
  for (int writer = 0; writer < kWriters; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      const OptionProvider* provider = LoadOptionProvider();
      int failures = provider == nullptr;
      for (int i = 0; provider != nullptr && i < kOptionsEach; ++i) {
        std::string name = "Option" + std::to_string(writer) + "_" + std::to_string(i);
        failures += provider->set_option(1, "Shared", name.c_str(), "set") == 0;
      }
      _exit(failures);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  char out[kOptionValueSize];
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kOptionsEach; ++i) {
      std::string name = "Option" + std::to_string(writer) + "_" + std::to_string(i);
      EXPECT_EQ(GetPostofficeOption("Shared", name.c_str(), out, sizeof out), 1u) << name;
    }
  }
}

TEST_F(OptionProviderTest, WithoutTheVariableTheFileBesideThePluginIsUsed) {
  unsetenv("QXSTORE_OPTIONS");
  WriteFile(plugin_directory_ + "/options.ini", "[Postoffice Main]\nPostofficeRoot=/beside\n");
  char out[kOptionValueSize];
  EXPECT_EQ(GetPostofficeOption("Main", "PostofficeRoot", out, sizeof out), 1u);
  EXPECT_STREQ(out, "/beside");
}

}  // namespace
}  // namespace qx
