// The notes list: the notes of one folder, or of every folder grouped by
// folder ("All Notes"), in the order the settings choose (newest first,
// by title, or by hand). From here a note is opened in the editor, deleted,
// moved to another folder, given a reminder, or dragged into place.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/CoreData/ManagedObjectID.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/IndexPath.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/TableViewController.h"

class NTFolder;
class NTNote;
class NoteTableViewCell;

namespace ui {
class SearchController;
}

class NotesViewController : public ui::TableViewController,
                            public cd::FetchedResultsControllerDelegate,
                            public ui::PreviewingDelegate {
 public:
  // Seconds after a drag before the table reloads what the store made of it.
  static constexpr double kReloadAfterMoveDelay = 0.3;

  NotesViewController();
  ~NotesViewController() override;
  std::string typeName() const override { return "NotesViewController"; }

  // Null: All Notes.
  std::shared_ptr<NTFolder> folder() const { return folder_; }
  void setFolder(std::shared_ptr<NTFolder> folder) { folder_ = std::move(folder); }

  // Opens a note of this list in the editor. Nothing for a path outside
  // the list.
  void showNoteAtIndexPath(const ns::IndexPath& indexPath, bool animated);
  // Nothing for null or a note that is not in the list.
  void showNote(std::shared_ptr<NTNote> note, bool animated);
  // Reads the folder again (null when it is gone), drops the fetch and
  // reloads the table.
  void refetch();
  // Selects the row of the note that the editor shows (pad only).
  void updateSelectedNoteFromDetailsView();
  // A cell's date text: the short time for today, else the short date,
  // naming days next to today.
  std::string stringFromDate(ns::Date date) const;

  // Built on first use after each refetch, in the main context; null while
  // the app has no store.
  cd::FetchedResultsController* fetchedResultsController();
  // Only the manual order lets rows be dragged.
  bool canMoveRows() const { return canMoveRows_; }
  // The note of a row, or null.
  std::shared_ptr<NTNote> noteAtIndexPath(const ui::IndexPath& path);
  std::shared_ptr<ui::SearchController> searchController() const { return searchController_; }

  // Unwind actions: "doneSettings:" and "doneMove:".
  void doneSettings(ui::StoryboardSegue& segue);
  void doneMove(ui::StoryboardSegue& segue);

  void awakeFromNib() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void setEditing(bool editing, bool animated) override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  // Table.
  int numberOfSections(ui::TableView&) override;
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, const ui::IndexPath& path) override;
  std::string titleForHeader(ui::TableView&, int section) override;
  double heightForHeader(ui::TableView&, int section) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return true; }
  bool canMoveRow(ui::TableView&, const ui::IndexPath&) override { return canMoveRows_; }
  void commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle style, const ui::IndexPath& path) override;
  void moveRow(ui::TableView&, const ui::IndexPath& from, const ui::IndexPath& to) override;
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override;
  std::optional<std::vector<std::shared_ptr<ui::TableViewRowAction>>> editActionsForRow(
      ui::TableView&, const ui::IndexPath& path) override;

  // Fetched results.
  void controllerWillChangeContent(cd::FetchedResultsController&) override;
  void controllerDidChangeSection(cd::FetchedResultsController&, const cd::FetchedResultsSectionInfo&,
                                  size_t sectionIndex, cd::FetchedResultsChangeType type) override;
  void controllerDidChangeObject(cd::FetchedResultsController&, const std::shared_ptr<cd::ManagedObject>& object,
                                 std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> newIndexPath) override;
  void controllerDidChangeContent(cd::FetchedResultsController&) override;

  // Previews.
  std::shared_ptr<ui::ViewController> previewingViewController(ui::PreviewingContext& context,
                                                               ui::Point location) override;
  void commitViewController(ui::PreviewingContext& context, std::shared_ptr<ui::ViewController> controller) override;

 private:
  std::shared_ptr<NotesViewController> self();
  void configureCell(NoteTableViewCell& cell, const NTNote& note, bool animated);
  void confirmDelete(const ui::IndexPath& path);
  void deleteNote(const std::shared_ptr<NTNote>& note);
  void showReminderEditor(const std::shared_ptr<NTNote>& note);
  size_t numberOfNotes();
  const std::vector<cd::FetchedResultsSectionInfo>& sections();
  std::optional<ui::IndexPath> indexPathOfNote(const std::shared_ptr<NTNote>& note);

  std::shared_ptr<NTFolder> folder_;
  std::optional<cd::ManagedObjectID> folderObjectID_;
  std::unique_ptr<cd::FetchedResultsController> fetchedResultsController_;
  std::shared_ptr<ui::SearchController> searchController_;
  std::shared_ptr<ui::ViewController> searchResultsController_;
  bool canMoveRows_ = false;
  bool userMove_ = false;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
};
