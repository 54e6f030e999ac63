// Backups of a store of 2,000 notes of about 1 KB of rich text each,
// against the zip tools on the same tree in the same run: writing the
// archive against `zip -qr` of the archive's layout, reading it back
// against `unzip -q`. Prints the ratio backup / tool per task.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Font.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kFolders = 10;
constexpr int kNotesPerFolder = 200;

std::string scratchDirectory() {
  static std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "backupbench.XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return dir;
}

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

// The device, the store and its container, made once.
struct Fixture {
  std::shared_ptr<cd::PersistentContainer> container;
  std::string tree;     // the archive's layout, unpacked by unzip
  std::string archive;  // one archive of the writer, kept for reading

  Fixture() {
    ns::Device::boot(scratchDirectory() + "/device");
    std::string storePath = ns::Device::current().documentsDirectory() + "/Notes.sqlite";
    container = std::make_shared<cd::PersistentContainer>("Notes", NTDataModel::model());
    container->setPersistentStoreDescriptions({cd::PersistentStoreDescription(storePath)});
    container->loadPersistentStores([](const cd::PersistentStoreDescription&, const ns::Error* error) {
      if (error) std::fprintf(stderr, "store: %s\n", error->description().c_str());
    });
    auto& context = *container->viewContext();
    int n = 0;
    for (int f = 0; f < kFolders; ++f) {
      auto folder = NTData::insertNewFolderAtIndex(context, static_cast<size_t>(f));
      folder->setTitle("Folder " + std::to_string(f));
      for (int i = 0; i < kNotesPerFolder; ++i) {
        auto note = NTData::insertNewNoteAtIndex(context, static_cast<size_t>(i), folder);
        ns::AttributedString text = noteText(n++);
        note->setText(&text, ns::Date(700000000.0 + n));
      }
    }
    NTData::saveContext(context);
    archive = backUp();
    tree = scratchDirectory() + "/tree";
    std::system(("unzip -q -o '" + archive + "' -d '" + tree + "'").c_str());
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

Fixture& fixture() {
  static Fixture f;
  return f;
}

void Backup(benchmark::State& state) {
  auto& f = fixture();
  for (auto _ : state) {
    std::string path = f.backUp();
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
}

void ZipTree(benchmark::State& state) {
  auto& f = fixture();
  std::string out = scratchDirectory() + "/tool.zip";
  for (auto _ : state) {
    int rc = std::system(("cd '" + f.tree + "' && zip -qr '" + out + "' .").c_str());
    benchmark::DoNotOptimize(rc);
    state.PauseTiming();
    std::filesystem::remove(out);
    state.ResumeTiming();
  }
}

void ReadBack(benchmark::State& state) {
  auto& f = fixture();
  for (auto _ : state) {
    size_t notes = f.read();
    if (notes != kFolders * kNotesPerFolder) state.SkipWithError("not every note read back");
  }
}

void Unzip(benchmark::State& state) {
  auto& f = fixture();
  std::string out = scratchDirectory() + "/unzipped";
  for (auto _ : state) {
    int rc = std::system(("unzip -q -o '" + f.archive + "' -d '" + out + "'").c_str());
    benchmark::DoNotOptimize(rc);
    state.PauseTiming();
    std::filesystem::remove_all(out);
    state.ResumeTiming();
  }
}

BENCHMARK(Backup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ZipTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ReadBack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Unzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-10s %12s %12s %8s\n", "task", "backup (ms)", "tool (ms)", "ratio");
  const std::pair<const char*, const char*> pairs[] = {{"Backup", "ZipTree"}, {"ReadBack", "Unzip"}};
  for (const auto& [ours, tool] : pairs) {
    auto a = reporter.seconds.find(ours), b = reporter.seconds.find(tool);
    if (a == reporter.seconds.end() || b == reporter.seconds.end()) continue;
    std::printf("%-10s %12.1f %12.1f %8.2f\n", ours, a->second * 1e3, b->second * 1e3, a->second / b->second);
  }
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
