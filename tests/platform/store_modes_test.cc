#include "platform/store_modes.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "platform/durable_replace.h"
#include "platform/file.h"
#include "support/test_store.h"

namespace qx {
namespace {

using platform::Access;
using platform::Disposition;

// Sets the process's umask for one scope.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(saved_); }

 private:
  mode_t saved_;
};

class StoreModesTest : public test::StoreTest {
 protected:
  std::string Path(const std::string& name) const { return root() + "/files/" + name; }

  static mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  }

  static time_t ModifiedAt(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mtime;
  }

  // An outside file of the given mode, last written in 2001.
  void Source(const std::string& name, mode_t mode) {
    WriteFile(Path(name), "From: a@example.org\r\n\r\nbody\r\n");
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path(name).c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(Path(name).c_str(), mode), 0);
  }

  // Creates one of each through the layer and checks its mode.
  void ExpectCreatedModes(mode_t file_mode, mode_t directory_mode, const std::string& tag) {
    SCOPED_TRACE(tag);
    ASSERT_TRUE(
        platform::File::Open(Path(tag + ".MAI"), Access::kWrite, Disposition::kCreateNew).valid());
    EXPECT_EQ(ModeOf(Path(tag + ".MAI")), file_mode);
    ASSERT_TRUE(platform::CreateDirectory(Path(tag + "-folder")));
    EXPECT_EQ(ModeOf(Path(tag + "-folder")), directory_mode);
    ASSERT_TRUE(
        platform::DurablyReplaceFile(Path(tag + ".xml"), "", "<x/>", platform::FileKind::kIndex));
    EXPECT_EQ(ModeOf(Path(tag + ".xml")), file_mode);
  }
};

TEST_F(StoreModesTest, NewFilesAndDirectoriesGetTheStoresModesWhateverTheUmask) {
  MakeDirs(Path(""));
  for (const mode_t mask : {mode_t{0}, mode_t{022}}) {
    ScopedUmask umask(mask);
    const std::string round = "umask" + std::to_string(mask);
    registry().Remove(test::kLibraryRootKey, "Store File Mode");
    registry().Remove(test::kLibraryRootKey, "Store Directory Mode");
    ReloadLibrary();
    ExpectCreatedModes(0600, 0700, round + "-default");

    // A store shared with its group: text for one, a DWORD for the other.
    registry().SetString(test::kLibraryRootKey, "Store File Mode", "0660");
    registry().SetDword(test::kLibraryRootKey, "Store Directory Mode", 02770);
    ReloadLibrary();
    ExpectCreatedModes(0660, 02770, round + "-group");
  }
}

// The modes are read when the library starts; a value that would lock the
// store out of its own files, or is no mode at all, leaves the default.
TEST_F(StoreModesTest, ValuesAreReadAtStartAndUnusableOnesIgnored) {
  MakeDirs(Path(""));
  registry().SetString(test::kLibraryRootKey, "Store File Mode", "640");
  ReloadLibrary();
  registry().SetString(test::kLibraryRootKey, "Store File Mode", "0666");
  registry().Save();
  EXPECT_EQ(platform::StoreFileMode(), 0640u);
  EXPECT_EQ(platform::ReadStoreFileMode().mode, 0666u);

  const struct {
    const char* text;
    bool is_dword;
    uint32_t dword;
    const char* shown;
  } refused_files[] = {
      {"0444", false, 0, "0444"},            // the owner could not write
      {"rw-------", false, 0, "rw-------"},  // not octal
      {"04600", false, 0, "04600"},          // set-user-ID on mail
      {nullptr, true, 0x640, "03100"},       // hexadecimal digits meant as octal
  };
  for (const auto& refused : refused_files) {
    SCOPED_TRACE(refused.shown);
    if (refused.is_dword) {
      registry().SetDword(test::kLibraryRootKey, "Store File Mode", refused.dword);
    } else {
      registry().SetString(test::kLibraryRootKey, "Store File Mode", refused.text);
    }
    ReloadLibrary();
    const platform::StoreModeSetting setting = platform::ReadStoreFileMode();
    EXPECT_FALSE(setting.from_registry);
    EXPECT_EQ(setting.ignored, refused.shown);
    EXPECT_EQ(platform::StoreFileMode(), 0600u);
  }

  registry().SetString(test::kLibraryRootKey, "Store Directory Mode", "0600");
  ReloadLibrary();
  EXPECT_EQ(platform::ReadStoreDirectoryMode().ignored, "0600");
  EXPECT_EQ(platform::StoreDirectoryMode(), 0700u);
}

// A copy carries the read-only attribute (as the store's mode less its
// write bits) and the time; a durable copy into a folder carries neither
// the mode nor, when asked, the time.
TEST_F(StoreModesTest, CopiesTakeTheStoresModeNotTheSources) {
  ScopedUmask umask(0);
  Source("world-readable.eml", 0644);
  Source("read-only.eml", 0444);

  ASSERT_TRUE(platform::CopyFile(Path("world-readable.eml"), Path("a.MAI"), true));
  EXPECT_EQ(ModeOf(Path("a.MAI")), 0600u);
  ASSERT_TRUE(platform::CopyFile(Path("read-only.eml"), Path("b.MAI"), true));
  EXPECT_EQ(ModeOf(Path("b.MAI")), 0400u);
  EXPECT_EQ(ModifiedAt(Path("b.MAI")), 1000000000);

  const time_t before = std::time(nullptr);
  ASSERT_TRUE(platform::DurablyCopyFile(Path("read-only.eml"), Path("c.MAI"),
                                        platform::FileKind::kMessage, platform::TargetName::kNewUnique,
                                        platform::CopiedTime::kNow));
  EXPECT_EQ(ModeOf(Path("c.MAI")), 0600u);
  EXPECT_GE(ModifiedAt(Path("c.MAI")), before);
  EXPECT_EQ(ReadFile(Path("c.MAI")), ReadFile(Path("read-only.eml")));
  EXPECT_FALSE(platform::DurablyCopyFile(Path("world-readable.eml"), Path("c.MAI"),
                                         platform::FileKind::kMessage, platform::TargetName::kNewUnique));
  ASSERT_TRUE(platform::DurablyCopyFile(Path("world-readable.eml"), Path("d.MAI"),
                                        platform::FileKind::kMessage, platform::TargetName::kNewUnique));
  EXPECT_EQ(ModeOf(Path("d.MAI")), 0600u);
  EXPECT_EQ(ModifiedAt(Path("d.MAI")), 1000000000);
}

}  // namespace
}  // namespace qx
