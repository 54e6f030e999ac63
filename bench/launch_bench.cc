// Launch at scale, whole processes started the same way:
// - the host program run with a script that only shows its first screen
//   (the folder list), on devices of 1,000, 10,000 and 100,000 notes in 100
//   folders, against the sqlite3 tool opening the same store and selecting
//   the rows that screen shows (each folder's title and count, and the
//   count of all notes);
// - the same launch on devices whose notes (10,000 and 100,000) lie in one
//   folder, with the program's peak memory.
// Prints the ratio launch / sqlite3 per size, and how the time grows with
// the store.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Device.h"
#include "bench/NotesBenchSupport.h"

#ifndef QUILLBOX_HOST_PATH
#error "QUILLBOX_HOST_PATH names the host program"
#endif

namespace {

constexpr int kFolders = 100;
constexpr int kFirstScreenRows = 16;  // the rows a phone shows

std::string scratchDirectory() { return bench::scratchDirectory("launchbench"); }

std::string script() {
  static std::string path = [] {
    std::string p = scratchDirectory() + "/first-screen.txt";
    std::ofstream(p) << "screen\n";
    return p;
  }();
  return path;
}

std::vector<std::string> launchCommand(const std::string& device) {
  return {QUILLBOX_HOST_PATH, "--device", device, "--script", script()};
}

// A device after its first launch (the app's one-time work: its "Notes"
// folder with a first note), with notes added then, as a person would:
// the measured launches are the ones made every day after.
struct Device {
  std::string directory;
  std::string store;

  Device(const std::string& name, int folders, int notesPerFolder) {
    directory = scratchDirectory() + "/" + name;
    bench::runProgram(launchCommand(directory));
    ns::Device::boot(directory);
    store = ns::Device::current().documentsDirectory() + "/Notes.sqlite";
    bench::addNotes(store, folders, notesPerFolder, [](int n) {
      return ns::AttributedString("Note " + std::to_string(n) + "\nA line or two of what the note says.");
    });
    std::string shown = scratchDirectory() + "/" + name + "-screen.txt";
    bench::runProgram(launchCommand(directory), nullptr, shown);
    std::fprintf(stderr, "The first screen of every launch on %s:\n%s\n", name.c_str(), bench::readFile(shown).c_str());
  }
};

Device& device(const std::string& name, int folders, int notesPerFolder) {
  static std::map<std::string, std::unique_ptr<Device>> made;
  auto& d = made[name];
  if (!d) d = std::make_unique<Device>(name, folders, notesPerFolder);
  return *d;
}

// The folder list's rows: each folder's title and number of notes, in
// order, and the number of all notes for its first row.
const char* const kFolderListQuery =
    "SELECT COUNT(*) FROM Note; SELECT f.title, (SELECT COUNT(*) FROM Note n WHERE n.folder = f._pk) FROM Folder f "
    "ORDER BY f.displayOrder LIMIT ";

void launch(benchmark::State& state, const Device& d) {
  long peak = 0;
  for (auto _ : state) {
    if (bench::runProgram(launchCommand(d.directory), &peak) != 0) state.SkipWithError("the host program failed");
  }
  state.counters["peak_MiB"] = double(peak) / (1024.0 * 1024.0);
}

void sqlite3FirstScreen(benchmark::State& state, const Device& d) {
  const std::string query = kFolderListQuery + std::to_string(kFirstScreenRows);
  for (auto _ : state) {
    if (bench::runProgram({"sqlite3", d.store, query}) != 0) state.SkipWithError("sqlite3 failed");
  }
}

struct Size {
  const char* label;
  int notes;
};
constexpr Size kSizes[] = {{"1k", 1000}, {"10k", 10000}, {"100k", 100000}};
constexpr Size kOneFolderSizes[] = {{"10k", 10000}, {"100k", 100000}};

void registerBenchmarks() {
  for (const Size& size : kSizes) {
    const std::string name = std::string("spread") + size.label;
    const int perFolder = size.notes / kFolders;
    benchmark::RegisterBenchmark(("Launch" + std::string(size.label)).c_str(), [=](benchmark::State& state) {
      launch(state, device(name, kFolders, perFolder));
    })->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark(("Sqlite3FirstScreen" + std::string(size.label)).c_str(),
                                 [=](benchmark::State& state) {
                                   sqlite3FirstScreen(state, device(name, kFolders, perFolder));
                                 })
        ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
  }
  for (const Size& size : kOneFolderSizes) {
    const std::string name = std::string("onefolder") + size.label;
    benchmark::RegisterBenchmark(("LaunchOneFolder" + std::string(size.label)).c_str(), [=](benchmark::State& state) {
      launch(state, device(name, 1, size.notes));
    })->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
  }
}

class PeakReporter : public RatioReporter {
 public:
  std::map<std::string, double> peakMiB;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      auto it = run.counters.find("peak_MiB");
      if (it != run.counters.end()) peakMiB[run.run_name.function_name] = it->second.value;
    }
    RatioReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  registerBenchmarks();
  PeakReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto seconds = [&](const std::string& name) {
    auto it = reporter.seconds.find(name);
    return it == reporter.seconds.end() ? 0.0 : it->second;
  };
  for (const Size& size : kSizes) {
    std::string label = std::string("launch ") + size.label;
    bench::printRatio(reporter, label.c_str(), ("Launch" + std::string(size.label)).c_str(),
                      ("Sqlite3FirstScreen" + std::string(size.label)).c_str(), "sqlite3");
  }
  if (seconds("Launch10k") > 0 && seconds("Launch100k") > 0)
    std::printf("\nlaunch 100k / launch 10k: %.2f\n", seconds("Launch100k") / seconds("Launch10k"));
  if (seconds("LaunchOneFolder10k") > 0 && seconds("LaunchOneFolder100k") > 0) {
    std::printf("one folder: 100k / 10k: %.2f; peak memory %.1f MiB at 10k, %.1f MiB at 100k\n",
                seconds("LaunchOneFolder100k") / seconds("LaunchOneFolder10k"), reporter.peakMiB["LaunchOneFolder10k"],
                reporter.peakMiB["LaunchOneFolder100k"]);
  }
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
