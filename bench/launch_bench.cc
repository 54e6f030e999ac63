// Launch at scale: the host program run with a script that only shows its
// first screen, on a device holding 10,000 notes in 100 folders, against
// the sqlite3 tool opening the same store and selecting the rows that
// screen shows (the first screenful of the first folder's notes). Both are
// whole processes started the same way. Prints the ratio launch / sqlite3.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Format.h"
#include "bench/NotesBenchSupport.h"

#ifndef QUILLBOX_HOST_PATH
#error "QUILLBOX_HOST_PATH names the host program"
#endif

namespace {

constexpr int kFolders = 100;
constexpr int kNotesPerFolder = 100;
constexpr int kFirstScreenRows = 16;  // the rows a phone shows

std::string scratchDirectory() { return bench::scratchDirectory("launchbench"); }

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

// The device with its store, made once in this process (the host program
// boots the same directory in its own).
struct Fixture {
  std::string device = scratchDirectory() + "/device";
  std::string store;
  std::string script = scratchDirectory() + "/first-screen.txt";
  std::string query;

  Fixture() {
    std::ofstream(script) << "screen\n";
    // The first launch does the app's one-time work (its "Notes" folder
    // with a first note); the notes are added after it, as a person would,
    // and the measured launches are the ones made every day after.
    showFirstScreen(scratchDirectory() + "/first-launch.txt");
    ns::Device::boot(device);
    store = ns::Device::current().documentsDirectory() + "/Notes.sqlite";
    {
      auto container = bench::openNotesStore(store);
      auto& context = *container->viewContext();
      int n = 0;
      auto folders = NTData::fetchSortedFolders(context);
      for (int f = 0; f < kFolders; ++f) {
        std::shared_ptr<NTFolder> folder;
        if (static_cast<size_t>(f) < folders.size()) {
          folder = folders[static_cast<size_t>(f)];
        } else {
          folder = NTData::insertNewFolderAtIndex(context, static_cast<size_t>(f));
          folder->setTitle("Folder " + std::to_string(f));
        }
        for (size_t i = folder->notes().size(); i < kNotesPerFolder; ++i) {
          auto note = NTData::insertNewNoteAtIndex(context, i, folder);
          ns::AttributedString text("Note " + std::to_string(n++) + "\nA line or two of what the note says.");
          note->setText(&text, ns::Date(700000000.0 + n));
        }
      }
      NTData::saveContext(context);
    }
    query = "SELECT n.title, n.timeStamp FROM Note n WHERE n.folder = (SELECT _pk FROM Folder ORDER BY displayOrder "
            "LIMIT 1) ORDER BY n.displayOrder LIMIT " +
            std::to_string(kFirstScreenRows);
    std::string shown = showFirstScreen(scratchDirectory() + "/second-launch.txt");
    std::fprintf(stderr, "The first screen of every launch measured:\n%s\n", shown.c_str());
  }

  std::string showFirstScreen(const std::string& output) {
    std::system((std::string(QUILLBOX_HOST_PATH) + " --device " + shellQuoted(device) + " --script " +
                 shellQuoted(script) + " > " + shellQuoted(output))
                    .c_str());
    std::ifstream in(output);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void Launch(benchmark::State& state) {
  auto& f = fixture();
  const std::string command = std::string(QUILLBOX_HOST_PATH) + " --device " + shellQuoted(f.device) + " --script " +
                              shellQuoted(f.script) + " > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("the host program failed");
  }
}

void Sqlite3FirstScreen(benchmark::State& state) {
  auto& f = fixture();
  const std::string command = "sqlite3 " + shellQuoted(f.store) + " \"" + f.query + "\" > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 failed");
  }
}

BENCHMARK(Launch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Sqlite3FirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "launch", "Launch", "Sqlite3FirstScreen", "sqlite3");
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
