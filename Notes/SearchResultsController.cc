#include "Notes/SearchResultsController.h"

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/AppDelegate.h"
#include "Notes/FetchedRowChanges.h"
#include "Notes/FoldersViewController.h"
#include "Notes/NTAppearance.h"
#include "Platform/CoreData/Predicate.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/SearchBar.h"
#include "Platform/UIKit/View.h"

namespace {

std::shared_ptr<cd::ManagedObjectContext> mainContext() {
  auto app = AppDelegate::instance();
  return app ? app->managedObjectContext() : nullptr;
}

ns::IndexPath toFetch(const ui::IndexPath& path) {
  return ns::IndexPath::indexPathForRow(static_cast<size_t>(path.row), static_cast<size_t>(path.section));
}

ui::IndexPath toTable(const ns::IndexPath& path) {
  return ui::IndexPath::forRow(static_cast<int>(path.row), static_cast<int>(path.section));
}

}  // namespace

SearchResultsController::SearchResultsController() = default;

cd::FetchedResultsController* SearchResultsController::fetchedResultsController() {
  if (fetchedResultsController_) return fetchedResultsController_.get();
  auto ctx = mainContext();
  if (!ctx) return nullptr;
  cd::FetchRequest request("Note");
  request.setFetchBatchSize(20);
  request.setSortDescriptors({cd::SortDescriptor("timeStamp", false)});
  request.setPredicate(cd::Predicate::contains("string", searchString_.value_or(""),
                                               cd::Predicate::CaseInsensitive | cd::Predicate::DiacriticInsensitive));
  fetchedResultsController_ = std::make_unique<cd::FetchedResultsController>(request, ctx);
  fetchedResultsController_->setDelegate(
      std::static_pointer_cast<cd::FetchedResultsControllerDelegate>(
          std::static_pointer_cast<SearchResultsController>(shared())));
  ns::Error error;
  if (!fetchedResultsController_->performFetch(&error)) QB_REPORT(error);
  return fetchedResultsController_.get();
}

std::shared_ptr<NTNote> SearchResultsController::noteAtIndexPath(const ui::IndexPath& path) {
  auto* fetch = fetchedResultsController();
  if (!fetch || path.section < 0 || path.row < 0) return nullptr;
  const auto& sections = fetch->sections();
  ns::IndexPath at = toFetch(path);
  if (at.section >= sections.size() || at.row >= sections[at.section].numberOfObjects()) return nullptr;
  return std::dynamic_pointer_cast<NTNote>(fetch->objectAtIndexPath(at));
}

void SearchResultsController::updateSearchResults(ui::SearchController& controller) {
  auto background = ui::View::make();
  background->setBackgroundColor(NTAppearance::masterBackgroundColor());
  tableView().setBackgroundView(background);
  searchString_ = controller.searchBar().text();
  fetchedResultsController_.reset();
  tableView().reloadData();
}

int SearchResultsController::numberOfSections(ui::TableView&) {
  auto* fetch = fetchedResultsController();
  return fetch ? static_cast<int>(fetch->sections().size()) : 0;
}

int SearchResultsController::numberOfRows(ui::TableView&, int section) {
  auto* fetch = fetchedResultsController();
  if (!fetch || section < 0 || static_cast<size_t>(section) >= fetch->sections().size()) return 0;
  return static_cast<int>(fetch->sections()[static_cast<size_t>(section)].numberOfObjects());
}

std::shared_ptr<ui::TableViewCell> SearchResultsController::cellForRow(ui::TableView& table, const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell("Cell");
  if (!cell) {
    cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "Cell");
    cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    cell->setBackgroundColor(ui::Color::clear());
    auto selected = ui::View::make();
    selected->setBackgroundColor(NTAppearance::selectedCellBackgroundColor());
    cell->setSelectedBackgroundView(selected);
  }
  configureCell(*cell, path);
  return cell;
}

void SearchResultsController::configureCell(ui::TableViewCell& cell, const ui::IndexPath& path) {
  auto note = noteAtIndexPath(path);
  cell.textLabel().setText(note ? note->title().value_or("") : "");
}

void SearchResultsController::didSelectRow(ui::TableView&, const ui::IndexPath& path) {
  auto note = noteAtIndexPath(path);
  if (!note) return;
  if (auto* folders = FoldersViewController::instance()) folders->showNote(note, true);
}

void SearchResultsController::controllerWillChangeContent(cd::FetchedResultsController&) {
  tableView().beginUpdates();
}

void SearchResultsController::controllerDidChangeSection(cd::FetchedResultsController&,
                                                         const cd::FetchedResultsSectionInfo&, size_t sectionIndex,
                                                         cd::FetchedResultsChangeType type) {
  notes::applyFetchedSectionChange(tableView(), type, static_cast<int>(sectionIndex));
}

void SearchResultsController::controllerDidChangeObject(cd::FetchedResultsController&,
                                                        const std::shared_ptr<cd::ManagedObject>&,
                                                        std::optional<ns::IndexPath> indexPath,
                                                        cd::FetchedResultsChangeType type,
                                                        std::optional<ns::IndexPath> newIndexPath) {
  ui::TableView& table = tableView();
  // The fetch already holds the new order: an updated cell is configured
  // from where its note is now.
  notes::applyFetchedRowChange(table, type, indexPath, newIndexPath, toTable,
                               [&](ui::TableViewCell& cell, const ui::IndexPath& now) { configureCell(cell, now); });
}

void SearchResultsController::controllerDidChangeContent(cd::FetchedResultsController&) { tableView().endUpdates(); }
