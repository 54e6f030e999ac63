// A console reporter that also keeps each benchmark's real time per
// iteration by function name, so a program can print our time against a
// reference tool's time as a ratio. A benchmark run several times
// (Repetitions) counts by the median of its runs.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.error_occurred || run.iterations <= 0) continue;
      const std::string& name = run.run_name.function_name;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median) medians_.insert(name);
      if (median || (run.run_type == Run::RT_Iteration && !medians_.count(name))) {
        seconds[name] = run.real_accumulated_time / static_cast<double>(run.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  std::set<std::string> medians_;
};

namespace bench {

// "task  ours (ms)  reference (ms)  ratio" for two benchmarks of the run.
inline void printRatio(const RatioReporter& reporter, const char* task, const char* ours, const char* reference,
                       const char* referenceName) {
  auto a = reporter.seconds.find(ours), b = reporter.seconds.find(reference);
  if (a == reporter.seconds.end() || b == reporter.seconds.end()) return;
  std::printf("\n%-8s %12s %14s %8s\n", "task", "ours (ms)", (std::string(referenceName) + " (ms)").c_str(), "ratio");
  std::printf("%-8s %12.2f %14.2f %8.2f\n", task, a->second * 1e3, b->second * 1e3, a->second / b->second);
}

}  // namespace bench
