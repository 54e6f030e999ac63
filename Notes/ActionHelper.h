// The hand-over directory between Jotshare and Quillbox: Jotshare saves each
// shared text as one RTFD package in "NotesToImport" of the application
// group's container; Quillbox, when it becomes active, imports every package
// there as a new note.
//
// Packages are written atomically under a hidden name first, so a listing
// never sees half a package, and only packages that were read are deleted:
// one written meanwhile, or one that could not be read, waits for the next
// activation.
#pragma once

#include <optional>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/URL.h"

class ActionHelper {
 public:
  // The hand-over directory, created (with intermediates, errors ignored)
  // on every call; absent when there is no group container.
  static std::optional<ns::URL> URLForNotesToImport();
  // Writes `note` as one package named by a globally unique string with the
  // extension "rtfd". Errors are ignored: the package is then lost.
  static void saveNoteForImport(const ns::AttributedString& note);
  // Reads the packages (extension "rtfd" in any case, hidden entries
  // skipped) in the listing's order and deletes each one read; empty when
  // there are none.
  static std::vector<ns::AttributedString> notesForImport();
};
