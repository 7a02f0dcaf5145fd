#include "platform/library_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errors.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class LibraryLoaderTest : public test::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    MakeDirs("Plugins64");
    std::filesystem::copy_file(std::string(QX_SAMPLE_LIBRARY_DIR) + "/libqxsample.so",
                               Native("Plugins64/libqxsample.so"));
  }

  static int AnswerOf(LibraryHandle library) {
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(library, "QxSampleAnswer"));
    return answer == nullptr ? -1 : answer();
  }
};

TEST_F(LibraryLoaderTest, MapsNamesOfTheOriginalSystem) {
  EXPECT_EQ(SharedObjectPathFor("QXAINFY.DLL"), "libqxainfy.so");
  // The directory is found without regard to case; the file name is mapped.
  EXPECT_EQ(SharedObjectPathFor(Store("PLUGINS64\\QXAISO.DLL")), Native("Plugins64/libqxaiso.so"));
}

TEST_F(LibraryLoaderTest, LoadsByPathByPlainNameAndReportsWhatIsMissing) {
  LibraryHandle by_path = LoadLibrary(Store("plugins64\\QXSAMPLE.DLL"));
  ASSERT_NE(by_path, nullptr);
  EXPECT_EQ(AnswerOf(by_path), 42);
  EXPECT_EQ(GetProcAddress(by_path, "NoSuchEntry"), nullptr);
  FreeLibrary(by_path);

  // Not on the loader's search path: found beside the module that holds the
  // library code (here the test program, which links it statically).
  LibraryHandle by_name = LoadLibrary("QXSAMPLE.DLL");
  ASSERT_NE(by_name, nullptr);
  EXPECT_EQ(AnswerOf(by_name), 42);
  FreeLibrary(by_name);

  EXPECT_EQ(LoadLibrary(Store("QXSAMPLE.DLL")), nullptr);
  EXPECT_EQ(GetLastError(), 126u);
  EXPECT_EQ(LoadLibrary(""), nullptr);
}

// In a process that loads libqxstore.so, plain names are looked for beside
// the module the store named at its start, not beside the program.
TEST_F(LibraryLoaderTest, PlainNamesAreLookedForBesideTheStoresModule) {
  std::filesystem::copy_file(Native("Plugins64/libqxsample.so"), Native("Plugins64/libqxother.so"));
  EXPECT_EQ(LoadLibrary("QXOTHER.DLL"), nullptr);
  LibraryHandle module = LoadLibrary(Store("Plugins64\\QXSAMPLE.DLL"));
  ASSERT_NE(module, nullptr);
  SetStoreModule(GetProcAddress(module, "QxSampleAnswer"));
  LibraryHandle other = LoadLibrary("QXOTHER.DLL");
  EXPECT_EQ(AnswerOf(other), 42);
  SetStoreModule(nullptr);
  FreeLibrary(other);
  FreeLibrary(module);
}

}  // namespace
}  // namespace qx::platform
