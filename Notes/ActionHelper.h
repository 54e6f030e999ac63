// The hand-over directory between Jotshare and Quillbox: Jotshare saves each
// shared text as one RTFD package in "NotesToImport" of the application
// group's container; Quillbox, when it becomes active, imports every package
// there as a new note.
//
// Packages are written atomically under a hidden name first, so a listing
// never sees half a package. Reading deletes nothing: Quillbox removes the
// packages it read only once the notes made from them are saved, so a
// failed save loses no shared text, and a package written meanwhile, or
// one that could not be read, waits for the next activation.
#pragma once

#include <optional>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"

class ActionHelper {
 public:
  // One package read from the hand-over directory.
  struct NoteForImport {
    ns::URL package;
    ns::AttributedString text;
  };

  // The hand-over directory, created (with intermediates, errors ignored)
  // on every call; absent when there is no group container.
  static std::optional<ns::URL> URLForNotesToImport();
  // Writes `note` as one package named by a globally unique string with the
  // extension "rtfd". False, with `error` saying why, when nothing was
  // written: no group container (Cocoa 4), a directory that cannot be made,
  // or a failed write (Cocoa 512, 513 or 640).
  static bool saveNoteForImport(const ns::AttributedString& note, ns::Error* error = nullptr);
  // Reads the packages (extension "rtfd" in any case, hidden entries
  // skipped) in the listing's order; a package that cannot be read is left
  // out. Empty when there are none.
  static std::vector<NoteForImport> notesForImport();
  // Deletes the packages of notes that were imported. Each is first renamed
  // to a hidden name (".<name>.imported"), so a process that ends halfway
  // through deleting one leaves no half package to be read, only a hidden
  // leftover. Errors are ignored: such a package is read again next time.
  static void removeImportedNotes(const std::vector<NoteForImport>& notes);
  // Deletes those hidden leftovers of deletions that did not finish.
  static void removeInterruptedRemovals();
};
