// Building, reusing and reloading a folder index of N messages, each against
// a floor measured in the same run that makes only the unavoidable system
// calls and reads:
//  (a) a scan that builds the index of N new messages: the listing, a stat
//      of each file, each header block (the whole file for multipart/mixed
//      messages) and pugixml's save of the same index;
//  (b) a checked open that reuses an unchanged index: the block file taken
//      and removed, the change flag and index file looked up, one stat;
//  (c) a checked open that reloads an index another writer changed: (b)'s
//      calls and pugixml's parse of the same index.
// Prints the ratios; exits with 1 when one is above its target.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fastest_runs.h"
#include "index/index_open.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "platform/file.h"
#include "qxstore.h"
#include "scratch_store.h"

namespace {

constexpr int kSmall = 1000;
constexpr int kLarge = 20000;

std::string g_root;
// Counts stamp moves per folder across runs, so each open sees a stamp other
// than the one it holds.
std::map<std::string, int> g_stamp_rounds;

std::string FolderFor(int count) { return g_root + "/mail/PO/MAILROOT/bench/F" + std::to_string(count); }

std::string MessageText(int i) {
  std::string text;
  text += "Received: from mx" + std::to_string(i % 7) + ".example.org by store; Tue, 01 Mar 2011 1" +
          std::to_string(i % 10) + ":00:00 +0100\r\n";
  text += "From: Sender " + std::to_string(i) + " <sender" + std::to_string(i) + "@example.org>\r\n";
  text += "To: someone@example.org,\r\n\tother@example.org\r\n";
  if (i % 3 == 0) text += "CC: copy@example.org\r\n";
  text += "Subject: Re: the quarterly report, part " + std::to_string(i) + "\r\n";
  text += "Date: Tue, 01 Mar 2011 12:" + std::to_string(10 + i % 50) + ":00 +0100\r\n";
  text += "Message-ID: <" + std::to_string(i) + ".bench@example.org>\r\n";
  if (i % 5 == 0) text += "X-Priority: 1\r\n";
  if (i % 4 == 0) text += "X-Read: 1\r\n";
  if (i % 10 == 0) {
    text += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n";
    text += std::string(1500, 'm') + "\r\n--b\r\nContent-Disposition: attachment; filename=a.bin\r\n\r\n";
    text += std::string(3000, 'A') + "\r\n--b--\r\n";
  } else {
    text += "Content-Type: text/plain\r\n\r\n" + std::string(800 + (i * 37) % 3000, 'b') + "\r\n";
  }
  return text;
}

void MakeFolder(int count) {
  const std::string folder = FolderFor(count);
  std::filesystem::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/%032X.MAI", static_cast<unsigned>(i) * 2654435761u);
    const std::string text = MessageText(i);
    FILE* file = std::fopen((folder + name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}

// What the header reader cannot avoid reading: the header block, and the
// whole file when the message is multipart/mixed.
size_t ReadHeaderBlock(int directory, const char* name) {
  const int fd = ::openat(directory, name, O_RDONLY);
  if (fd < 0) return 0;
  char buffer[4096];
  std::string head;
  size_t total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    total += static_cast<size_t>(got);
    if (head.size() < 65536) head.append(buffer, static_cast<size_t>(got));
    const size_t end = head.find("\r\n\r\n");
    if (end != std::string::npos && head.substr(0, end).find("multipart/mixed") == std::string::npos) break;
  }
  ::close(fd);
  return total;
}

void FloorScan(benchmark::State& state) {
  const std::string folder = FolderFor(static_cast<int>(state.range(0)));
  pugi::xml_document index;
  index.load_file((folder + "/_index.xml").c_str());
  const std::string target = folder + "/floor.xml";
  for (auto _ : state) {
    DIR* dir = ::opendir(folder.c_str());
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      if (std::strstr(entry->d_name, ".MAI") != nullptr) names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    size_t bytes = 0;
    for (const std::string& name : names) {
      struct stat info;
      ::fstatat(::dirfd(dir), name.c_str(), &info, 0);
      bytes += ReadHeaderBlock(::dirfd(dir), name.c_str());
    }
    ::closedir(dir);
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(index.save_file(target.c_str(), "", pugi::format_raw | pugi::format_no_declaration));
  }
}

void StoreScan(benchmark::State& state) {
  const std::string folder = FolderFor(static_cast<int>(state.range(0)));
  const std::string index = folder + "/_index.xml";
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(index.c_str());
    state.ResumeTiming();
    benchmark::DoNotOptimize(qx::ScanFolders(folder.c_str(), false, false));
  }
}

// The calls a checked open cannot do without.
void CheckedOpenCalls(const std::string& folder) {
  const std::string block = folder + "/_index.blk";
  const int fd = ::open(block.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
  struct stat info;
  ::stat((folder + "/_CHANGE.DTY").c_str(), &info);
  ::stat((folder + "/_index.xml").c_str(), &info);
  ::close(fd);
  ::unlink(block.c_str());
  ::stat((folder + "/_index.xml").c_str(), &info);
}

StoreIndex* OpenedIndex(int count) {
  StoreIndex* index = qx::CreateStoreIndex();
  qx::CreateStoreIndexMutex(index);
  qx::SetStoreIndexNames(index, "PO", "bench", ("F" + std::to_string(count)).c_str());
  qx::SetStoreIndexPaths(index);
  qx::OpenStoreIndex(index, qx::kOpenCheckDirty);
  return index;
}

void FloorReuse(benchmark::State& state) {
  const std::string folder = FolderFor(static_cast<int>(state.range(0)));
  for (auto _ : state) CheckedOpenCalls(folder);
}

void StoreReuse(benchmark::State& state) {
  StoreIndex* index = OpenedIndex(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (qx::OpenStoreIndex(index, qx::kOpenCheckDirty) != qx::kOpenReused) state.SkipWithError("not reused");
  }
  qx::ReleaseStoreIndex(index);
  qx::DestroyStoreIndex(index);
}

// Another writer's save, as far as an open can see it: a new stamp.
void MoveIndexStamp(const std::string& folder) {
  const int round = ++g_stamp_rounds[folder];
  const uint64_t base = 131000000000000000ULL;
  qx::platform::SetFileTimes(folder + "/_index.xml",
                             qx::platform::FileTimes{0, 0, base + static_cast<uint64_t>(round % 2) * 40000000ULL});
}

void FloorReload(benchmark::State& state) {
  const std::string folder = FolderFor(static_cast<int>(state.range(0)));
  const std::string index = folder + "/_index.xml";
  for (auto _ : state) {
    state.PauseTiming();
    MoveIndexStamp(folder);
    state.ResumeTiming();
    CheckedOpenCalls(folder);
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(index.c_str()));
  }
}

void StoreReload(benchmark::State& state) {
  const std::string folder = FolderFor(static_cast<int>(state.range(0)));
  StoreIndex* index = OpenedIndex(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    MoveIndexStamp(folder);
    state.ResumeTiming();
    if (qx::OpenStoreIndex(index, qx::kOpenCheckDirty) != qx::kOpenLoaded) state.SkipWithError("not loaded");
  }
  qx::ReleaseStoreIndex(index);
  qx::DestroyStoreIndex(index);
}

BENCHMARK(FloorScan)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(StoreScan)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(FloorReuse)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(StoreReuse)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(FloorReload)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(StoreReload)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->Repetitions(3);

bool PrintRatio(const FastestRunReporter& reporter, const char* what, const char* store,
                const char* floor, int count, double limit) {
  const std::string suffix = "/" + std::to_string(count);
  const double store_time = reporter.Fastest(std::string(store) + suffix).real;
  const double floor_time = reporter.Fastest(std::string(floor) + suffix).real;
  const double ratio = floor_time > 0 ? store_time / floor_time : 0;
  std::printf("%s, %d messages: %.2f x floor (limit %.2f)%s\n", what, count, ratio, limit,
              ratio > limit ? "  OVER THE LIMIT" : "");
  return ratio <= limit;
}

}  // namespace

int main(int argc, char** argv) {
  g_root = StartScratchStore();
  MakeFolder(kSmall);
  MakeFolder(kLarge);
  qx::ScanFolders(FolderFor(kSmall).c_str(), false, false);
  qx::ScanFolders(FolderFor(kLarge).c_str(), false, false);

  benchmark::Initialize(&argc, argv);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = true;
  for (int count : {kSmall, kLarge}) {
    within &= PrintRatio(reporter, "(a) scan building the index", "StoreScan", "FloorScan", count, 1.5);
    within &= PrintRatio(reporter, "(b) checked open reusing the index", "StoreReuse", "FloorReuse", count, 2.0);
    within &= PrintRatio(reporter, "(c) checked open reloading a changed index", "StoreReload", "FloorReload",
                         count, 1.5);
  }
  benchmark::Shutdown();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return within ? 0 : 1;
}
