#pragma once
// How a benchmark program reports a store path against its floor: the
// ratio of their fastest runs in real time, which is judged against the
// limit, and the same ratio in processor time, printed as information
// (on a shared machine it shows what the real time hides: waits for the
// processor the other work holds).

#include <cstdio>
#include <string>

#include "fastest_runs.h"

// Prints "<what>: R x floor (limit L)", marked when R is over the limit,
// then the processor-time ratio on a line of its own. True when R is
// within the limit.
inline bool PrintFloorRatio(const FastestRunReporter& reporter, const std::string& what,
                            const std::string& store, const std::string& floor, double limit) {
  const FastestRunReporter::Times store_times = reporter.Fastest(store);
  const FastestRunReporter::Times floor_times = reporter.Fastest(floor);
  const double ratio = floor_times.real > 0 ? store_times.real / floor_times.real : 0;
  const double cpu_ratio = floor_times.cpu > 0 ? store_times.cpu / floor_times.cpu : 0;
  std::printf("%s: %.2f x floor (limit %.2f)%s\n", what.c_str(), ratio, limit,
              ratio > limit ? "  OVER THE LIMIT" : "");
  std::printf("    the same in processor time (information): %.2f x\n", cpu_ratio);
  return ratio <= limit;
}

// Prints "<what>: R x" in real time: a comparison given as information,
// with no limit.
inline void PrintInformationRatio(const FastestRunReporter& reporter, const std::string& what,
                                  const std::string& store, const std::string& other) {
  const double other_time = reporter.Fastest(other).real;
  std::printf("%s: %.2f x\n", what.c_str(), other_time > 0 ? reporter.Fastest(store).real / other_time : 0);
}
