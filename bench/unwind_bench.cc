// Unwinding a 64-deep stack: our crash-time stepper (from getcontext(),
// through the binary-image slots, safe reads and each frame's DWARF rules)
// against glibc backtrace() of the same stack, in the same run. Prints the
// ratio ours / backtrace().
#include <benchmark/benchmark.h>
#include <execinfo.h>
#include <ucontext.h>

#include <cstdio>
#include <string>

#include "Libraries/CrashReporter/DVCRUnwind.h"
#include "Libraries/CrashReporter/tests/UnwindTestSupport.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kDepth = 64;
constexpr int kCapacity = 256;

using Body = void (*)(benchmark::State&);

// Recurses `depth` times, then runs the benchmark's loop at the bottom.
__attribute__((noinline, noipa)) int deepen(int depth, benchmark::State& state, Body body) {
  if (depth == 0) {
    body(state);
    return 0;
  }
  int result = deepen(depth - 1, state, body);
  benchmark::DoNotOptimize(result);
  return result + 1;
}

void oursAtBottom(benchmark::State& state) {
  uint64_t frames[kCapacity];
  int count = 0;
  uint32_t blockReads = 0;
  for (auto _ : state) {
    ucontext_t context;
    getcontext(&context);
    DVCRUnwindContext unwind;
    DVCRUnwindInit(&unwind, &context.uc_mcontext);
    count = 0;
    while (count < kCapacity && DVCRUnwindNextFrame(&unwind)) frames[count++] = DVCRUnwindGetPC(&unwind);
    blockReads = unwind.readCache.blockReads;
    benchmark::DoNotOptimize(frames);
  }
  state.counters["frames"] = count;
  state.counters["reads"] = blockReads;  // system calls that copied memory, one unwind
}

void backtraceAtBottom(benchmark::State& state) {
  void* frames[kCapacity];
  int count = 0;
  for (auto _ : state) {
    count = backtrace(frames, kCapacity);
    benchmark::DoNotOptimize(frames);
  }
  state.counters["frames"] = count;
}

// Both walks of one stack, once: every frame above the bottom function's
// own must be the same return address.
void compareAtBottom(benchmark::State& state) {
  uint64_t ours[kCapacity];
  void* theirs[kCapacity];
  ucontext_t context;
  getcontext(&context);
  int theirCount = backtrace(theirs, kCapacity);
  DVCRUnwindContext unwind;
  DVCRUnwindInit(&unwind, &context.uc_mcontext);
  int ourCount = 0;
  while (ourCount < kCapacity && DVCRUnwindNextFrame(&unwind)) ours[ourCount++] = DVCRUnwindGetPC(&unwind);
  bool equal = ourCount == theirCount;
  for (int i = 1; equal && i < ourCount; ++i) equal = ours[i] == reinterpret_cast<uintptr_t>(theirs[i]);
  for (auto _ : state) {
  }
  state.counters["frames_equal"] = equal ? 1 : 0;
  std::printf("frames: ours %d, backtrace %d, %s\n", ourCount, theirCount, equal ? "equal" : "DIFFERENT");
}

void BM_UnwindOurs(benchmark::State& state) { deepen(kDepth, state, oursAtBottom); }
void BM_UnwindBacktrace(benchmark::State& state) { deepen(kDepth, state, backtraceAtBottom); }

void BM_FramesEqual(benchmark::State& state) { deepen(kDepth, state, compareAtBottom); }

BENCHMARK(BM_FramesEqual)->Iterations(1);
BENCHMARK(BM_UnwindOurs)->Unit(benchmark::kMicrosecond)->MinTime(1);
BENCHMARK(BM_UnwindBacktrace)->Unit(benchmark::kMicrosecond)->MinTime(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  dvcr_testing::ScopedImageSlots slots;
  slots.addLoadedImages();
  void* warm[4];
  backtrace(warm, 4);  // its first call loads the unwinder library
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  auto ours = reporter.seconds.find("BM_UnwindOurs");
  auto theirs = reporter.seconds.find("BM_UnwindBacktrace");
  if (ours != reporter.seconds.end() && theirs != reporter.seconds.end()) {
    std::printf("\n%-8s %12s %15s %8s\n", "task", "ours (us)", "backtrace (us)", "ratio");
    std::printf("%-8s %12.2f %15.2f %8.3f\n", "unwind", ours->second * 1e6, theirs->second * 1e6,
                ours->second / theirs->second);
  }
  return 0;
}
