// The commit of one changed entry of a folder index of 1,000 and 20,000
// messages, against a floor measured in the same run: the calls a commit
// cannot avoid (take and drop the block file, the stamp before and after,
// pugixml's save of the same document to a file beside the index and its
// rename, with the syncs when the store syncs index saves, the 52-byte
// status file). Prints the ratios and exits with 1 when one is above 1.3.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "durable_floor.h"
#include "fastest_runs.h"
#include "sample_index.h"
#include "scratch_store.h"
#include "folder/folder_files.h"
#include "index/index_commit.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "message/message_headers.h"
#include "qxstore.h"

namespace {

constexpr double kLimit = 1.3;
constexpr int kSizes[] = {1000, 20000};

std::string g_root;

std::string FolderOf(int entries) {
  return g_root + "/mail/PO/MAILROOT/box/F" + std::to_string(entries);
}

// The entry in the middle, whose flags each commit toggles.
pugi::xml_node MiddleEntry(pugi::xml_node root, int entries) {
  pugi::xml_node entry = root.first_child();
  for (int i = 0; i < entries / 2; ++i) entry = entry.next_sibling();
  return entry;
}

void ToggleFlags(pugi::xml_node entry, bool* flagged) {
  *flagged = !*flagged;
  entry.child(qx::kFlagStatusElement).text().set(*flagged ? "\\SEEN \\FLAGGED" : "\\SEEN");
}

void StoreCommit(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const std::string folder = "F" + std::to_string(entries);
  StoreIndex* index = qx::CreateStoreIndex();
  qx::CreateStoreIndexMutex(index);
  qx::SetStoreIndexNames(index, "PO", "box", folder.c_str());
  qx::SetStoreIndexPaths(index);
  const qx::XmlDocument document = MakeSampleIndex(entries);
  qx::HoldDocument(index, document);
  qx::SaveDocumentFile(document, qx::FolderFilePath(index->folder_directory, qx::kIndexFileName));
  index->index_stamp = qx::FolderIndexStamp(index->folder_directory, qx::kFolderTypeMail);
  pugi::xml_node entry = MiddleEntry(document.DocumentElement(), entries);
  bool flagged = false;
  for (auto _ : state) {
    ToggleFlags(entry, &flagged);
    index->modified = 1;
    benchmark::DoNotOptimize(qx::CommitStoreIndex(index));
  }
  if (index->modified != 0) state.SkipWithError("a commit did not save");
  qx::ReleaseStoreIndex(index);
  qx::DestroyStoreIndex(index);
}

void WriteStatusFile(const std::string& path, const uint32_t (&status)[13]) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  benchmark::DoNotOptimize(::write(fd, status, sizeof status));
  ::close(fd);
}

void FloorCommit(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const std::string directory = FolderOf(entries) + "-floor";
  std::filesystem::create_directories(directory);
  const std::string index_path = directory + "/_index.xml";
  const std::string temp_path = index_path + ".tmp";
  const std::string block_path = directory + "/_index.blk";
  const std::string status_path = directory + "/_FOLDER.DAT";
  pugi::xml_document document;
  document.load_string(MakeSampleIndex(entries).Xml().c_str());
  pugi::xml_node entry = MiddleEntry(document.document_element(), entries);
  const uint32_t status[13] = {};
  bool flagged = false;
  struct stat info;
  const bool durable = StoreSyncsIndexes();
  const int directory_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  for (auto _ : state) {
    ToggleFlags(entry, &flagged);
    int block = ::open(block_path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ::stat(index_path.c_str(), &info);
    if (durable) {
      SaveDurably(document, temp_path, index_path, directory_fd);
    } else {
      document.save_file(temp_path.c_str(), "", qx::kXmlSaveFormat, pugi::encoding_utf8);
      ::rename(temp_path.c_str(), index_path.c_str());
    }
    ::stat(index_path.c_str(), &info);
    WriteStatusFile(status_path, status);
    ::close(block);
    ::unlink(block_path.c_str());
  }
  ::close(directory_fd);
}

// The limit applies to elapsed time; the processor time is shown beside it
// because elapsed time swings with the load of a shared machine.
bool PrintRatio(const FastestRunReporter& reporter, int entries) {
  const std::string store_name = "StoreCommit/" + std::to_string(entries);
  const std::string floor_name = "FloorCommit/" + std::to_string(entries);
  const double store = reporter.Fastest(store_name).real;
  const double floor = reporter.Fastest(floor_name).real;
  const double ratio = floor > 0 ? store / floor : 0;
  const double store_cpu = reporter.Fastest(store_name).cpu;
  const double floor_cpu = reporter.Fastest(floor_name).cpu;
  std::printf("commit of one changed entry of %d: %.3f ms, floor %.3f ms, %.2f x (limit %.2f)%s;"
              " processor time %.3f ms, floor %.3f ms, %.2f x\n",
              entries, store, floor, ratio, kLimit, ratio > kLimit ? "  OVER THE LIMIT" : "",
              store_cpu, floor_cpu, floor_cpu > 0 ? store_cpu / floor_cpu : 0);
  return ratio <= kLimit;
}

void MakeStore() {
  g_root = StartScratchStore();
  for (int entries : kSizes) std::filesystem::create_directories(FolderOf(entries));
}

}  // namespace

BENCHMARK(FloorCommit)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreCommit)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)->Repetitions(5);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MakeStore();
  std::printf("Store Fsync: %s\n", StoreFsyncName());
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = true;
  for (int entries : kSizes) within = PrintRatio(reporter, entries) && within;
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return within ? 0 : 1;
}
