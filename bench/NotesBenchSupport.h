// What the benchmarks of the notes app share: a scratch directory for the
// run and a notes store opened at a path (the ratio line is RatioReporter.h's).
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

}  // namespace bench
