// Turns the texts Jotshare handed over (ActionHelper's packages) into new
// notes at the top of the default folder, each exactly once however the
// process ends.
//
// Each note keeps the name of the package it was made from
// (NTNote::importedPackage), stored in the same save as the note itself.
// Packages are deleted only after that save, and a package whose note is
// already stored (a run that ended between the save and the deletion) is
// deleted without making a second note. A save that fails takes the notes
// out of the context again: the packages wait for the next activation.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "Platform/CoreData/ManagedObjectContext.h"

class HandOverImport {
 public:
  // Imports what is waiting, on the context's queue (the main context on
  // the main thread); the number of notes made and saved.
  static size_t importNotes(cd::ManagedObjectContext& context);

  // For tests that end the process between the steps of an import: called
  // after each one, on the importing thread: "read" (the packages),
  // "inserted" (the notes, not yet saved), "saved", and "removed" after
  // each package deleted. Empty: nothing is called.
  static void setStepObserver(std::function<void(std::string_view step)> observer);
};
