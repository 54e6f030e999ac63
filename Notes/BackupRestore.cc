#include "Notes/BackupRestore.h"

#include <utility>

#include "Notes/NTData.h"

namespace BackupRestore {

namespace {

// The display orders the insertions may shift, to put back on failure.
class OrderSnapshot {
 public:
  explicit OrderSnapshot(cd::ManagedObjectContext& context) {
    for (const auto& folder : NTData::fetchSortedFolders(context)) folders_.emplace_back(folder, folder->displayOrder());
    for (const auto& note : NTData::fetchSortedNotesInFolder(context, nullptr)) notes_.emplace_back(note, note->displayOrder());
  }
  void restore() const {
    for (const auto& [folder, order] : folders_)
      if (folder->displayOrder() != order) folder->setDisplayOrder(order);
    for (const auto& [note, order] : notes_)
      if (note->displayOrder() != order) note->setDisplayOrder(order);
  }

 private:
  std::vector<std::pair<std::shared_ptr<NTFolder>, int32_t>> folders_;
  std::vector<std::pair<std::shared_ptr<NTNote>, int32_t>> notes_;
};

}  // namespace

std::optional<size_t> restoreNotes(cd::ManagedObjectContext& context, const NTBackupsManager::Folders& folders,
                                   const std::vector<Choice>& choices) {
  OrderSnapshot before(context);
  std::vector<std::shared_ptr<cd::ManagedObject>> made;
  size_t newFolders = 0;
  size_t restored = 0;
  for (const auto& choice : choices) {
    auto source = folders.find(choice.folderTitle);
    if (source == folders.end() || choice.noteIndex >= source->second.size()) continue;
    const auto& [date, text] = source->second[choice.noteIndex];
    auto folder = NTData::folderNamed(context, choice.folderTitle);
    if (!folder) {
      folder = NTData::insertNewFolderAtIndex(context, newFolders++);
      folder->setTitle(choice.folderTitle);
      made.push_back(folder);
    }
    auto note = NTData::insertNewNoteAtIndex(context, 0, folder);
    note->setText(&text, date);
    made.push_back(note);
    ++restored;
  }
  if (NTData::saveContext(context, NTData::OnFailure::CallerTakesBack)) return restored;
  // Notes before folders: a folder's delete rule would take its notes along.
  for (auto it = made.rbegin(); it != made.rend(); ++it) context.deleteObject(*it);
  before.restore();
  context.processPendingChanges();
  return std::nullopt;
}

}  // namespace BackupRestore
