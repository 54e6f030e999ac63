#include "Notes/MoveNoteViewController.h"

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/FetchedRowChanges.h"
#include "Notes/ListScreen.h"
#include "Notes/Localized.h"
#include "Notes/NTData.h"
#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Notes/NoteTableViewCell.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

ui::IndexPath toTable(const ns::IndexPath& p) { return ui::IndexPath{int(p.section), int(p.row)}; }

}  // namespace

cd::FetchedResultsController* MoveNoteViewController::fetchedResultsController() {
  if (fetchedResultsController_) return fetchedResultsController_.get();
  if (!note_ || !note_->managedObjectContext()) return nullptr;
  cd::FetchRequest request(NTFolder::kEntityName);
  request.setFetchBatchSize(20);
  request.setSortDescriptors({cd::SortDescriptor("displayOrder", true)});
  fetchedResultsController_ = std::make_unique<cd::FetchedResultsController>(
      request, note_->managedObjectContext()->shared_from_this());
  fetchedResultsController_->setDelegate(std::weak_ptr<cd::FetchedResultsControllerDelegate>(
      std::static_pointer_cast<MoveNoteViewController>(shared_from_this())));
  ns::Error error;
  if (!fetchedResultsController_->performFetch(&error)) QB_REPORT(error);
  return fetchedResultsController_.get();
}

std::shared_ptr<NTFolder> MoveNoteViewController::folderAtIndexPath(const ui::IndexPath& path) {
  auto* frc = fetchedResultsController();
  if (!frc || path.section < 0 || path.row < 0 || size_t(path.section) >= frc->sections().size()) return nullptr;
  const auto& objects = frc->sections()[size_t(path.section)].objects();
  if (size_t(path.row) >= objects.size()) return nullptr;
  return std::dynamic_pointer_cast<NTFolder>(objects[size_t(path.row)]);
}

void MoveNoteViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setTitle(notes::localized("Move Note"));
  navigationItem().setPrompt(note_ ? note_->title().value_or("") : std::string());
  tableView().registerCell(kCellIdentifier, [] {
    auto cell = std::make_shared<NoteTableViewCell>(kCellIdentifier);
    cell->setSegueIdentifier("selected");
    return cell;
  });
  notes::styleListScreen(*this);
}

void MoveNoteViewController::configureCell(NoteTableViewCell* cell, const NTFolder& folder) {
  if (!cell) return;
  cell->noteTitleLabel()->setText(folder.title().value_or(""));
  cell->noteImageView()->setImage(ui::Image::named("Folder"));
  cell->noteDateLabel()->setText(ns::format("%@", static_cast<long long>(folder.countOfNotes())));
  cell->setNeedsLayout();
}

int MoveNoteViewController::numberOfSections(ui::TableView&) {
  auto* frc = fetchedResultsController();
  return frc ? int(frc->sections().size()) : 0;
}

int MoveNoteViewController::numberOfRows(ui::TableView&, int section) {
  auto* frc = fetchedResultsController();
  if (!frc || section < 0 || size_t(section) >= frc->sections().size()) return 0;
  return int(frc->sections()[size_t(section)].numberOfObjects());
}

std::shared_ptr<ui::TableViewCell> MoveNoteViewController::cellForRow(ui::TableView& table,
                                                                      const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell(kCellIdentifier, path);
  if (auto folder = folderAtIndexPath(path)) configureCell(dynamic_cast<NoteTableViewCell*>(cell.get()), *folder);
  return cell;
}

void MoveNoteViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath& path) {
  // Cleared as well as set: a reused cell must not keep the mark of the
  // folder it showed before.
  auto folder = folderAtIndexPath(path);
  bool current = folder && note_ && folder == note_->folder();
  cell.setAccessoryType(current ? ui::TableViewCellAccessoryType::Checkmark : ui::TableViewCellAccessoryType::None);
}

void MoveNoteViewController::prepareForSegue(ui::StoryboardSegue& segue, void* sender) {
  if (segue.identifier() != "selected" || !note_) return;
  auto* cell = static_cast<ui::TableViewCell*>(sender);
  std::optional<ui::IndexPath> path = cell ? tableView().indexPathForCell(cell) : std::nullopt;
  auto folder = path ? folderAtIndexPath(*path) : nullptr;
  if (!folder || folder == note_->folder()) return;
  cd::ManagedObjectContext* context = note_->managedObjectContext();
  if (!context) return;
  NTData::moveNote(*context, note_, 0, folder);
  NTData::saveContext(*context);
}

void MoveNoteViewController::controllerWillChangeContent(cd::FetchedResultsController&) {
  if (isViewLoaded()) tableView().beginUpdates();
}

void MoveNoteViewController::controllerDidChangeSection(cd::FetchedResultsController&,
                                                        const cd::FetchedResultsSectionInfo&, size_t sectionIndex,
                                                        cd::FetchedResultsChangeType type) {
  if (!isViewLoaded()) return;
  notes::applyFetchedSectionChange(tableView(), type, int(sectionIndex));
}

void MoveNoteViewController::controllerDidChangeObject(cd::FetchedResultsController&,
                                                       const std::shared_ptr<cd::ManagedObject>& object,
                                                       std::optional<ns::IndexPath> indexPath,
                                                       cd::FetchedResultsChangeType type,
                                                       std::optional<ns::IndexPath> newIndexPath) {
  if (!isViewLoaded()) return;
  auto& table = tableView();
  auto reconfigure = [&](ui::TableViewCell& cell, const ui::IndexPath&) {
    auto folder = std::dynamic_pointer_cast<NTFolder>(object);
    if (folder) configureCell(dynamic_cast<NoteTableViewCell*>(&cell), *folder);
  };
  notes::applyFetchedRowChange(table, type, indexPath, newIndexPath, toTable, reconfigure);
}

void MoveNoteViewController::controllerDidChangeContent(cd::FetchedResultsController&) {
  if (isViewLoaded()) tableView().endUpdates();
}
