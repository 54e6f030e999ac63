// Search results: the notes whose plain text contains the search text,
// ignoring case and diacritics, from all folders, newest first. The folder
// list and each notes list hand their own instance to their search
// controller as results controller and updater; choosing a result opens the
// note through the folder list. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Notes/NTNote.h"
#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/UIKit/SearchController.h"
#include "Platform/UIKit/TableViewController.h"

class SearchResultsController : public ui::TableViewController,
                                public ui::SearchResultsUpdating,
                                public cd::FetchedResultsControllerDelegate {
 public:
  SearchResultsController();
  std::string typeName() const override { return "SearchResultsController"; }

  // The current search text; none before the first update.
  const std::optional<std::string>& searchString() const { return searchString_; }
  // Notes matching the search text, in the app's main context; built on
  // use; null while the app has no store.
  cd::FetchedResultsController* fetchedResultsController();
  // The note at a row, or null.
  std::shared_ptr<NTNote> noteAtIndexPath(const ui::IndexPath& path);

  // Every change of the search text: take it and fetch again.
  void updateSearchResults(ui::SearchController& controller) override;

  int numberOfSections(ui::TableView&) override;
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, const ui::IndexPath& path) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return false; }
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override;

  void controllerWillChangeContent(cd::FetchedResultsController&) override;
  void controllerDidChangeSection(cd::FetchedResultsController&, const cd::FetchedResultsSectionInfo&,
                                  size_t sectionIndex, cd::FetchedResultsChangeType type) override;
  void controllerDidChangeObject(cd::FetchedResultsController&, const std::shared_ptr<cd::ManagedObject>& object,
                                 std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> newIndexPath) override;
  void controllerDidChangeContent(cd::FetchedResultsController&) override;

 private:
  void configureCell(ui::TableViewCell& cell, const ui::IndexPath& path);

  std::optional<std::string> searchString_;
  std::unique_ptr<cd::FetchedResultsController> fetchedResultsController_;
};
