// The one set of operations on notes and folders, on any context: ordering,
// insertion, moving, deletion, sorted fetches, counts and saving.
//
// Within one folder the notes' display orders are 0..n-1 in their shown
// order, and the folders' are 0..m-1; every operation here keeps that.
// Nothing saves except saveContext, fixDisplayOrders and deleteEmptyNotes.
// saveContext and fixDisplayOrders run on the context's queue themselves;
// the rest must be called there. Fetch failures give empty results.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Platform/CoreData/ManagedObjectContext.h"

namespace NTData {

// The message recorded when the renumbering had to repair something.
inline constexpr const char* kFixDisplayOrdersMessage = "Did fix display orders. Saving...";

// Posted when a save of saveContext fails, on the saving thread; object:
// the context; user info: the store's error as its domain ("domain"), code
// ("code") and description (NSLocalizedDescription). The app tells the
// person from it.
inline constexpr const char* kSaveDidFailNotification = "NTDataSaveDidFailNotification";

// What a failed save leaves behind: the changes, waiting in the context for
// the next save that can be written (the failure is posted, so the app
// tells the person), or nothing, because the caller takes its changes back
// at once and says so itself (a restore).
enum class OnFailure { KeepChanges, CallerTakesBack };

// Saves when the context has changes; true only when the save succeeded.
// A success stamps "LastSaveDate" in the group defaults; a failure is
// reported, posted (kSaveDidFailNotification) unless the caller takes its
// changes back, and leaves the changes in the context.
bool saveContext(cd::ManagedObjectContext& context, OnFailure onFailure = OnFailure::KeepChanges);

// Renumbers all folders and the notes of each folder; when anything
// changed, reports that once and saves. A walk that found (or left) every
// order in place is not made again until something is saved to the store
// or the context holds unsaved changes, also across launches: the walk
// leaves the store's save count in the store as its mark.
void fixDisplayOrders(cd::ManagedObjectContext& context);
// Called at each walk that reads the notes (for tests; null: none).
void setDisplayOrderWalkObserver(std::function<void()> observer);
// Gives each object its index in `objects` as display order.
void fixDisplayOrders(const std::vector<std::shared_ptr<NTNote>>& objects);
void fixDisplayOrders(const std::vector<std::shared_ptr<NTFolder>>& objects);

std::shared_ptr<NTFolder> defaultFolder(cd::ManagedObjectContext& context);
std::shared_ptr<NTFolder> folderNamed(cd::ManagedObjectContext& context, const std::string& title);
std::vector<std::shared_ptr<NTFolder>> fetchSortedFolders(cd::ManagedObjectContext& context);
// The folder's notes, or every note when `folder` is null. With a batch
// size the notes come as faults, read a batch at a time when touched.
std::vector<std::shared_ptr<NTNote>> fetchSortedNotesInFolder(cd::ManagedObjectContext& context,
                                                             const std::shared_ptr<NTFolder>& folder,
                                                             size_t batchSize = 0);
// ns::kNotFound when the count fails.
size_t countTotalFolders(cd::ManagedObjectContext& context);
size_t countTotalNotes(cd::ManagedObjectContext& context);

// Indices beyond the list are taken as its end.
std::shared_ptr<NTFolder> insertNewFolderAtIndex(cd::ManagedObjectContext& context, size_t index);
void moveFolder(cd::ManagedObjectContext& context, const std::shared_ptr<NTFolder>& folder, size_t index);
// Deletes the folder with its notes and renumbers the other folders.
void deleteFolder(cd::ManagedObjectContext& context, const std::shared_ptr<NTFolder>& folder);

// A new note with an empty text at `index` of `folder` (null: the default
// folder, which may itself be none).
std::shared_ptr<NTNote> insertNewNoteAtIndex(cd::ManagedObjectContext& context, size_t index,
                                             std::shared_ptr<NTFolder> folder);
// Moves a note to `index` of `folder` (null: its own folder).
void moveNote(cd::ManagedObjectContext& context, const std::shared_ptr<NTNote>& note, size_t index,
              std::shared_ptr<NTFolder> folder);
void deleteNote(cd::ManagedObjectContext& context, const std::shared_ptr<NTNote>& note);
// Deletes every note whose text is empty or only white space and line
// breaks, renumbering their folders, and saves when there was one.
void deleteEmptyNotes(cd::ManagedObjectContext& context);

}  // namespace NTData
