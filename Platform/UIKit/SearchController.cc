#include "Platform/UIKit/SearchController.h"

#include "Platform/UIKit/Screen.h"

namespace ui {

SearchController::SearchController(std::shared_ptr<ViewController> resultsController)
    : searchBar_(std::make_shared<SearchBar>()), results_(std::move(resultsController)) {
  setModalPresentationStyle(ModalPresentationStyle::OverCurrentContext);
}

std::shared_ptr<SearchController> SearchController::make(std::shared_ptr<ViewController> results) {
  auto controller = std::make_shared<SearchController>(std::move(results));
  controller->searchBar_->setDelegate(std::static_pointer_cast<SearchBarDelegate>(controller));
  return controller;
}

void SearchController::loadView() {
  auto v = View::make(Screen::main().bounds());
  v->setOpaque(false);
  setView(v);
  if (results_) {
    addChildViewController(results_);
    results_->view()->setFrame(v->bounds());
    v->addSubview(results_->view());
  }
}

void SearchController::setActive(bool active) {
  if (active == active_) return;
  auto context = context_.lock();
  auto d = delegate_.lock();
  active_ = active;
  if (active) {
    if (d) d->willPresentSearchController(*this);
    searchBar_->setShowsCancelButton(true);
    if (context && !presentingViewController()) context->presentViewController(shared(), false);
    placeResults();
    if (d) d->didPresentSearchController(*this);
    update();
  } else {
    if (d) d->willDismissSearchController(*this);
    searchBar_->setShowsCancelButton(false);
    searchBar_->resignFirstResponder();
    if (presentingViewController()) dismissViewController(false);
    if (d) d->didDismissSearchController(*this);
  }
}

void SearchController::placeResults() {
  if (!results_ || !isViewLoaded() || !view()->window()) return;
  // The results lie under the search bar, which stays in sight above them.
  auto v = view();
  Rect bounds = v->bounds();
  double top = bounds.minY();
  if (searchBar_->window() == v->window()) {
    Rect bar = searchBar_->convertRectTo(searchBar_->bounds(), v.get());
    if (bar.maxY() > top && bar.maxY() < bounds.maxY()) top = bar.maxY();
  }
  results_->view()->setFrame(Rect(bounds.minX(), top, bounds.width(), bounds.maxY() - top));
}

void SearchController::update() {
  if (auto u = updater_.lock()) u->updateSearchResults(*this);
}

void SearchController::searchBarTextDidBeginEditing(SearchBar&) { setActive(true); }

void SearchController::textDidChange(SearchBar&, const std::string&) {
  if (active_) update();
}

void SearchController::cancelButtonClicked(SearchBar&) {
  searchBar_->setText({});
  setActive(false);
}

}  // namespace ui
