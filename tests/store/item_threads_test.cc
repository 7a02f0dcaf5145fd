// Many threads on the store-item interface at once, sharing index objects
// (affinity off): opening, walking, reading, writing, creating and deleting
// items in a few folders. Run under the sanitizers (make sanitize, make
// tsan) it checks the locking; on its own it checks that no change saved
// with Store_Save or StoreFolder_Save is lost. QXSTORE_STRESS_SECONDS sets
// how long it runs (2 seconds by default; 10 for a manual run).

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "index/index_registry.h"
#include "item_folder_fixture.h"

namespace qx {
namespace {

constexpr int kThreads = 8;
constexpr int kFolders = 4;
constexpr int kMessages = 24;

double StressSeconds() {
  const char* text = std::getenv("QXSTORE_STRESS_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : 0;
  return seconds > 0 ? seconds : 2.0;
}

std::string FolderName(int folder) { return "F" + std::to_string(folder); }

// What each thread last saved for the items it owns: item i of every folder
// belongs to thread i % kThreads, so no two threads write one item.
struct SavedFlags {
  std::mutex mutex;
  std::map<std::pair<int, std::string>, std::string> last;
};

class ItemThreadsTest : public test::ItemFolderTest {
 protected:
  // One thread's work until `deadline`.
  void Work(int thread, std::chrono::steady_clock::time_point deadline, SavedFlags* saved,
            std::atomic<int>* failures) {
    std::mt19937 random(static_cast<unsigned>(thread) * 7919u + 1);
    int round = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const int folder = static_cast<int>(random() % kFolders);
      if (StoreFolder_Open("PO", "MB", FolderName(folder).c_str(), 0, 1) == 0) {
        ++*failures;
        continue;
      }
      int walked = 0;
      for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) {
        const std::string id = Text("QX_ITEM_ID");
        if (id.empty() || (id[0] == 'M' && Text("PR_SUBJECT").rfind("Subject", 0) != 0)) {
          ++*failures;
        }
        Text("PR_QX_FLAGSTATUS");
        ++walked;
      }
      if (walked < kMessages) ++*failures;

      const int item = thread + kThreads * static_cast<int>(random() % (kMessages / kThreads));
      const std::string id = MessageName(item);
      const std::string flags = "\\T" + std::to_string(thread) + "R" + std::to_string(++round);
      if (StoreItem_SetProperty(id.c_str(), "PR_QX_FLAGSTATUS", flags.c_str()) != 1 ||
          Text("PR_QX_FLAGSTATUS") != flags) {
        ++*failures;
      }
      // Entries of this thread's own that come and go under the others' walks.
      const std::string scratch = "X" + std::to_string(thread) + ".MAI";
      StoreFolder_CreateItem(scratch.c_str());
      if (random() % 2 == 0) StoreFolder_DeleteItem(scratch.c_str());

      if (random() % 2 == 0) {
        Store_Save(0);
      } else {
        StoreFolder_Save(0);
      }
      {
        std::lock_guard<std::mutex> lock(saved->mutex);
        saved->last[{folder, id}] = flags;
      }
      StoreFolder_Close();
    }
    StoreFolder_FindClose();
  }
};

TEST_F(ItemThreadsTest, ThreadsSharingFoldersLoseNoSavedChange) {
  for (int folder = 0; folder < kFolders; ++folder) MakeMailFolder(FolderName(folder), kMessages);
  StoreLibrary_SetAffinity(0);
  SavedFlags saved;
  std::atomic<int> failures{0};
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(StressSeconds() * 1000));
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] { Work(thread, deadline, &saved, &failures); });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(OpenIndexCount(), 0u);
  ASSERT_GT(saved.last.size(), static_cast<size_t>(kFolders));
  for (const auto& [where, flags] : saved.last) {
    pugi::xml_document index;
    ASSERT_TRUE(index.load_file((FolderDir(FolderName(where.first)) + "/_index.xml").c_str()));
    const pugi::xml_node entry =
        index.child("BASEELEMENT").find_child_by_attribute("ELEMENT", "ID", where.second.c_str());
    EXPECT_STREQ(entry.child("FLAGSTATUS").text().get(), flags.c_str())
        << FolderName(where.first) << "/" << where.second;
  }
}

}  // namespace
}  // namespace qx
