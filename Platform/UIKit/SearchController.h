// Search over a screen: a search bar whose editing makes the controller
// active (its results controller is presented over the context) and whose
// every change asks the results updater to update. Cancelling clears the
// text and deactivates.
#pragma once

#include <memory>

#include "Platform/UIKit/SearchBar.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

class SearchController;

class SearchResultsUpdating {
 public:
  virtual ~SearchResultsUpdating() = default;
  virtual void updateSearchResults(SearchController& controller) = 0;
};

class SearchControllerDelegate {
 public:
  virtual ~SearchControllerDelegate() = default;
  virtual void willPresentSearchController(SearchController&) {}
  virtual void didPresentSearchController(SearchController&) {}
  virtual void willDismissSearchController(SearchController&) {}
  virtual void didDismissSearchController(SearchController&) {}
};

class SearchController : public ViewController, public SearchBarDelegate {
 public:
  explicit SearchController(std::shared_ptr<ViewController> resultsController);
  static std::shared_ptr<SearchController> make(std::shared_ptr<ViewController> results);
  std::string typeName() const override { return "SearchController"; }

  SearchBar& searchBar() { return *searchBar_; }
  std::shared_ptr<SearchBar> searchBarShared() const { return searchBar_; }
  std::shared_ptr<ViewController> searchResultsController() const { return results_; }
  void setSearchResultsUpdater(std::weak_ptr<SearchResultsUpdating> u) { updater_ = std::move(u); }
  std::shared_ptr<SearchResultsUpdating> searchResultsUpdater() const { return updater_.lock(); }
  void setDelegate(std::weak_ptr<SearchControllerDelegate> d) { delegate_ = std::move(d); }

  bool isActive() const { return active_; }
  // Activating presents the results over the presenting context (the
  // screen whose search bar this is); deactivating dismisses them.
  void setActive(bool active);
  bool obscuresBackgroundDuringPresentation() const { return obscures_; }
  void setObscuresBackgroundDuringPresentation(bool o) { obscures_ = o; }
  bool hidesNavigationBarDuringPresentation() const { return hidesBar_; }
  void setHidesNavigationBarDuringPresentation(bool h) { hidesBar_ = h; }
  // The screen the search belongs to (presents the results).
  void setPresentingContext(std::weak_ptr<ViewController> context) { context_ = std::move(context); }

  // SearchBarDelegate.
  void searchBarTextDidBeginEditing(SearchBar&) override;
  void textDidChange(SearchBar&, const std::string&) override;
  void cancelButtonClicked(SearchBar&) override;

  void loadView() override;

 private:
  void update();
  // Puts the results' view under the search bar.
  void placeResults();
  std::shared_ptr<SearchBar> searchBar_;
  std::shared_ptr<ViewController> results_;
  std::weak_ptr<SearchResultsUpdating> updater_;
  std::weak_ptr<SearchControllerDelegate> delegate_;
  std::weak_ptr<ViewController> context_;
  bool active_ = false;
  bool obscures_ = true;
  bool hidesBar_ = true;
};

}  // namespace ui
