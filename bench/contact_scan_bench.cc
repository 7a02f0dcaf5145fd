// Scanning a contact folder of 5,000 vCard files, each against a floor
// measured in the same run that makes only the unavoidable calls:
//  (a) a scan that builds the contact index from scratch: the listing, each
//      card read once, and pugixml's save of the same index (durably when
//      the store syncs its index saves);
//  (b) a rescan that finds nothing changed: the listing and a stat of each
//      card.
// Prints the ratios; exits with 1 when one is above its limit (1.5, 2).

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
#include <string>
#include <vector>

#include "durable_floor.h"
#include "fastest_runs.h"
#include "pim/contact_scan.h"
#include "qxstore.h"
#include "scratch_store.h"

namespace {

constexpr int kCards = 5000;

std::string g_folder;

std::string CardText(int i) {
  const std::string n = std::to_string(i);
  std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
  text += "N:Surname" + n + ";Given" + n + ";;Dr.\r\n";
  text += "FN:Given" + n + " Surname" + n + "\r\n";
  text += "ORG:Company " + std::to_string(i % 97) + ";Department " + std::to_string(i % 13) + "\r\n";
  text += "TITLE:Title " + n + "\r\n";
  text += "TEL;WORK;VOICE:+1 555 " + n + "\r\nTEL;CELL;VOICE:+1 666 " + n + "\r\n";
  text += "ADR;WORK:;;" + n + " Main Street;Town;ST;" + std::to_string(10000 + i) + ";Country\r\n";
  text += "EMAIL;PREF;INTERNET:person" + n + "@example.org\r\n";
  if (i % 3 == 0) text += "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:A note=20about=20" + n + "\r\n";
  if (i % 10 == 0) {
    text += "PHOTO;TYPE=JPEG;ENCODING=BASE64:\r\n";
    for (int line = 0; line < 40; ++line) text += "  " + std::string(72, 'Q') + "\r\n";
    text += "\r\n";
  }
  text += "REV:20110301T120000Z\r\nEND:VCARD\r\n";
  return text;
}

void MakeFolder() {
  std::filesystem::create_directories(g_folder);
  for (int i = 0; i < kCards; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/%08X-%d.vcf", static_cast<unsigned>(i) * 2654435761u, i);
    FILE* file = std::fopen((g_folder + name).c_str(), "wb");
    const std::string text = CardText(i);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}

std::vector<std::string> ListCards(DIR* dir) {
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const size_t length = std::strlen(entry->d_name);
    if (length > 4 && std::strcmp(entry->d_name + length - 4, ".vcf") == 0) names.emplace_back(entry->d_name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void FloorScratch(benchmark::State& state) {
  pugi::xml_document index;
  index.load_file((g_folder + "/_index.xml").c_str());
  const std::string target = g_folder + "/floor.xml";
  const bool durable = StoreSyncsIndexes();
  const int directory_fd = ::open(g_folder.c_str(), O_RDONLY | O_DIRECTORY);
  char buffer[16384];
  for (auto _ : state) {
    DIR* dir = ::opendir(g_folder.c_str());
    size_t bytes = 0;
    for (const std::string& name : ListCards(dir)) {
      struct stat info;
      ::fstatat(::dirfd(dir), name.c_str(), &info, 0);
      const int fd = ::openat(::dirfd(dir), name.c_str(), O_RDONLY);
      for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) bytes += static_cast<size_t>(got);
      ::close(fd);
    }
    ::closedir(dir);
    benchmark::DoNotOptimize(bytes);
    if (durable) {
      benchmark::DoNotOptimize(SaveDurably(index, target + ".tmp", target, directory_fd));
    } else {
      benchmark::DoNotOptimize(index.save_file(target.c_str(), "", qx::kXmlSaveFormat));
    }
  }
  ::close(directory_fd);
}

void StoreScratch(benchmark::State& state) {
  const std::string index = g_folder + "/_index.xml";
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(index.c_str());
    state.ResumeTiming();
    if (qx::ScanContacts(g_folder, false, 0) != 1) state.SkipWithError("scan failed");
  }
}

void FloorRescan(benchmark::State& state) {
  for (auto _ : state) {
    DIR* dir = ::opendir(g_folder.c_str());
    size_t sizes = 0;
    for (const std::string& name : ListCards(dir)) {
      struct stat info;
      ::fstatat(::dirfd(dir), name.c_str(), &info, 0);
      sizes += static_cast<size_t>(info.st_size);
    }
    ::closedir(dir);
    benchmark::DoNotOptimize(sizes);
  }
}

void StoreRescan(benchmark::State& state) {
  qx::ScanContacts(g_folder, false, 0);
  for (auto _ : state) {
    if (qx::ScanContacts(g_folder, false, 0) != 1) state.SkipWithError("scan failed");
  }
}

BENCHMARK(FloorScratch)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreScratch)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FloorRescan)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreRescan)->Unit(benchmark::kMillisecond)->Repetitions(5);

bool PrintRatio(const FastestRunReporter& reporter, const char* what, const char* store,
                const char* floor, double limit) {
  const double store_time = reporter.Fastest(store).real;
  const double floor_time = reporter.Fastest(floor).real;
  const double ratio = floor_time > 0 ? store_time / floor_time : 0;
  std::printf("%s, %d cards: %.2f ms, floor %.2f ms, %.2f x (limit %.2f)%s\n", what, kCards,
              store_time, floor_time, ratio, limit, ratio > limit ? "  OVER THE LIMIT" : "");
  return ratio <= limit;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = StartScratchStore();
  g_folder = root + "/mail/PO/MAILROOT/bench/Contacts";
  MakeFolder();
  qx::ScanContacts(g_folder, false, 0);
  std::printf("index saves sync: %s (Store Fsync %s)\n", StoreSyncsIndexes() ? "yes" : "no", StoreFsyncName());

  benchmark::Initialize(&argc, argv);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = PrintRatio(reporter, "(a) scan building the contact index", "StoreScratch", "FloorScratch", 1.5);
  within &= PrintRatio(reporter, "(b) rescan finding nothing changed", "StoreRescan", "FloorRescan", 2.0);
  benchmark::Shutdown();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(root);
  return within ? 0 : 1;
}
