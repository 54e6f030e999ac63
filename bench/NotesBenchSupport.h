// What the benchmarks of the notes app share: a scratch directory for the
// run, a notes store opened at a path, and the line that prints our time
// against a reference's as a ratio.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "bench/RatioReporter.h"

namespace bench {

// A fresh directory under the system's temporary one, made on first use;
// the program removes it at its end.
inline std::string scratchDirectory(const char* prefix) {
  static std::string dir = [prefix] {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return dir;
}

// The app's model in a container whose one store is the file at `path`.
inline std::shared_ptr<cd::PersistentContainer> openNotesStore(const std::string& path) {
  auto container = std::make_shared<cd::PersistentContainer>("Notes", NTDataModel::model());
  container->setPersistentStoreDescriptions({cd::PersistentStoreDescription(path)});
  container->loadPersistentStores([](const cd::PersistentStoreDescription&, const ns::Error* error) {
    if (error) std::fprintf(stderr, "store: %s\n", error->description().c_str());
  });
  return container;
}

// "task  ours (ms)  reference (ms)  ratio" for two benchmarks of the run.
inline void printRatio(const RatioReporter& reporter, const char* task, const char* ours, const char* reference,
                       const char* referenceName) {
  auto a = reporter.seconds.find(ours), b = reporter.seconds.find(reference);
  if (a == reporter.seconds.end() || b == reporter.seconds.end()) return;
  std::printf("\n%-8s %12s %14s %8s\n", "task", "ours (ms)", (std::string(referenceName) + " (ms)").c_str(), "ratio");
  std::printf("%-8s %12.2f %14.2f %8.2f\n", task, a->second * 1e3, b->second * 1e3, a->second / b->second);
}

}  // namespace bench
