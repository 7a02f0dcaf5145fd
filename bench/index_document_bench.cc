// Loading and saving a 20,000-entry folder index, against pugixml's own
// parse and save of the same bytes in the same run (the save through a
// temporary, with the syncs, when the store syncs index saves). Prints the
// ratios and exits with 1 when one is above 1.2.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "durable_floor.h"
#include "fastest_runs.h"
#include "sample_index.h"
#include "index/index_document.h"
#include "index/index_entry.h"
#include "message/message_headers.h"

namespace {

constexpr int kEntries = 20000;
constexpr double kLimit = 1.2;

std::string g_directory;
std::string g_index_path;

std::string MakeIndexFile() {
  char pattern[] = "/tmp/qxstore-bench-XXXXXX";
  g_directory = mkdtemp(pattern);
  qx::XmlDocument document = MakeSampleIndex(kEntries);
  g_index_path = g_directory + "/_index.xml";
  qx::SaveDocumentFile(document, g_index_path);
  return g_index_path;
}

void FloorPugiLoad(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(g_index_path.c_str()));
  }
}

void StoreLoad(benchmark::State& state) {
  for (auto _ : state) {
    qx::XmlDocument document = qx::XmlDocument::New();
    benchmark::DoNotOptimize(qx::LoadDocumentFile(document, g_index_path));
  }
}

void FloorPugiSave(benchmark::State& state) {
  pugi::xml_document document;
  document.load_file(g_index_path.c_str());
  const std::string target = g_directory + "/floor.xml";
  const std::string temporary = target + ".tmp";
  const bool durable = StoreSyncsIndexes();
  const int directory_fd = ::open(g_directory.c_str(), O_RDONLY | O_DIRECTORY);
  for (auto _ : state) {
    if (durable) {
      benchmark::DoNotOptimize(SaveDurably(document, temporary, target, directory_fd));
    } else {
      benchmark::DoNotOptimize(document.save_file(target.c_str(), "", qx::kXmlSaveFormat, pugi::encoding_utf8));
    }
  }
  ::close(directory_fd);
}

void StoreSave(benchmark::State& state) {
  qx::XmlDocument document = qx::XmlDocument::New();
  qx::LoadDocumentFile(document, g_index_path);
  const std::string target = g_directory + "/store.xml";
  for (auto _ : state) benchmark::DoNotOptimize(qx::SaveDocumentFile(document, target));
}

BENCHMARK(FloorPugiLoad)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreLoad)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FloorPugiSave)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreSave)->Unit(benchmark::kMillisecond)->Repetitions(5);

bool PrintRatio(const char* what, double store, double floor) {
  double ratio = floor > 0 ? store / floor : 0;
  std::printf("%s of %d entries: %.2f x pugixml alone (limit %.2f)%s\n", what, kEntries, ratio, kLimit,
              ratio > kLimit ? "  OVER THE LIMIT" : "");
  return ratio <= kLimit;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MakeIndexFile();
  std::printf("index file: %jd bytes\n", static_cast<intmax_t>(std::filesystem::file_size(g_index_path)));
  std::printf("Store Fsync: %s\n", StoreFsyncName());
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = PrintRatio("load", reporter.Fastest("StoreLoad").real, reporter.Fastest("FloorPugiLoad").real);
  within = PrintRatio("save", reporter.Fastest("StoreSave").real, reporter.Fastest("FloorPugiSave").real) && within;
  std::filesystem::remove_all(g_directory);
  return within ? 0 : 1;
}
