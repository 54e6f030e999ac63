// The move picker: every folder in the user's order, a checkmark on the
// note's folder. Tapping another folder moves the note to the top of that
// folder; tapping its own folder closes the picker without a change. A row
// runs the segue "selected", which unwinds to the notes list's "doneMove:".
#pragma once

#include <memory>
#include <string>

#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/UIKit/TableViewController.h"

class NTFolder;
class NTNote;
class NoteTableViewCell;

class MoveNoteViewController : public ui::TableViewController, public cd::FetchedResultsControllerDelegate {
 public:
  MoveNoteViewController() = default;
  std::string typeName() const override { return "MoveNoteViewController"; }

  std::shared_ptr<NTNote> note() const { return note_; }
  // Set before the screen loads.
  void setNote(std::shared_ptr<NTNote> note) { note_ = std::move(note); }

  // Built on first use, in the note's own context; null without a note in
  // a context.
  cd::FetchedResultsController* fetchedResultsController();
  // Title, "Folder" image and the number of notes; nothing without a cell.
  void configureCell(NoteTableViewCell* cell, const NTFolder& folder);

  void viewDidLoad() override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  int numberOfSections(ui::TableView&) override;
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, const ui::IndexPath& path) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return false; }
  void willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath& path) override;

  void controllerWillChangeContent(cd::FetchedResultsController&) override;
  void controllerDidChangeSection(cd::FetchedResultsController&, const cd::FetchedResultsSectionInfo&,
                                  size_t sectionIndex, cd::FetchedResultsChangeType type) override;
  void controllerDidChangeObject(cd::FetchedResultsController&, const std::shared_ptr<cd::ManagedObject>& object,
                                 std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> newIndexPath) override;
  void controllerDidChangeContent(cd::FetchedResultsController&) override;

 private:
  std::shared_ptr<NTFolder> folderAtIndexPath(const ui::IndexPath& path);

  std::shared_ptr<NTNote> note_;
  std::unique_ptr<cd::FetchedResultsController> fetchedResultsController_;
};
