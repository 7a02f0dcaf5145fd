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
    InstallSiblingLibrary("libqxaiso.so");
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
  std::string Option(const char* postoffice, const char* name) {
    char out[kOptionValueSize];
    return GetPostofficeOption(postoffice, name, out, sizeof out) == 1 ? out : "<none>";
  }

  std::string options_;
};

TEST_F(OptionProviderTest, LoadsOnceFromApplicationDirectoryAndAnswersFromTheFileAsEditedNow) {
  registry().SetString(kLibraryRootKey, "Application Directory", "C:\\Server");
  registry().Save();
  EXPECT_EQ(OptionProviderPath(), "C:\\Server64\\QXAISO.DLL");
  EXPECT_EQ(LoadOptionProvider(), nullptr);
  registry().SetString(kLibraryRootKey, "Application Directory", root() + "/app");
  registry().Save();
  const OptionProvider* loaded = LoadOptionProvider();
  ASSERT_NE(loaded, nullptr);
  // Loaded for the life of the process.
  EXPECT_EQ(LoadOptionProvider(), loaded);

  WriteFile(options_,
            "; administrator's notes\r\n[postoffice  Main ]\r\n  PostofficeRoot = /srv/main  \r\n"
            "Other=1\r\n[Postoffice Second]\nPostofficeRoot=/srv/second\n");
  EXPECT_EQ(Option("MAIN", "postofficeroot"), "/srv/main");
  EXPECT_EQ(Option("Third", "PostofficeRoot"), "<none>");
  char exact[kOptionValueSize] = "untouched";
  EXPECT_EQ(loaded->get_option_ex(1, "Main", "PostofficeRoot", exact, 9), 0);  // 9 + NUL
  EXPECT_STREQ(exact, "untouched");
  EXPECT_NE(loaded->get_option_ex(1, "Main", "PostofficeRoot", exact, 10), 0);
  EXPECT_STREQ(exact, "/srv/main");
  EXPECT_EQ(loaded->get_option(2, "Main", "PostofficeRoot", exact), 0);  // only scope 1

  // Without the variable the file beside the plugin is read.
  unsetenv("QXSTORE_OPTIONS");
  WriteFile(root() + "/app64/options.ini", "[Postoffice Main]\nPostofficeRoot=/beside\n");
  EXPECT_EQ(Option("Main", "PostofficeRoot"), "/beside");
}

TEST_F(OptionProviderTest, NothingIsLoadedFromARelativeApplicationDirectory) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(root().c_str()), 0);  // where "app64/libqxaiso.so" lies
  for (const char* relative : {"app", ""}) {
    registry().SetString(kLibraryRootKey, "Application Directory", relative);
    registry().Save();
    if (*relative == '\0') {
      ASSERT_EQ(symlink("app64", "64"), 0);  // "64\QXAISO.DLL"
    }
    EXPECT_EQ(LoadOptionProvider(), nullptr) << relative;
  }
  ASSERT_EQ(chdir(previous), 0);
}

TEST_F(OptionProviderTest, SetOptionRewritesTheFileKeepingOtherLines) {
  const OptionProvider& provider = Provider();
  ASSERT_NE(provider.set_option, nullptr);
  WriteFile(options_, "# kept\n[Postoffice Main]\nPOSTOFFICEROOT=/old\n\nQuota=5\n\n[Postoffice B]\nX=1");
  EXPECT_NE(provider.set_option(1, "main", "PostofficeRoot", "/new"), 0);
  EXPECT_NE(provider.set_option(1, "Main", "Limit", "7"), 0);
  EXPECT_NE(provider.set_option(1, "B", "Y", "2"), 0);
  EXPECT_NE(provider.set_option(1, "C", "Z", "3"), 0);
  EXPECT_EQ(ReadFile(options_),
            "# kept\n[Postoffice Main]\nPostofficeRoot=/new\n\nQuota=5\nLimit=7\n\n"
            "[Postoffice B]\nX=1\nY=2\n\n[Postoffice C]\nZ=3\n");
  // An empty value removes the option.
  EXPECT_NE(provider.set_option(1, "Main", "Quota", ""), 0);

  // Input that would break the file is refused and changes nothing.
  const std::string before = ReadFile(options_);
  EXPECT_EQ(provider.set_option(1, "Main", "Limit", "8\n[Postoffice Evil]"), 0);
  EXPECT_EQ(provider.set_option(1, "Ma]in", "Limit", "8"), 0);
  EXPECT_EQ(provider.set_option(1, "Main", "Li=mit", "8"), 0);
  EXPECT_EQ(ReadFile(options_), before);
}

TEST_F(OptionProviderTest, WritersInSeveralProcessesLoseNoUpdate) {
  ASSERT_NE(Provider().set_option, nullptr);
  constexpr int kWriters = 4;
  constexpr int kOptionsEach = 25;
  auto name = [](int writer, int i) { return "Option" + std::to_string(writer) + "_" + std::to_string(i); };
  pid_t children[kWriters];
  for (int writer = 0; writer < kWriters; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      const OptionProvider* provider = LoadOptionProvider();
      int failures = provider == nullptr;
      for (int i = 0; provider != nullptr && i < kOptionsEach; ++i) {
        failures += provider->set_option(1, "Shared", name(writer, i).c_str(), "set") == 0;
      }
      _exit(failures);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kOptionsEach; ++i) EXPECT_EQ(Option("Shared", name(writer, i).c_str()), "set");
  }
}

}  // namespace
}  // namespace qx
