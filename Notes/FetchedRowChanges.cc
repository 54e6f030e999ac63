#include "Notes/FetchedRowChanges.h"

namespace notes {

void applyFetchedRowChange(ui::TableView& table, cd::FetchedResultsChangeType type,
                           std::optional<ns::IndexPath> indexPath, std::optional<ns::IndexPath> newIndexPath,
                           const std::function<ui::IndexPath(const ns::IndexPath&)>& toTable,
                           const std::function<void(ui::TableViewCell&, const ui::IndexPath&)>& reconfigure) {
  const auto fade = ui::TableViewRowAnimation::Fade;
  switch (type) {
    case cd::FetchedResultsChangeType::Insert:
      if (newIndexPath) table.insertRows({toTable(*newIndexPath)}, fade);
      break;
    case cd::FetchedResultsChangeType::Delete:
      if (indexPath) table.deleteRows({toTable(*indexPath)}, fade);
      break;
    case cd::FetchedResultsChangeType::Move:
      if (indexPath) table.deleteRows({toTable(*indexPath)}, fade);
      if (newIndexPath) table.insertRows({toTable(*newIndexPath)}, fade);
      break;
    case cd::FetchedResultsChangeType::Update:
      if (indexPath) {
        if (auto cell = table.cellForRow(toTable(*indexPath))) {
          reconfigure(*cell, toTable(newIndexPath.value_or(*indexPath)));
        }
      }
      break;
  }
}

void applyFetchedSectionChange(ui::TableView& table, cd::FetchedResultsChangeType type, int section) {
  if (type == cd::FetchedResultsChangeType::Insert) table.insertSections({section}, ui::TableViewRowAnimation::Fade);
  if (type == cd::FetchedResultsChangeType::Delete) table.deleteSections({section}, ui::TableViewRowAnimation::Fade);
}

}  // namespace notes
