// The content search over a tree of 10,000 files, against `grep -rlF` for
// the same word over the same tree in the same run. Prints the ratio and
// exits with 1 when the search takes twice grep's time or more.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "fastest_runs.h"
#include "qxstore.h"

extern char** environ;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr double kLimit = 2.0;
constexpr const char* kWord = "zeppelin";

std::string g_tree;

// Mail-like text from words without the letter of the searched word's
// start, so that the search, which tries only the first 'z' of each piece,
// and grep find the same files.
std::string MakeText(std::mt19937& random, bool with_word) {
  static const char* const kWords[] = {
      "the",     "quarterly", "report", "numbers", "meeting", "please", "find",   "attached",
      "regards", "invoice",   "order",  "shipping", "monday",  "budget", "review", "customer",
      "account", "thanks",    "team",   "schedule", "delivery", "price", "office", "question"};
  std::string text = "From: someone@example.org\r\nTo: other@example.org\r\nSubject: ";
  text += kWords[random() % 24];
  text += "\r\n\r\n";
  const size_t size = 1500 + random() % 4000;
  const size_t word_at = with_word ? random() % size : size + 1;
  bool placed = false;
  while (text.size() < size) {
    if (!placed && text.size() >= word_at) {
      text += kWord;
      text += ' ';
      placed = true;
    }
    text += kWords[random() % 24];
    text += (random() % 12 == 0) ? "\r\n" : " ";
  }
  return text;
}

int MakeTree() {
  char pattern[] = "/tmp/qxstore-search-bench-XXXXXX";
  g_tree = mkdtemp(pattern);
  std::mt19937 random(20240601);
  int with_word = 0;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string directory = g_tree + "/F" + std::to_string(folder);
    std::filesystem::create_directory(directory);
    for (int file = 0; file < kFilesPerFolder; ++file) {
      const bool has_word = random() % 20 == 0;
      with_word += has_word ? 1 : 0;
      char name[64];
      std::snprintf(name, sizeof name, "/%08X%08X.MAI", folder, file * 7919);
      std::ofstream(directory + name, std::ios::binary) << MakeText(random, has_word);
    }
  }
  return with_word;
}

int RunGrep(bool count_output, int* lines) {
  const std::string word = kWord;
  char* argv[] = {const_cast<char*>("grep"), const_cast<char*>("-rlF"),
                  const_cast<char*>(word.c_str()), const_cast<char*>(g_tree.c_str()), nullptr};
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "grep", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  char buffer[65536];
  ssize_t got;
  int newlines = 0;
  while ((got = read(out[0], buffer, sizeof buffer)) > 0) {
    if (count_output) newlines += static_cast<int>(std::count(buffer, buffer + got, '\n'));
  }
  close(out[0]);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  if (lines != nullptr) *lines = newlines;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t RunSearch() {
  const std::string pattern = std::string("*") + kWord + "*";
  MsgSearch_SetParameter_String("Directory", g_tree.c_str());
  MsgSearch_SetParameter_String("SearchString", pattern.c_str());
  MsgSearch_SetParameter_Int("SearchSubFolders", 1);
  MsgSearch_SetParameter_Int("CaseSensitive", 1);
  return MsgSearch_FindAll();
}

int SearchCount() {
  RunSearch();
  char* list = nullptr;
  uint32_t length = 0;
  StoreItem_GetMatchProp("FilenameList", &list, &length);
  if (length == 0) return 0;
  return 1 + static_cast<int>(std::count(list, list + length, ','));
}

void FloorGrep(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RunGrep(false, nullptr));
}

void StoreSearch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(RunSearch());
}

BENCHMARK(FloorGrep)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreSearch)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const int written = MakeTree();
  // The library is linked statically: start it as a host would by loading
  // it, with an empty registry of its own.
  setenv("QXSTORE_REGISTRY", (g_tree + "/none.reg").c_str(), 1);
  setenv("QXSTORE_DIAG", "off", 1);
  if (StoreLibrary_Init() != 1) {
    std::fprintf(stderr, "the store library could not be started\n");
    return 1;
  }
  int grep_found = 0;
  if (RunGrep(true, &grep_found) < 0) {
    std::fprintf(stderr, "grep could not be run\n");
    return 1;
  }
  const int search_found = SearchCount();
  std::printf("tree: %d files in %d folders; %d hold \"%s\"; grep finds %d, the search %d\n",
              kFolders * kFilesPerFolder, kFolders, written, kWord, grep_found, search_found);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double grep_time = reporter.Fastest("FloorGrep").real;
  const double search_time = reporter.Fastest("StoreSearch").real;
  const double ratio = grep_time > 0 ? search_time / grep_time : 0;
  std::printf("search of %d files: %.2f x grep -rlF (limit %.2f)%s\n", kFolders * kFilesPerFolder,
              ratio, kLimit, ratio >= kLimit ? "  OVER THE LIMIT" : "");
  MsgSearch_UnInit();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_tree);
  return ratio < kLimit ? 0 : 1;
}
