// What the app's lists (folders, notes, the move picker) share in their
// set-up: the look of their navigation bar and background, and the search
// bar above the rows of the folders and notes.
#pragma once

#include <memory>

#include "Platform/UIKit/SearchController.h"
#include "Platform/UIKit/TableViewController.h"

class SearchResultsController;

namespace notes {

// The navigation bar's tint, bar tint and background image, and a plain
// background in the master colour behind the rows.
void styleListScreen(ui::TableViewController& list);

// A search controller whose results a SearchResultsController shows and
// updates; its minimal search bar is the table's header, and the list
// defines the presentation context.
struct ListSearch {
  std::shared_ptr<ui::SearchController> controller;
  std::shared_ptr<SearchResultsController> results;
};
ListSearch installSearch(ui::TableViewController& list);

}  // namespace notes
