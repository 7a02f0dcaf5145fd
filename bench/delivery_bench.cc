// Delivery of one message into folders of 1,000 and 20,000 messages, one
// Direct_StoreIndex_InsertItem transaction each, against two floors in the
// same run, each with the read of the new message file that the transaction
// must make: pugixml's parse and save of the same index bytes (through a
// temporary, with the syncs, when the store syncs index saves), within 1.3
// times; and one read and one write of the same index bytes (the same
// replacement), within 1.5 times, since a delivery splices its entry into
// the bytes. Prints the ratios and exits with 1 when one is over its limit.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_entry.h"
#include "message/message_headers.h"
#include "durable_floor.h"
#include "fastest_runs.h"
#include "qxstore.h"

namespace {

constexpr double kLimit = 1.3;
constexpr double kByteLimit = 1.5;
constexpr int kSmallFolder = 1000;
constexpr int kLargeFolder = 20000;

std::string g_root;
int g_delivered = 0;

std::string FolderName(int messages) { return std::string("F").append(std::to_string(messages)); }

std::string FolderDirectory(int messages) {
  return g_root + "/mail/PO/MAILROOT/box/" + FolderName(messages);
}

std::string MessageText(int number) {
  std::string text = "From: Sender " + std::to_string(number) +
                     " <sender@example.org>\r\nTo: box@example.org\r\nSubject: delivery " +
                     std::to_string(number) +
                     "\r\nDate: Tue, 1 Mar 2011 11:00:00 +0000\r\n\r\n";
  text.append(1500, 'b');
  return text;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void MakeStore() {
  char pattern[] = "/tmp/qxstore-bench-XXXXXX";
  g_root = mkdtemp(pattern);
  const std::string registry = g_root + "/registry.reg";
  WriteText(registry,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]\r\n"
            "\"Mail Root\"=\"" + g_root + "/mail\"\r\n");
  setenv("QXSTORE_REGISTRY", registry.c_str(), 1);
  setenv("QXSTORE_DIAG", "off", 1);
  StoreLibrary_Init();
}

// A folder of `messages` message files and the index a scan would give them.
void MakeFolder(int messages) {
  const std::string directory = FolderDirectory(messages);
  std::filesystem::create_directories(directory);
  qx::XmlDocument document = qx::XmlDocument::New();
  qx::InitializeIndexDocument(document);
  pugi::xml_node root = document.DocumentElement();
  for (int i = 0; i < messages; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%032X.MAI", i * 7919);
    const std::string text = MessageText(i);
    WriteText(directory + "/" + name, text);
    qx::MessageHeaders record;
    record.sender = "Sender " + std::to_string(i) + " <sender@example.org>";
    record.recipients = "box@example.org";
    record.subject = "delivery " + std::to_string(i);
    record.message_date = "2011-03-01T11:00:00";
    record.received_date = "2011-03-01T11:00:00";
    record.flag_words = i % 2 == 0 ? "\\SEEN" : "";
    record.read = i % 2 == 0 ? 1 : 0;
    record.file_size = static_cast<uint32_t>(text.size());
    qx::BuildMessageEntry(root, pugi::xml_node(), name, static_cast<uint32_t>(i + 1), record);
  }
  qx::SetDocumentLastUid(document, static_cast<uint32_t>(messages));
  qx::SaveDocumentFile(document, directory + "/_index.xml");
}

// The next delivered message's file in the folder; its name sorts among
// the others, as new message file names do.
std::string WriteDelivery(int messages) {
  char name[64];
  std::snprintf(name, sizeof name, "%08X%024X.MAI", ++g_delivered * 2654435761u, 7u);
  WriteText(FolderDirectory(messages) + "/" + name, MessageText(g_delivered));
  return name;
}

// Takes the last delivery out again, unmeasured, so that every delivery
// meets a folder of the same size as the floor's index.
void UndoDelivery(int messages, const std::string& name) {
  if (name.empty()) return;
  Direct_StoreIndex_RemoveItem("PO", "box", FolderName(messages).c_str(), name.c_str());
  std::filesystem::remove(FolderDirectory(messages) + "/" + name);
}

void Delivery(benchmark::State& state) {
  const int messages = static_cast<int>(state.range(0));
  const std::string folder = FolderName(messages);
  std::string delivered;
  for (auto _ : state) {
    state.PauseTiming();
    UndoDelivery(messages, delivered);
    delivered = WriteDelivery(messages);
    state.ResumeTiming();
    if (Direct_StoreIndex_InsertItem("PO", "box", folder.c_str(), delivered.c_str()) != 1) {
      state.SkipWithError("the transaction failed");
      break;
    }
  }
  UndoDelivery(messages, delivered);  // the loop's timing has ended
}

// What the floors share: the folder, the file they write in place of its
// index, and a new message file for each round, written with the timing
// paused (the round before's removed).
class FloorRounds {
 public:
  explicit FloorRounds(int messages)
      : directory(FolderDirectory(messages)),
        index_path(directory + "/_index.xml"),
        target(directory + "/floor.xml"),
        durable(StoreSyncsIndexes()),
        directory_fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY)),
        messages_(messages) {}
  ~FloorRounds() { ::close(directory_fd); }
  FloorRounds(const FloorRounds&) = delete;
  FloorRounds& operator=(const FloorRounds&) = delete;

  // The path of this round's new message.
  std::string NextMessage(benchmark::State& state) {
    state.PauseTiming();
    if (!name_.empty()) std::filesystem::remove(directory + "/" + name_);
    name_ = WriteDelivery(messages_);
    state.ResumeTiming();
    return directory + "/" + name_;
  }

  const std::string directory;
  const std::string index_path;
  const std::string target;
  const bool durable;
  const int directory_fd;

 private:
  const int messages_;
  std::string name_;
};

std::string WholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void FloorDelivery(benchmark::State& state) {
  FloorRounds rounds(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string text = WholeFile(rounds.NextMessage(state));
    benchmark::DoNotOptimize(text);
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_file(rounds.index_path.c_str()));
    if (rounds.durable) {
      benchmark::DoNotOptimize(
          SaveDurably(document, rounds.target + ".tmp", rounds.target, rounds.directory_fd));
    } else {
      benchmark::DoNotOptimize(
          document.save_file(rounds.target.c_str(), "", qx::kXmlSaveFormat, pugi::encoding_utf8));
    }
  }
}

void FloorByteDelivery(benchmark::State& state) {
  FloorRounds rounds(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string message = WholeFile(rounds.NextMessage(state));
    benchmark::DoNotOptimize(message);
    std::string index = WholeFile(rounds.index_path);
    benchmark::DoNotOptimize(index);
    benchmark::DoNotOptimize(
        WriteDurably(index, rounds.target + ".tmp", rounds.target, rounds.directory_fd, rounds.durable));
  }
}

BENCHMARK(FloorByteDelivery)->Arg(kSmallFolder)->Arg(kLargeFolder)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FloorDelivery)->Arg(kSmallFolder)->Arg(kLargeFolder)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Delivery)->Arg(kSmallFolder)->Arg(kLargeFolder)->Unit(benchmark::kMillisecond)->Repetitions(5);

double Ratio(double store, double floor) { return floor > 0 ? store / floor : 0; }

// Judged on real time, the delivery agent's wait; the CPU-time ratio is
// printed beside it because on a busy machine real time mostly measures
// the other work.
bool PrintRatio(int messages, const FastestRunReporter& reporter, const char* floor_name,
                double limit) {
  const std::string arg = std::string("/").append(std::to_string(messages));
  const FastestRunReporter::Times store = reporter.Fastest("Delivery" + arg);
  const FastestRunReporter::Times floor = reporter.Fastest(floor_name + arg);
  const double real = Ratio(store.real, floor.real);
  const double cpu = Ratio(store.cpu, floor.cpu);
  std::printf("delivery into %d messages: %.3f ms, %s %.3f ms: %.2f x its floor in real time, "
              "%.2f x in CPU time (limit %.2f)%s\n",
              messages, store.real, floor_name, floor.real, real, cpu, limit,
              real > limit ? "  OVER THE LIMIT" : "");
  return real > 0 && real <= limit;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MakeStore();
  MakeFolder(kSmallFolder);
  MakeFolder(kLargeFolder);
  std::printf("Store Fsync: %s\n", StoreFsyncName());
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool within = true;
  for (int messages : {kSmallFolder, kLargeFolder}) {
    within = PrintRatio(messages, reporter, "FloorDelivery", kLimit) && within;
    within = PrintRatio(messages, reporter, "FloorByteDelivery", kByteLimit) && within;
  }
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return within ? 0 : 1;
}
