// The whole-mailbox size of a mailbox of 20,000 messages in 20 folders from
// a cold cache (the cache file removed before each query), against a plain
// directory walk (readdir and fstatat of every entry) over the same tree
// measured in the same run. Prints the ratio.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "qxstore.h"
#include "scratch_store.h"

namespace {

constexpr int kMessages = 20000;
constexpr int kFolders = 20;

std::string g_root;
double g_size_ns = 0;
double g_walk_ns = 0;

std::string MailboxDir() { return g_root + "/mail/PO/MAILROOT/bench"; }

void MakeMailbox() {
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string directory = MailboxDir() + "/F" + std::to_string(folder);
    std::filesystem::create_directories(directory);
    for (int i = folder; i < kMessages; i += kFolders) {
      char name[64];
      std::snprintf(name, sizeof name, "/%032X.MAI", static_cast<unsigned>(i) * 2654435761u);
      FILE* file = std::fopen((directory + name).c_str(), "wb");
      const std::string body(500 + (i * 37) % 4000, 'b');
      std::fwrite(body.data(), 1, body.size(), file);
      std::fclose(file);
    }
  }
}

uint64_t PlainWalk(const std::string& directory) {
  uint64_t total = 0;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.' || entry->d_name[0] == '_') continue;
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      total += PlainWalk(directory + "/" + entry->d_name);
    } else {
      total += static_cast<uint64_t>(st.st_size);
    }
  }
  closedir(dir);
  return total;
}

void BM_WholeMailboxSizeCold(benchmark::State& state) {
  MAILBOXSIZE record;
  for (auto _ : state) {
    unlink((MailboxDir() + "/_DIRSIZE.TMP").c_str());
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.postoffice, "PO");
    std::strcpy(record.mailbox, "bench");
    record.enabled = 1;
    if (GetMailboxSize(&record) != 1) state.SkipWithError("no size");
    benchmark::DoNotOptimize(record.size_kb);
  }
}

void BM_PlainDirectoryWalk(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(PlainWalk(MailboxDir()));
}

BENCHMARK(BM_WholeMailboxSizeCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainDirectoryWalk)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const double ns = run.GetAdjustedRealTime();
      if (run.benchmark_name().find("WholeMailboxSizeCold") != std::string::npos) g_size_ns = ns;
      if (run.benchmark_name().find("PlainDirectoryWalk") != std::string::npos) g_walk_ns = ns;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  g_root = StartScratchStore(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\CONNECTORS\\SF]\r\n"
      "\"Quota Enumeration Mode\"=dword:00000001\r\n");
  MakeMailbox();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (g_walk_ns > 0) {
    std::printf("whole-mailbox size, cold cache / plain directory walk: %.2f\n",
                g_size_ns / g_walk_ns);
  }
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return 0;
}
