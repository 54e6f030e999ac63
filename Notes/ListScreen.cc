#include "Notes/ListScreen.h"

#include "Notes/NTAppearance.h"
#include "Notes/SearchResultsController.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/SearchBar.h"

namespace notes {

void styleListScreen(ui::TableViewController& list) {
  if (auto* nav = list.navigationController()) {
    ui::NavigationBar& bar = nav->navigationBar();
    bar.setTintColor(NTAppearance::navigationTintColor());
    bar.setBarTintColor(NTAppearance::navigationBackgroundColor());
    bar.setBackgroundImage(NTAppearance::navigationBackgroundImage());
  }
  auto background = ui::View::make();
  background->setBackgroundColor(NTAppearance::masterBackgroundColor());
  list.tableView().setBackgroundView(background);
}

ListSearch installSearch(ui::TableViewController& list) {
  ListSearch search;
  search.results = std::make_shared<SearchResultsController>();
  search.controller = ui::SearchController::make(search.results);
  search.controller->setSearchResultsUpdater(std::static_pointer_cast<ui::SearchResultsUpdating>(search.results));
  search.controller->setPresentingContext(list.shared());
  search.controller->searchBar().setSearchBarStyle(ui::SearchBarStyle::Minimal);
  auto bar = search.controller->searchBarShared();
  bar->sizeToFit();
  list.tableView().setTableHeaderView(bar);
  list.setDefinesPresentationContext(true);
  return search;
}

}  // namespace notes
