// How every list of the app shows one change of its fetched-results
// controller: inserts, deletes and moves (a delete plus an insert) of rows
// and sections fade; an update re-configures the visible cell, if any, in
// place.
#pragma once

#include <functional>
#include <optional>

#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/UIKit/TableView.h"

namespace notes {

// `toTable` maps a fetch index path to the table's (lists with rows of
// their own above the fetch shift the section). `reconfigure` gets the
// visible cell and the table index path where its object now stands.
void applyFetchedRowChange(ui::TableView& table, cd::FetchedResultsChangeType type,
                           std::optional<ns::IndexPath> indexPath, std::optional<ns::IndexPath> newIndexPath,
                           const std::function<ui::IndexPath(const ns::IndexPath&)>& toTable,
                           const std::function<void(ui::TableViewCell&, const ui::IndexPath&)>& reconfigure);

// A section inserted or deleted at the table's `section` (the fetch's,
// shifted like `toTable`); other changes of a section show in its rows.
void applyFetchedSectionChange(ui::TableView& table, cd::FetchedResultsChangeType type, int section);

}  // namespace notes
