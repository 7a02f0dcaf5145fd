// The listing a rebuild of a folder of 20,000 messages starts with ("*.MAI",
// names and types only, in listing order; a few names without the others'
// leading zeros, as a folder delivered to by other programs has), against a
// floor measured in the same run: reading the same directory with readdir,
// keeping the names that end in ".MAI" and sorting them byte by byte. The
// listing must stay within 1.2 times that: it does the same reading and a
// sort without regard to case, and its names cost no allocation each.

#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fastest_runs.h"
#include "floor_ratio.h"
#include "platform/listing.h"
#include "scratch_store.h"

namespace {

constexpr int kMessages = 20000;
constexpr int kOtherNames = 16;

std::string g_folder;

void MakeFolder() {
  std::filesystem::create_directories(g_folder);
  for (int i = 0; i < kMessages; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/%032X.MAI", static_cast<unsigned>(i) * 2654435761u);
    std::fclose(std::fopen((g_folder + name).c_str(), "wb"));
  }
  for (int i = 0; i < kOtherNames; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/%08X%08X%08X%08X.MAI", 0x10000000u + i * 40503u, i * 2654435761u,
                  i * 40503u, i);
    std::fclose(std::fopen((g_folder + name).c_str(), "wb"));
  }
  for (const char* other : {"/_index.xml", "/_FOLDER.DAT", "/_DIRSIZE.TMP"}) {
    std::fclose(std::fopen((g_folder + other).c_str(), "wb"));
  }
}

void FloorListing(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR* dir = opendir(g_folder.c_str());
    while (const dirent* entry = readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name.ends_with(".MAI")) names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.size() != kMessages + kOtherNames) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(names.data());
  }
}

void StoreListing(benchmark::State& state) {
  for (auto _ : state) {
    size_t count = 0;
    for (qx::platform::Listing listing =
             qx::platform::Listing::Open(g_folder + "/*.MAI", qx::platform::ListingScope::kStoreEntries,
                                         qx::platform::ListingDetail::kNamesAndTypes);
         listing.valid(); listing.Next()) {
      benchmark::DoNotOptimize(listing.current().name.data());
      ++count;
    }
    if (count != kMessages + kOtherNames) state.SkipWithError("wrong count");
  }
}

BENCHMARK(FloorListing)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreListing)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  const std::string root = StartScratchStore();
  g_folder = root + "/mail/PO/MAILROOT/bench/INBOX";
  MakeFolder();
  benchmark::Initialize(&argc, argv);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const bool within =
      PrintFloorRatio(reporter, "listing of 20,000 message names", "StoreListing", "FloorListing", 1.2);
  benchmark::Shutdown();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(root);
  return within ? 0 : 1;
}
