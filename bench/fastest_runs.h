#pragma once
// The fastest repetition of each benchmark, in real and in processor time:
// on a shared machine, the one least disturbed by the other work. Every
// program here judges its ratio to its floor on these.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

class FastestRunReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0;
    double cpu = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const Times times{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      auto [it, inserted] = fastest_.try_emplace(NameOf(run), times);
      if (!inserted) {
        it->second.real = std::min(it->second.real, times.real);
        it->second.cpu = std::min(it->second.cpu, times.cpu);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // By "Function" or "Function/argument" (such as "StoreScan/1000"); zeros
  // for a benchmark that never ran.
  Times Fastest(const std::string& name) const {
    auto it = fastest_.find(name);
    return it == fastest_.end() ? Times{} : it->second;
  }

 private:
  static std::string NameOf(const Run& run) {
    const std::string& args = run.run_name.args;
    return args.empty() ? run.run_name.function_name : run.run_name.function_name + "/" + args;
  }

  std::map<std::string, Times> fastest_;
};
