// The folder list: the first screen of the master side. A fixed "All Notes"
// row on top (table section 0) and the user's folders below it in their
// order (section s >= 1 shows fetched section s - 1). From here folders are
// added, renamed, deleted and reordered, a folder's notes list is opened,
// all notes are searched and the settings are reached.
//
// It is also the app's navigation hub: its one instance (instance(), set
// when the storyboard wakes it) opens a note, a folder or a new note from
// anywhere, and it saves which folder and note were open when the app goes
// to the background ("NTSelectedIndexesArray" in the group defaults) and
// restores them when its view loads. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/SearchController.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableViewController.h"

class DetailViewController;
class NoteTableViewCell;
class NotesViewController;
class SearchResultsController;

class FoldersViewController : public ui::TableViewController,
                              public cd::FetchedResultsControllerDelegate,
                              public ui::PreviewingDelegate {
 public:
  // Group defaults: [folder row, note row] of what was open; the folder row
  // is -1 for All Notes, the note row counts across the list's sections.
  static constexpr const char* kSelectedIndexesKey = "NTSelectedIndexesArray";
  // Group defaults: the settings badge was seen.
  static constexpr const char* kHideSettingsBadgeKey = "HideSettingsBadge";

  FoldersViewController();
  ~FoldersViewController() override;
  std::string typeName() const override { return "FoldersViewController"; }

  // The folder list, or null before the storyboard woke it.
  static FoldersViewController* instance();

  // Creates an empty note at the top of `folder` and opens it. Without a
  // folder: the folder of the notes list or editor on top, else the default
  // folder.
  void insertNewNoteToFolder(std::shared_ptr<NTFolder> folder, bool animated);
  // Opens a note in the editor, switching the master side to its folder
  // unless All Notes is open. Null does nothing.
  void showNote(std::shared_ptr<NTNote> note, bool animated);
  // Opens a folder's notes list (null: All Notes) unless it is open already.
  void showFolder(std::shared_ptr<NTFolder> folder, bool animated);
  // The notes list on the master navigation stack, or null.
  std::shared_ptr<NotesViewController> notesViewController() const;
  // On a pad the editor on the detail side, else null.
  std::shared_ptr<DetailViewController> detailViewController() const;
  // Drops the fetch (rebuilt on next use) and reloads the table.
  void refetch();
  // Shows or hides the badge on the settings button.
  void updateSettingsBadge();
  bool showingSettingsBadge() const { return showingSettingsBadge_; }

  // The add button: asks for a name, inserts the folder first.
  void addFolderClicked();
  // Unwind from the settings ("doneSettings:").
  void doneSettings(ui::StoryboardSegue& segue);

  // All folders by display order, in the app's main context; built on use.
  // Null while the app has no store.
  cd::FetchedResultsController* fetchedResultsController();
  // The fetched folders in order (empty without a store).
  const std::vector<std::shared_ptr<cd::ManagedObject>>& fetchedFolders();
  bool canMoveRows() const { return canMoveRows_; }

  // Controller.
  void awakeFromNib() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  bool shouldPerformSegue(const std::string& identifier, void* sender) override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  // Table.
  int numberOfSections(ui::TableView&) override;
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, const ui::IndexPath& path) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath& path) override;
  bool canMoveRow(ui::TableView&, const ui::IndexPath& path) override;
  void commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle style, const ui::IndexPath& path) override;
  void moveRow(ui::TableView&, const ui::IndexPath& from, const ui::IndexPath& to) override;
  ui::IndexPath targetIndexPathForMove(ui::TableView&, const ui::IndexPath& from,
                                       const ui::IndexPath& proposed) override;
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override;

  // Fetched-results changes.
  void controllerWillChangeContent(cd::FetchedResultsController&) override;
  void controllerDidChangeSection(cd::FetchedResultsController&, const cd::FetchedResultsSectionInfo&,
                                  size_t sectionIndex, cd::FetchedResultsChangeType type) override;
  void controllerDidChangeObject(cd::FetchedResultsController&, const std::shared_ptr<cd::ManagedObject>& object,
                                 std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> newIndexPath) override;
  void controllerDidChangeContent(cd::FetchedResultsController&) override;

  // Previews of a folder's notes list.
  std::shared_ptr<ui::ViewController> previewingViewController(ui::PreviewingContext& context,
                                                               ui::Point location) override;
  void commitViewController(ui::PreviewingContext& context, std::shared_ptr<ui::ViewController> controller) override;

  std::shared_ptr<ui::SearchController> searchController() const { return searchController_; }
  std::shared_ptr<SearchResultsController> searchResultsController() const { return searchResultsController_; }

 private:
  std::shared_ptr<FoldersViewController> self();
  cd::ManagedObjectContext* context();
  // The folder of a table row; null for All Notes and rows not fetched.
  std::shared_ptr<NTFolder> folderAtIndexPath(const ui::IndexPath& path);
  void configureCell(NoteTableViewCell& cell, const std::shared_ptr<NTFolder>& folder);
  // The folder of the note an editor shows, or null for anything else.
  std::shared_ptr<NTFolder> folderOfEditor(const std::shared_ptr<ui::ViewController>& controller) const;
  // Before leaving for the settings: the pad's editor keeps its note.
  void saveEditorNote();
  // Asks for a folder name; `save` gets one that is not empty or blank,
  // and an empty or blank one is answered with `whenEmpty`, so that a
  // person learns why nothing changed.
  void presentNameAlert(const std::string& title, const std::string& message, const std::string& text,
                        const std::string& whenEmpty, std::function<void(const std::string&)> save);
  void confirmDeleteFolder(const std::shared_ptr<NTFolder>& folder, const ui::IndexPath& path);
  void saveSelection();
  // The notes list's selected row counted across its sections, and back.
  std::optional<int64_t> selectedNotePosition() const;
  void showNoteAtPosition(int64_t position);
  void restoreSelection();

  std::unique_ptr<cd::FetchedResultsController> fetchedResultsController_;
  std::shared_ptr<ui::SearchController> searchController_;
  std::shared_ptr<SearchResultsController> searchResultsController_;
  std::shared_ptr<ui::BarButtonItem> settingsButton_;
  bool canMoveRows_ = false;
  bool userMove_ = false;
  bool showingSettingsBadge_ = false;
  bool selectionAwaitsStore_ = false;  // restored once the app first becomes active
  ns::NotificationCenter::TokenPtr activeObserver_;
  ns::NotificationCenter::TokenPtr timeChangeObserver_;
  ns::NotificationCenter::TokenPtr contentSizeObserver_;
  ns::NotificationCenter::TokenPtr backgroundObserver_;
};
