// The store-item interface on its hot paths, each against a floor measured
// in the same run:
//  (a) walking a folder of 20,000 messages with StoreFolder_FindFirstItem
//      and StoreFolder_FindNextItem, reading five index properties of each
//      item (and freeing them). The floor walks the same loaded pugixml
//      document and reads the same five fields the way the interface's
//      contract makes any implementation hand them over: each read under
//      the shared index object's mutex (other threads may be changing the
//      document) and copied into a block of its own that the caller frees.
//      The ratio to a bare walk that only finds the fields (no lock, no
//      copy) is printed too, as information;
//  (b) reading PR_BODY of 1,000 multipart messages with ReadContentValue;
//      the floor opens, reads and closes each file once.
// Prints the ratios; exits with 1 when one is above its target.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fastest_runs.h"
#include "floor_ratio.h"
#include "index/index_document.h"
#include "index/index_registry.h"
#include "index/store_index.h"
#include "message/mime_reader.h"
#include "qxstore.h"
#include "sample_index.h"
#include "scratch_store.h"

namespace {

constexpr int kWalkEntries = 20000;
constexpr int kBodyMessages = 1000;
constexpr const char* kFields[] = {"SUBJECT", "FROM", "FLAGSTATUS", "MESSAGEDATE", "SIZE"};
constexpr const char* kProperties[] = {"PR_SUBJECT", "PR_QX_FROM", "PR_QX_FLAGSTATUS",
                                       "PR_QX_MESSAGEDATE", "PR_QX_SIZE"};

std::string g_root;
std::vector<std::string> g_body_files;

std::string MailboxDir() { return g_root + "/mail/PO/MAILROOT/bench"; }

std::string MultipartMessage(int i) {
  std::string text = "From: Sender " + std::to_string(i) + " <s" + std::to_string(i) + "@example.org>\r\n";
  text += "To: someone@example.org\r\nSubject: report " + std::to_string(i) + "\r\n";
  text += "Date: Tue, 01 Mar 2011 12:00:00 +0100\r\nMIME-Version: 1.0\r\n";
  if (i % 2 == 0) {
    text += "Content-Type: multipart/mixed; boundary=\"=_mixed_" + std::to_string(i) + "\"\r\n\r\n";
    text += "This is a multi-part message in MIME format.\r\n\r\n--=_mixed_" + std::to_string(i) + "\r\n";
    text += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int line = 0; line < 25; ++line) text += std::string(60 + line % 13, 'p') + "\r\n";
    text += "--=_mixed_" + std::to_string(i) + "\r\nContent-Type: application/pdf\r\n";
    text += "Content-Disposition: attachment; filename=a.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    for (int line = 0; line < 50; ++line) text += std::string(76, 'Q') + "\r\n";
    text += "--=_mixed_" + std::to_string(i) + "--\r\n";
  } else {
    text += "Content-Type: multipart/alternative;\r\n\tboundary=\"=_alt_" + std::to_string(i) + "\"\r\n\r\n";
    text += "--=_alt_" + std::to_string(i) + "\r\nContent-Type: text/plain; charset=utf-8\r\n";
    text += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    for (int line = 0; line < 25; ++line) text += std::string(70, 'q') + "=\r\n";
    text += "--=_alt_" + std::to_string(i) + "\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
    for (int line = 0; line < 40; ++line) text += "<p>" + std::string(70, 'h') + "</p>\r\n";
    text += "--=_alt_" + std::to_string(i) + "--\r\n";
  }
  return text;
}

void MakeFolders() {
  std::filesystem::create_directories(MailboxDir() + "/Walk");
  qx::SaveDocumentFile(MakeSampleIndex(kWalkEntries), MailboxDir() + "/Walk/_index.xml");
  const std::string bodies = MailboxDir() + "/Bodies";
  std::filesystem::create_directories(bodies);
  for (int i = 0; i < kBodyMessages; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/%08X.MAI", static_cast<unsigned>(i) * 2654435761u);
    const std::string text = MultipartMessage(i);
    FILE* file = std::fopen((bodies + name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    g_body_files.push_back(bodies + name);
  }
}

StoreIndex* WalkIndex() { return qx::FindOpenIndex("[PO][bench][Walk]"); }

void FloorWalk(benchmark::State& state) {
  StoreIndex* index = WalkIndex();
  const qx::XmlDocument document = qx::HeldDocument(index);
  for (auto _ : state) {
    size_t bytes = 0;
    for (pugi::xml_node entry : document.DocumentElement().children("ELEMENT")) {
      for (const char* field : kFields) {
        qx::StoreIndexLock lock(index);
        const char* text = entry.child(field).text().get();
        const size_t size = std::strlen(text) + 1;
        void* copy = std::malloc(size);
        std::memcpy(copy, text, size);
        benchmark::DoNotOptimize(copy);
        bytes += size;
        std::free(copy);
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void BareWalk(benchmark::State& state) {
  const qx::XmlDocument document = qx::HeldDocument(WalkIndex());
  for (auto _ : state) {
    size_t bytes = 0;
    for (pugi::xml_node entry : document.DocumentElement().children("ELEMENT")) {
      for (const char* field : kFields) bytes += std::strlen(entry.child(field).text().get());
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void StoreWalk(benchmark::State& state) {
  for (auto _ : state) {
    size_t bytes = 0;
    int items = 0;
    for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) {
      for (const char* property : kProperties) {
        void* value = nullptr;
        uint32_t size = 0;
        if (StoreItem_GetProperty(property, &value, &size) == 2) bytes += size;
        StoreItem_FreeProperty(value);
      }
      ++items;
    }
    if (items != kWalkEntries) state.SkipWithError("the walk missed items");
    benchmark::DoNotOptimize(bytes);
  }
}

void FloorBodies(benchmark::State& state) {
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    size_t bytes = 0;
    for (const std::string& path : g_body_files) {
      const int fd = ::open(path.c_str(), O_RDONLY);
      for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) bytes += static_cast<size_t>(got);
      ::close(fd);
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void StoreBodies(benchmark::State& state) {
  std::string value;
  for (auto _ : state) {
    size_t bytes = 0;
    for (const std::string& path : g_body_files) {
      qx::ReadContentValue(path, "PR_BODY", &value);
      bytes += value.size();
    }
    if (bytes == 0) state.SkipWithError("no bodies read");
    benchmark::DoNotOptimize(bytes);
  }
}

BENCHMARK(BareWalk)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FloorWalk)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreWalk)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FloorBodies)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreBodies)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  g_root = StartScratchStore();
  MakeFolders();
  StoreLibrary_SetAffinity(0);
  if (StoreFolder_Open("PO", "bench", "Walk", 0, 1) != 1) {
    std::fprintf(stderr, "the walk folder does not open\n");
    return 1;
  }

  benchmark::Initialize(&argc, argv);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = true;
  within &= PrintFloorRatio(reporter, "(a) walking 20000 items, five index properties each", "StoreWalk",
                            "FloorWalk", 1.5);
  PrintInformationRatio(reporter, "    the same against a bare walk (no lock, no copies; information)",
                        "StoreWalk", "BareWalk");
  within &= PrintFloorRatio(reporter, "(b) PR_BODY of 1000 multipart messages", "StoreBodies", "FloorBodies",
                            1.5);
  benchmark::Shutdown();
  StoreFolder_FindClose();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return within ? 0 : 1;
}
