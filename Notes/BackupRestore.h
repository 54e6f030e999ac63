// Brings chosen notes of a backup into the live store. A restore only adds:
// each note goes to position 0 of the folder of its title, which is made
// (at the next new-folder position, counting from 0) when the store has
// none; nothing in the store is changed or deleted beyond the display
// orders the insertions shift. The notes keep the dates of the backup.
//
// All or nothing: when the store refuses the save (a full disk), every
// insertion is taken back and the orders are put back, so the store and the
// context read as before the restore. Other unsaved changes of the context
// are saved with the restore or, on failure, kept unsaved as they were.
// Runs on the context's queue.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Platform/CoreData/ManagedObjectContext.h"

namespace BackupRestore {

// One note of a backup: its folder's title and its index in that folder.
struct Choice {
  std::string folderTitle;
  size_t noteIndex = 0;
};

// Restores the choices in their order; the number of notes restored, or
// nullopt when the save failed (reported) and nothing was restored. Choices
// naming no note of `folders` are skipped.
std::optional<size_t> restoreNotes(cd::ManagedObjectContext& context, const NTBackupsManager::Folders& folders,
                                   const std::vector<Choice>& choices);

}  // namespace BackupRestore
