// What promises cost per hop, against the same hops written as plain queue
// blocks counted by a group, in the same run: a chain of 10,000 `then` on a
// serial queue, and `all` over 10,000 fulfilled promises. Prints the ratio
// promise / plain per task.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/Group.h"
#include "Platform/Dispatch/Queue.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kHops = 10000;

const std::shared_ptr<dispatch::Queue>& serialQueue() {
  static auto queue = dispatch::Queue::serial("bench.promise");
  return queue;
}

void PromiseThenChain(benchmark::State& state) {
  const auto& queue = serialQueue();
  for (auto _ : state) {
    auto root = PRMPromise::pendingPromise();
    PRMPromise::Ptr last = root;
    for (int i = 0; i < kHops; ++i) {
      last = last->then(queue, [](const PRMObject& v) { return PRMObject(v.value()->integerValue() + 1); });
    }
    root->fulfill(0);
    PRMObject result = PRMPromiseAwait(last);
    PRMPromise::dispatchGroup().wait();  // every hop ran
    if (result.value()->integerValue() != kHops) state.SkipWithError("wrong sum");
  }
}

// Each block adds one and queues the next.
void PlainThenChain(benchmark::State& state) {
  const auto& queue = serialQueue();
  for (auto _ : state) {
    dispatch::Group group;
    auto value = std::make_shared<int64_t>(0);
    std::function<void(int)> hop = [&](int left) {
      ++*value;
      if (left > 1) group.async(queue, [&hop, left] { hop(left - 1); });
    };
    group.async(queue, [&hop] { hop(kHops); });
    group.wait();
    if (*value != kHops) state.SkipWithError("wrong sum");
  }
}

void PromiseAll(benchmark::State& state) {
  const auto& queue = serialQueue();
  for (auto _ : state) {
    PRMArray items;
    items.reserve(kHops);
    for (int i = 0; i < kHops; ++i) items.emplace_back(PRMPromise::resolvedWith(i));
    PRMObject result = PRMPromiseAwait(PRMPromise::all(queue, std::move(items)));
    PRMPromise::dispatchGroup().wait();  // every callback ran
    if (result.array()->size() != size_t(kHops)) state.SkipWithError("wrong count");
  }
}

// One block per value, each storing it in its slot; the array once all ran.
void PlainAll(benchmark::State& state) {
  const auto& queue = serialQueue();
  for (auto _ : state) {
    dispatch::Group group;
    std::vector<ns::Value> values(kHops);
    for (int i = 0; i < kHops; ++i) {
      group.async(queue, [&values, i] { values[i] = ns::Value(i); });
    }
    group.wait();
    ns::Array result(values.begin(), values.end());
    if (result.size() != size_t(kHops)) state.SkipWithError("wrong count");
  }
}

// Thread hand-offs dominate both sides, so a shared machine makes single
// runs noisy: each side runs several times, and the medians are compared.
BENCHMARK(PromiseThenChain)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7);
BENCHMARK(PlainThenChain)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7);
BENCHMARK(PromiseAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7);
BENCHMARK(PlainAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7);

// Keeps every repetition's time per iteration by function name.
class MedianReporter : public RatioReporter {
 public:
  std::map<std::string, std::vector<double>> repetitions;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        repetitions[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                          static_cast<double>(run.iterations));
      }
    }
    RatioReporter::ReportRuns(runs);
  }

  double median(const std::string& name) {
    auto& times = repetitions[name];
    if (times.empty()) return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-12s %14s %12s %8s   (medians)\n", "task", "promise (ms)", "plain (ms)", "ratio");
  for (const char* task : {"ThenChain", "All"}) {
    double promise = reporter.median(std::string("Promise") + task);
    double plain = reporter.median(std::string("Plain") + task);
    if (promise == 0 || plain == 0) continue;
    std::printf("%-12s %14.3f %12.3f %8.2f\n", task, promise * 1e3, plain * 1e3, promise / plain);
  }
  return 0;
}
