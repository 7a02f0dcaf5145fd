// Walking a calendar file of 5,000 events as a store folder of type 5
// (StoreFolder_FindFirstItem/FindNextItem) and reading the start, end and
// subject of each (StoreItem_GetProperty, local times resolved through the
// file's VTIMEZONE), against a floor that scans the same text once for the
// three keys and copies each value into a block of its own, as the
// interface hands values over. Prints the ratio; exits with 1
// when it is above 2.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "fastest_runs.h"
#include "floor_ratio.h"
#include "qxstore.h"
#include "scratch_store.h"

namespace {

constexpr int kEvents = 5000;
constexpr double kLimit = 2.0;

std::string g_root;
std::string g_text;

std::string CalendarText() {
  std::string text =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
      "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nBEGIN:STANDARD\r\n"
      "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
  for (int i = 0; i < kEvents; ++i) {
    char times[160];
    const int month = 1 + i % 12;
    const int day = 1 + i % 28;
    if (i % 2 == 0) {
      std::snprintf(times, sizeof times,
                    "DTSTART;TZID=Europe/Berlin:2024%02d%02dT093000\r\nDTEND;TZID=Europe/Berlin:2024%02d%02dT103000\r\n",
                    month, day, month, day);
    } else {
      std::snprintf(times, sizeof times, "DTSTART:2024%02d%02dT083000Z\r\nDTEND:2024%02d%02dT093000Z\r\n", month,
                    day, month, day);
    }
    text += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) + "-bench@example.org\r\nDTSTAMP:20240101T000000Z\r\n";
    text += times;
    text += "SUMMARY:Meeting number " + std::to_string(i) + " about the quarterly plans\r\n";
    text += "LOCATION:Room " + std::to_string(i % 40) + "\r\nDESCRIPTION:Agenda: figures\\, plans\\, and a long "
            "line that goes on\r\n  past the fold as calendar programs write it.\r\n";
    if (i % 5 == 0) text += "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;COUNT=10\r\n";
    text += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
    text += "END:VEVENT\r\n";
  }
  return text + "END:VCALENDAR\r\n";
}

// One pass over the text: every line that begins with one of the three
// keys has its value copied out.
void Floor(benchmark::State& state) {
  for (auto _ : state) {
    size_t bytes = 0;
    std::string_view text(g_text);
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view line = text.substr(at, end - at);
      if (line.starts_with("DTSTART") || line.starts_with("DTEND") || line.starts_with("SUMMARY")) {
        // Each value in a block of its own, as the interface hands values over.
        const std::string_view value = line.substr(line.find(':') + 1);
        void* copy = std::malloc(value.size() + 1);
        std::memcpy(copy, value.data(), value.size());
        benchmark::DoNotOptimize(copy);
        bytes += value.size();
        std::free(copy);
      }
      at = end + 1;
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void StoreWalk(benchmark::State& state) {
  constexpr const char* kProperties[] = {"PR_START_DATE", "PR_END_DATE", "PR_SUBJECT"};
  for (auto _ : state) {
    size_t bytes = 0;
    int events = 0;
    for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) {
      for (const char* property : kProperties) {
        void* value = nullptr;
        uint32_t size = 0;
        if (StoreItem_GetProperty(property, &value, &size) == 2) bytes += size;
        StoreItem_FreeProperty(value);
      }
      ++events;
    }
    if (events != kEvents || bytes == 0) state.SkipWithError("the walk missed events");
    benchmark::DoNotOptimize(bytes);
  }
}

BENCHMARK(Floor)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(StoreWalk)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  g_root = StartScratchStore();
  const std::string mailbox = g_root + "/mail/PO/MAILROOT/bench";
  std::filesystem::create_directories(mailbox);
  g_text = CalendarText();
  FILE* file = std::fopen((mailbox + "/calendar.ics").c_str(), "wb");
  std::fwrite(g_text.data(), 1, g_text.size(), file);
  std::fclose(file);
  if (StoreFolder_Open("PO", "bench", "calendar.ics", 5, 1) != 1) {
    std::fprintf(stderr, "the calendar does not open\n");
    return 1;
  }

  benchmark::Initialize(&argc, argv);
  FastestRunReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const bool within = PrintFloorRatio(
      reporter, "walking " + std::to_string(kEvents) + " events, start, end and subject each", "StoreWalk",
      "Floor", kLimit);
  benchmark::Shutdown();
  StoreFolder_Close();
  StoreLibrary_UnInit();
  std::filesystem::remove_all(g_root);
  return within ? 0 : 1;
}
