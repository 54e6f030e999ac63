// What the benchmarks of the notes app share: a scratch directory for the
// run, a notes store opened at a path and filled with many notes quickly,
// and programs run as a person would start them, with their peak memory
// (the ratio line is RatioReporter.h's).
#pragma once

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "bench/BenchDevice.h"
#include "bench/RatioReporter.h"

namespace bench {

// The app's model in a container whose one store is the file at `path`.
inline std::shared_ptr<cd::PersistentContainer> openNotesStore(const std::string& path) {
  auto container = std::make_shared<cd::PersistentContainer>("Notes", NTDataModel::model());
  container->setPersistentStoreDescriptions({cd::PersistentStoreDescription(path)});
  container->loadPersistentStores([](const cd::PersistentStoreDescription&, const ns::Error* error) {
    if (error) std::fprintf(stderr, "store: %s\n", error->description().c_str());
  });
  return container;
}

// Adds `folders` folders below those the store has, with `notesPerFolder`
// notes each, numbered 0.. within their folder: note n (counted over the
// whole call from `firstNote`) gets the text `textOf(n)` and a time stamp
// that grows with n. Saved in parts on fresh contexts, so that filling a
// store of 100,000 notes costs neither quadratic time nor its size in memory.
inline void addNotes(const std::string& storePath, int folders, int notesPerFolder,
                     const std::function<ns::AttributedString(int)>& textOf, int firstNote = 0) {
  auto container = openNotesStore(storePath);
  constexpr int kNotesPerSave = 5000;
  int n = firstNote;
  for (int f = 0; f < folders; ++f) {
    cd::ManagedObjectID folderID;
    {
      auto& context = *container->viewContext();
      auto existing = NTData::countTotalFolders(context);
      auto folder = NTData::insertNewFolderAtIndex(context, existing);
      folder->setTitle("Folder " + std::to_string(existing));
      NTData::saveContext(context);
      folderID = folder->objectID();
    }
    for (int first = 0; first < notesPerFolder; first += kNotesPerSave) {
      auto context = container->newBackgroundContext();
      context->performAndWait([&] {
        auto folder = std::dynamic_pointer_cast<NTFolder>(context->objectWithID(folderID));
        for (int i = first; i < std::min(notesPerFolder, first + kNotesPerSave); ++i) {
          auto note = context->insertNewObject<NTNote>(NTNote::kEntityName);
          note->setFolder(folder);
          note->setDisplayOrder(i);
          ns::AttributedString text = textOf(n);
          note->setText(&text, ns::Date(700000000.0 + n));
          ++n;
        }
        if (!context->save(nullptr)) std::fprintf(stderr, "store: a part of the notes was not saved\n");
      });
    }
  }
}

inline std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs `argv` with its output to /dev/null (or to `output`); its exit
// status, and its peak resident memory in bytes in *peak when given.
inline int runProgram(const std::vector<std::string>& argv, long* peak = nullptr,
                      const std::string& output = "/dev/null") {
  pid_t child = ::fork();
  if (child == 0) {
    std::FILE* out = std::freopen(output.c_str(), "w", stdout);
    if (!out) ::_exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return -1;
  if (peak) *peak = usage.ru_maxrss * 1024L;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The exponent k of time = c * size^k between two sizes.
inline double scalingExponent(double smallSeconds, double largeSeconds, double smallSize, double largeSize) {
  return std::log(largeSeconds / smallSeconds) / std::log(largeSize / smallSize);
}

}  // namespace bench
