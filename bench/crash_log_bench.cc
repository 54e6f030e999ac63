// 100,000 lines through the crash reporter's user log (DVCRLog: formatted,
// handed to the logging queue, appended to the report folder's A/B log
// files, each line opened, written and closed so a crash loses none) and, in
// the same run, through spdlog's basic file sink flushed after every line.
// Prints both rates and the ratio.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/tests/TestCrashContext.h"

namespace {

constexpr int kLines = 100000;
std::map<std::string, double> linesPerSecond;

std::string scratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "crash-log-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  return pattern;
}

void BM_DVCRLog(benchmark::State& state) {
  for (auto _ : state) {
    std::string directory = scratchDirectory();
    if (!dvcr_testing::buildTestCrashContext(directory + "/report", directory + "/previously-crashed", {}, nullptr)) {
      state.SkipWithError("no crash context");
      return;
    }
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) DVCRLog("Saved note %d of folder %@ in %.3f ms", i, "Notes", 1.25);
    dvcr_testing::drainLoggingQueue();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    linesPerSecond["DVCRLog"] = kLines / seconds;
    dvcr_testing::takeDownTestCrashContext();
    std::filesystem::remove_all(directory);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_SpdlogFlushedFile(benchmark::State& state) {
  for (auto _ : state) {
    std::string directory = scratchDirectory();
    auto logger = spdlog::basic_logger_mt("crash-log-bench", directory + "/bench.log");
    logger->flush_on(spdlog::level::trace);  // every line reaches the file
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) logger->info("Saved note {} of folder {} in {:.3f} ms", i, "Notes", 1.25);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    linesPerSecond["spdlog basic file sink"] = kLines / seconds;
    spdlog::drop("crash-log-bench");
    std::filesystem::remove_all(directory);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

BENCHMARK(BM_DVCRLog)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpdlogFlushedFile)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (auto& [name, rate] : linesPerSecond) std::printf("%-24s %12.0f lines/s\n", name.c_str(), rate);
  double theirs = linesPerSecond["spdlog basic file sink"];
  if (linesPerSecond.count("DVCRLog") && theirs > 0) {
    std::printf("DVCRLog / spdlog: %.3f\n", linesPerSecond["DVCRLog"] / theirs);
  }
  return 0;
}
