// One million formatted lines written to a file asynchronously: through the
// file logger (plain, and wrapped in its write buffer) and, in the same run,
// through spdlog's asynchronous file sink with the same line layout.
// Prints each throughput and the ratio.
//
// One run of each side says little on a shared machine: the load changes
// from one to the next. Each side runs several times, the runs of the three
// interleaved in a random order, and the ratio is that of the medians.
#include <benchmark/benchmark.h>
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Libraries/Logging/LKBufferedProxy.h"
#include "Libraries/Logging/LKFileLogger.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKLogFileManagerDefault.h"

namespace {

constexpr int kLines = 1000000;
constexpr int kRuns = 5;
// Every run's figure, by side.
std::map<std::string, std::vector<double>> linesPerSecond;
std::map<std::string, std::vector<double>> callerSeconds;  // the logging thread's own time

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string scratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "logging-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  return pattern;
}

uintmax_t directorySize(const std::string& directory) {
  uintmax_t total = 0;
  for (auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    if (entry.is_regular_file()) total += entry.file_size();
  }
  return total;
}

void runOurs(benchmark::State& state, bool buffered) {
  for (auto _ : state) {
    std::string directory = scratchDirectory();
    auto manager = std::make_shared<LKLogFileManagerDefault>(directory);
    auto logger = LKFileLogger::create(manager);
    logger->setMaximumFileSize(0);  // one file, as the other side writes
    logger->setRollingFrequency(0);
    std::shared_ptr<LKLogger> registered = logger;
    if (buffered) registered = logger->wrapWithBuffer();
    LKLog::addLogger(registered);
    LKLog::flushLog();

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) {
      LKLog::log(true, LKLogLevelInfo, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr,
                 "Saved note %d of folder %@ in %.3f ms", i, "Notes", 1.25);
    }
    double callers = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    LKLog::flushLog();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["caller_s"] = callers;
    linesPerSecond[buffered ? "LKFileLogger, buffered" : "LKFileLogger"].push_back(kLines / seconds);
    callerSeconds[buffered ? "LKFileLogger, buffered" : "LKFileLogger"].push_back(callers);
    state.counters["bytes"] = static_cast<double>(directorySize(directory));

    LKLog::removeAllLoggers();
    LKLog::flushLog();
    registered.reset();
    logger.reset();
    std::filesystem::remove_all(directory);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_FileLogger(benchmark::State& state) { runOurs(state, false); }
void BM_FileLoggerBuffered(benchmark::State& state) { runOurs(state, true); }

void BM_SpdlogAsyncFile(benchmark::State& state) {
  for (auto _ : state) {
    std::string directory = scratchDirectory();
    spdlog::init_thread_pool(8192, 1);
    auto logger = spdlog::create_async<spdlog::sinks::basic_file_sink_mt>("bench", directory + "/bench.log");
    logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v", spdlog::pattern_time_type::utc);

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) logger->info("Saved note {} of folder {} in {:.3f} ms", i, "Notes", 1.25);
    logger->flush();
    spdlog::drop("bench");
    logger.reset();
    spdlog::shutdown();  // joins the worker: every line is written
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    linesPerSecond["spdlog async file sink"].push_back(kLines / seconds);
    state.counters["bytes"] = static_cast<double>(directorySize(directory));
    std::filesystem::remove_all(directory);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}

BENCHMARK(BM_FileLogger)->Iterations(1)->Repetitions(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileLoggerBuffered)->Iterations(1)->Repetitions(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpdlogAsyncFile)->Iterations(1)->Repetitions(kRuns)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The runs of the three sides take turns (a later flag on the command
  // line still wins).
  std::vector<char*> arguments(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave.data());
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double theirs = median(linesPerSecond["spdlog async file sink"]);
  std::printf("medians of %d runs each\n", kRuns);
  for (auto& [name, rates] : linesPerSecond) {
    std::printf("%-24s %12.0f lines/s (%.0f to %.0f)\n", name.c_str(), median(rates),
                *std::min_element(rates.begin(), rates.end()), *std::max_element(rates.begin(), rates.end()));
  }
  for (auto& [name, seconds] : callerSeconds)
    std::printf("%-24s %12.0f ns a line on the caller's thread\n", name.c_str(), median(seconds) * 1e9 / kLines);
  for (const char* ours : {"LKFileLogger", "LKFileLogger, buffered"}) {
    if (linesPerSecond.count(ours) && theirs > 0) {
      std::printf("%s / spdlog: %.3f\n", ours, median(linesPerSecond[ours]) / theirs);
    }
  }
  return 0;
}
