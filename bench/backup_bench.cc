// Backups of stores of 2,000 and 20,000 notes of about 1 KB of rich text
// each (10 folders), against the zip tools on the same tree in the same run:
// writing the archive against `zip -qr` of the archive's layout (unpacked
// outside the timing), reading the smaller one back against `unzip -q`.
// Prints the ratio backup / tool per task, the exponent k of the backup's
// time from 2,000 to 20,000 notes (time ~ notes^k), and how much the
// backup's peak memory rose above what the process held before it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/Font.h"
#include "bench/NotesBenchSupport.h"

namespace {

constexpr int kFolders = 10;

std::string scratchDirectory() { return bench::scratchDirectory("backupbench"); }

// About 1 KB of text with a few runs of bold and italic.
ns::AttributedString noteText(int n) {
  std::string body = "Note " + std::to_string(n) + "\n";
  while (body.size() < 1000) body += "The quick brown fox jumps over the lazy dog, then rests by the river. ";
  ns::AttributedString text(body);
  text.addAttribute(ns::kFontAttributeName, ns::AttributeValue(ui::Font::systemFont(17)), ns::Range{0, text.length()});
  text.addAttribute(ns::kFontAttributeName, ns::AttributeValue(ui::Font::boldSystemFont(17)), ns::Range{0, 9});
  text.addAttribute(ns::kFontAttributeName, ns::AttributeValue(ui::Font::boldSystemFont(13)), ns::Range{100, 40});
  return text;
}

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(std::string(key) + ":", 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
  }
  return 0;
}

// One store, its container, one archive of it and the archive's layout
// unpacked as a tree, made once per size.
struct Store {
  std::shared_ptr<cd::PersistentContainer> container;
  std::string archive;
  std::string tree;

  explicit Store(int notes) {
    static bool booted = [] {
      ns::Device::boot(scratchDirectory() + "/device");
      return true;
    }();
    (void)booted;
    std::string path = ns::Device::current().documentsDirectory() + "/Notes-" + std::to_string(notes) + ".sqlite";
    bench::addNotes(path, kFolders, notes / kFolders, noteText);
    container = bench::openNotesStore(path);
    archive = backUp();
    tree = scratchDirectory() + "/tree-" + std::to_string(notes);
    std::system(("unzip -q -o " + bench::shellQuoted(archive) + " -d " + bench::shellQuoted(tree)).c_str());
  }

  // One backup, waited for on the main loop; its archive path.
  std::string backUp() {
    std::mutex mutex;
    std::string path;
    bool done = false;
    NTBackupsManager::startBackup(false, container, [&](float, const NTBackup* backup, const ns::Error* error) {
      std::lock_guard lock(mutex);
      if (backup) path = backup->URL().path();
      if (error) std::fprintf(stderr, "backup: %s\n", error->description().c_str());
      if (backup || error) done = true;
    });
    dispatch::RunLoop::main().runUntil([&] {
      std::lock_guard lock(mutex);
      return done;
    }, 600);
    return path;
  }

  // Reads the archive back; the number of notes read.
  size_t read() {
    std::mutex mutex;
    size_t notes = 0;
    bool done = false;
    NTBackupsManager::openBackup(NTBackup(ns::URL::fileURLWithPath(archive)),
                                 [&](float, const NTBackupsManager::Folders* folders, const ns::Error* error) {
                                   std::lock_guard lock(mutex);
                                   if (folders)
                                     for (const auto& [title, list] : *folders) notes += list.size();
                                   if (folders || error) done = true;
                                 });
    dispatch::RunLoop::main().runUntil([&] {
      std::lock_guard lock(mutex);
      return done;
    }, 600);
    return notes;
  }
};

Store& store(int notes) {
  static std::map<int, std::unique_ptr<Store>> made;
  auto& s = made[notes];
  if (!s) s = std::make_unique<Store>(notes);
  return *s;
}

void backup(benchmark::State& state, int notes) {
  auto& s = store(notes);
  long growthKiB = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // The peak starts again from what the process holds now.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKiB("VmRSS");
    state.ResumeTiming();
    std::string path = s.backUp();
    state.PauseTiming();
    growthKiB = std::max(growthKiB, statusKiB("VmHWM") - before);
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.counters["peak_growth_MiB"] = double(growthKiB) / 1024.0;
}

void zipTree(benchmark::State& state, int notes) {
  auto& s = store(notes);
  std::string out = scratchDirectory() + "/tool.zip";
  const std::string command = "cd " + bench::shellQuoted(s.tree) + " && zip -qr " + bench::shellQuoted(out) + " .";
  for (auto _ : state) {
    int rc = std::system(command.c_str());
    benchmark::DoNotOptimize(rc);
    state.PauseTiming();
    std::filesystem::remove(out);
    state.ResumeTiming();
  }
}

void Backup2k(benchmark::State& state) { backup(state, 2000); }
void Backup20k(benchmark::State& state) { backup(state, 20000); }
void ZipTree2k(benchmark::State& state) { zipTree(state, 2000); }
void ZipTree20k(benchmark::State& state) { zipTree(state, 20000); }

void ReadBack(benchmark::State& state) {
  auto& s = store(2000);
  for (auto _ : state) {
    size_t notes = s.read();
    if (notes != 2000) state.SkipWithError("not every note read back");
  }
}

void Unzip(benchmark::State& state) {
  auto& s = store(2000);
  std::string out = scratchDirectory() + "/unzipped";
  for (auto _ : state) {
    int rc = std::system(("unzip -q -o " + bench::shellQuoted(s.archive) + " -d " + bench::shellQuoted(out)).c_str());
    benchmark::DoNotOptimize(rc);
    state.PauseTiming();
    std::filesystem::remove_all(out);
    state.ResumeTiming();
  }
}

BENCHMARK(Backup2k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ZipTree2k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Backup20k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ZipTree20k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ReadBack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Unzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

class GrowthReporter : public RatioReporter {
 public:
  std::map<std::string, double> growthMiB;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      auto it = run.counters.find("peak_growth_MiB");
      if (it != run.counters.end()) growthMiB[run.run_name.function_name] = it->second.value;
    }
    RatioReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  GrowthReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-10s %12s %12s %8s\n", "task", "backup (ms)", "tool (ms)", "ratio");
  const std::pair<const char*, const char*> pairs[] = {
      {"Backup2k", "ZipTree2k"}, {"Backup20k", "ZipTree20k"}, {"ReadBack", "Unzip"}};
  for (const auto& [ours, tool] : pairs) {
    auto a = reporter.seconds.find(ours), b = reporter.seconds.find(tool);
    if (a == reporter.seconds.end() || b == reporter.seconds.end()) continue;
    std::printf("%-10s %12.1f %12.1f %8.2f\n", ours, a->second * 1e3, b->second * 1e3, a->second / b->second);
  }
  auto small = reporter.seconds.find("Backup2k"), large = reporter.seconds.find("Backup20k");
  if (small != reporter.seconds.end() && large != reporter.seconds.end()) {
    std::printf("\nbackup 2k -> 20k: k = %.3f; peak memory growth %.1f MiB at 2k, %.1f MiB at 20k\n",
                bench::scalingExponent(small->second, large->second, 2000, 20000), reporter.growthMiB["Backup2k"],
                reporter.growthMiB["Backup20k"]);
  }
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
