#include "Platform/UIKit/TableView.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/detail/Transition.h"

namespace ui {

namespace {
constexpr const char* kInconsistency = "NSInternalInconsistencyException";

[[noreturn]] void inconsistent(const std::string& reason) { throw ns::Exception(kInconsistency, reason); }

template <class T>
int countIf(const std::vector<T>& list, const std::function<bool(const T&)>& test) {
  return int(std::count_if(list.begin(), list.end(), test));
}
}  // namespace

TableView::TableView(TableViewStyle style) : style_(style) {
  setBackgroundColor(Color::white());
  setAlwaysBounceVertical(true);
}

TableView::TableView(const Rect& frame, TableViewStyle style) : TableView(style) { setFrame(frame); }

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> d) {
  dataSource_ = std::move(d);
  loaded_ = false;
  setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> d) {
  delegate_ = d;
  ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
  setNeedsLayout();
}

void TableView::ensureCounts() const {
  if (loaded_) return;
  loaded_ = true;
  counts_.clear();
  auto ds = dataSource_.lock();
  if (!ds) return;
  auto* self = const_cast<TableView*>(this);
  int sections = std::max(0, ds->numberOfSections(*self));
  for (int s = 0; s < sections; ++s) counts_.push_back(std::max(0, ds->numberOfRows(*self, s)));
}

void TableView::reloadData() {
  hideRowActions();
  loaded_ = false;
  selected_.clear();
  recycleAll();
  headers_.clear();
  footers_.clear();
  ensureCounts();
  setNeedsLayout();
}

int TableView::numberOfSections() const {
  ensureCounts();
  return int(counts_.size());
}

int TableView::numberOfRows(int section) const {
  ensureCounts();
  return section >= 0 && section < int(counts_.size()) ? counts_[size_t(section)] : 0;
}

std::vector<IndexPath> TableView::allIndexPaths() const {
  std::vector<IndexPath> out;
  for (int s = 0; s < numberOfSections(); ++s) {
    for (int r = 0; r < numberOfRows(s); ++r) out.push_back({s, r});
  }
  return out;
}

void TableView::registerCell(const std::string& identifier, CellFactory factory) {
  cellFactories_[identifier] = std::move(factory);
}

void TableView::registerHeaderFooter(const std::string& identifier, HeaderFooterFactory factory) {
  headerFactories_[identifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
  auto& queue = reusable_[identifier];
  if (!queue.empty()) {
    auto cell = queue.back();
    queue.pop_back();
    cell->prepareForReuse();
    return cell;
  }
  auto it = cellFactories_.find(identifier);
  return it == cellFactories_.end() ? nullptr : it->second();
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier, const IndexPath&) {
  auto cell = dequeueReusableCell(identifier);
  if (!cell) {
    inconsistent("unable to dequeue a cell with identifier " + identifier +
                 " - must register a nib or a class for the identifier or connect a prototype cell in a storyboard");
  }
  return cell;
}

std::shared_ptr<TableViewHeaderFooterView> TableView::dequeueReusableHeaderFooter(const std::string& identifier) {
  auto& queue = reusableHeaders_[identifier];
  if (!queue.empty()) {
    auto view = queue.back();
    queue.pop_back();
    view->prepareForReuse();
    return view;
  }
  auto it = headerFactories_.find(identifier);
  if (it != headerFactories_.end()) return it->second();
  return std::make_shared<TableViewHeaderFooterView>(identifier);
}

void TableView::recycleAll() {
  for (auto& [path, cell] : visible_) {
    cell->removeFromSuperview();
    cell->setSelected(false);
    if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
  }
  visible_.clear();
  for (auto* map : {&headers_, &footers_}) {
    for (auto& [section, view] : *map) {
      view->removeFromSuperview();
      if (auto hf = std::dynamic_pointer_cast<TableViewHeaderFooterView>(view)) {
        if (!hf->reuseIdentifier().empty()) reusableHeaders_[hf->reuseIdentifier()].push_back(hf);
      }
    }
    map->clear();
  }
}

double TableView::heightOfRow(const IndexPath& path) {
  if (auto d = delegate()) {
    double h = d->heightForRow(*this, path);
    if (h >= 0) return h;
  }
  return rowHeight_ >= 0 ? rowHeight_ : 44;
}

double TableView::headerHeight(int section) {
  if (auto d = delegate()) {
    double h = d->heightForHeader(*this, section);
    if (h >= 0) return h;
  }
  if (sectionHeaderHeight_ >= 0) return sectionHeaderHeight_;
  bool hasHeader = false;
  if (auto d = delegate(); d && d->viewForHeader(*this, section)) hasHeader = true;
  if (auto ds = dataSource(); ds && !ds->titleForHeader(*this, section).empty()) hasHeader = true;
  if (style_ == TableViewStyle::Plain) return hasHeader ? 28 : 0;
  return hasHeader ? 38 : 18;
}

double TableView::footerTextWidth() const { return std::max(1.0, bounds().width() - 32); }

double TableView::footerHeight(int section) {
  if (auto d = delegate()) {
    double h = d->heightForFooter(*this, section);
    if (h >= 0) return h;
  }
  if (sectionFooterHeight_ >= 0) return sectionFooterHeight_;
  std::string title;
  if (auto ds = dataSource()) title = ds->titleForFooter(*this, section);
  if (title.empty()) return style_ == TableViewStyle::Plain ? 0 : 18;
  // A footer's title wraps over as many lines as it needs.
  double lines = std::ceil(sizeOfText(title, *Font::systemFont(kHeaderFooterFontSize), footerTextWidth()).height);
  if (style_ == TableViewStyle::Plain) return std::max(28.0, lines + 10);
  return std::max(38.0, lines + 20);
}

Rect TableView::rectForRow(const IndexPath& path) {
  ensureCounts();
  double y = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
  double w = bounds().width();
  for (int s = 0; s < int(counts_.size()); ++s) {
    y += headerHeight(s);
    for (int r = 0; r < counts_[size_t(s)]; ++r) {
      double h = heightOfRow({s, r});
      if (s == path.section && r == path.row) return Rect(0, y, w, h);
      y += h;
    }
    y += footerHeight(s);
  }
  return {};
}

Rect TableView::rectForSection(int section) {
  ensureCounts();
  double y = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
  for (int s = 0; s < int(counts_.size()); ++s) {
    double start = y;
    y += headerHeight(s);
    for (int r = 0; r < counts_[size_t(s)]; ++r) y += heightOfRow({s, r});
    y += footerHeight(s);
    if (s == section) return Rect(0, start, bounds().width(), y - start);
  }
  return {};
}

std::shared_ptr<TableViewCell> TableView::makeCell(const IndexPath& path) {
  auto ds = dataSource();
  if (!ds) return nullptr;
  auto cell = ds->cellForRow(*this, path);
  if (!cell) inconsistent("The table's data source returned no cell for row " + path.description());
  cell->setEditing(editing_);
  cell->setSelected(selected_.count(path) > 0);
  return cell;
}

void TableView::relayout() {
  ensureCounts();
  Rect visibleRect = bounds();
  double w = visibleRect.width();
  double y = 0;
  if (tableHeaderView_) {
    Rect f = tableHeaderView_->frame();
    tableHeaderView_->setFrame(Rect(0, 0, w, f.height()));
    y = f.height();
  }
  std::map<IndexPath, std::shared_ptr<TableViewCell>> keep;
  auto d = delegate();
  auto ds = dataSource();
  auto placeSupplement = [&](std::map<int, std::shared_ptr<View>>& cache, int s, double top, double h,
                             bool header) {
    if (h <= 0 || !Rect(0, top, w, h).intersects(visibleRect)) return;
    std::shared_ptr<View> view;
    auto it = cache.find(s);
    if (it != cache.end()) {
      view = it->second;
    } else {
      if (d) view = header ? d->viewForHeader(*this, s) : d->viewForFooter(*this, s);
      if (!view && ds) {
        std::string title = header ? ds->titleForHeader(*this, s) : ds->titleForFooter(*this, s);
        if (!title.empty()) {
          auto hf = dequeueReusableHeaderFooter({});
          hf->textLabel().setText(title);
          hf->textLabel().setNumberOfLines(header ? 1 : 0);
          view = hf;
        }
      }
      if (!view) return;
      cache[s] = view;
      if (header && d) d->willDisplayHeaderView(*this, *view, s);
    }
    view->setFrame(Rect(0, top, w, h));
    if (view->superview() != this) addSubview(view);
  };
  for (int s = 0; s < int(counts_.size()); ++s) {
    double hh = headerHeight(s);
    placeSupplement(headers_, s, y, hh, true);
    y += hh;
    for (int r = 0; r < counts_[size_t(s)]; ++r) {
      IndexPath path{s, r};
      double h = heightOfRow(path);
      Rect rect(0, y, w, h);
      y += h;
      if (h <= 0 || !rect.intersects(visibleRect)) continue;
      std::shared_ptr<TableViewCell> cell;
      auto it = visible_.find(path);
      if (it != visible_.end()) {
        cell = it->second;
        visible_.erase(it);
      } else {
        cell = makeCell(path);
        if (!cell) continue;
        if (d) d->willDisplayCell(*this, *cell, path);
      }
      cell->setFrame(rect);
      if (cell->superview() != this) addSubview(cell);
      keep[path] = cell;
    }
    double fh = footerHeight(s);
    placeSupplement(footers_, s, y, fh, false);
    y += fh;
  }
  for (auto& [path, cell] : visible_) {
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier().empty()) reusable_[cell->reuseIdentifier()].push_back(cell);
  }
  visible_ = std::move(keep);
  if (tableFooterView_) {
    Rect f = tableFooterView_->frame();
    tableFooterView_->setFrame(Rect(0, y, w, f.height()));
    y += f.height();
  }
  if (backgroundView_) backgroundView_->setFrame(bounds());
  setContentSize({w, y});
}

void TableView::layoutSubviews() {
  if (layingOut_) return;
  layingOut_ = true;
  try {
    relayout();
  } catch (...) {
    layingOut_ = false;
    throw;
  }
  layingOut_ = false;
}

std::shared_ptr<TableViewCell> TableView::cellForRow(const IndexPath& path) {
  layoutIfNeeded();
  auto it = visible_.find(path);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() {
  layoutIfNeeded();
  std::vector<std::shared_ptr<TableViewCell>> out;
  for (auto& [path, cell] : visible_) out.push_back(cell);
  return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
  layoutIfNeeded();
  std::vector<IndexPath> out;
  for (auto& [path, cell] : visible_) out.push_back(path);
  return out;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const {
  for (const auto& [path, c] : visible_) {
    if (c.get() == cell) return path;
  }
  return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) {
  for (const IndexPath& path : allIndexPaths()) {
    if (rectForRow(path).contains(p)) return path;
  }
  return std::nullopt;
}

std::shared_ptr<View> TableView::headerViewForSection(int section) {
  layoutIfNeeded();
  auto it = headers_.find(section);
  return it == headers_.end() ? nullptr : it->second;
}

void TableView::scrollToRow(const IndexPath& path, TableViewScrollPosition position, bool animated) {
  Rect r = rectForRow(path);
  if (r.isEmpty()) return;
  Rect b = bounds();
  Point o = b.origin;
  switch (position) {
    case TableViewScrollPosition::Top: o.y = r.minY(); break;
    case TableViewScrollPosition::Middle: o.y = r.midY() - b.height() / 2; break;
    case TableViewScrollPosition::Bottom: o.y = r.maxY() - b.height(); break;
    case TableViewScrollPosition::None:
      scrollRectToVisible(r, animated);
      return;
  }
  Point max = maximumContentOffset();
  o.y = std::clamp(o.y, -contentInset().top, std::max(-contentInset().top, max.y));
  setContentOffset(o, animated);
}

void TableView::setTableHeaderView(std::shared_ptr<View> v) {
  if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
  tableHeaderView_ = std::move(v);
  if (tableHeaderView_) addSubview(tableHeaderView_);
  setNeedsLayout();
}

void TableView::setTableFooterView(std::shared_ptr<View> v) {
  if (tableFooterView_) tableFooterView_->removeFromSuperview();
  tableFooterView_ = std::move(v);
  if (tableFooterView_) addSubview(tableFooterView_);
  setNeedsLayout();
}

void TableView::setBackgroundView(std::shared_ptr<View> v) {
  if (backgroundView_) backgroundView_->removeFromSuperview();
  backgroundView_ = std::move(v);
  if (backgroundView_) insertSubview(backgroundView_, 0);
  setNeedsLayout();
}

// Batch updates.

void TableView::beginUpdates() {
  ensureCounts();
  ++updateDepth_;
}

void TableView::endUpdates() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ > 0) return;
  Updates updates = std::move(pending_);
  pending_ = Updates();
  applyUpdates(updates);
}

void TableView::performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion) {
  beginUpdates();
  try {
    if (updates) updates();
  } catch (...) {
    updateDepth_ = 0;
    pending_ = Updates();
    throw;
  }
  endUpdates();
  if (completion) {
    detail::afterTransition(true, 0.3, [completion = std::move(completion)] { completion(true); });
  }
}

namespace {
// Runs one change as its own batch unless a batch is open.
template <class F>
void inBatch(TableView& table, F change) {
  table.beginUpdates();
  change();
  table.endUpdates();
}
}  // namespace

void TableView::insertRows(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
  inBatch(*this, [&] { pending_.insertedRows.insert(pending_.insertedRows.end(), paths.begin(), paths.end()); });
}
void TableView::deleteRows(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
  inBatch(*this, [&] { pending_.deletedRows.insert(pending_.deletedRows.end(), paths.begin(), paths.end()); });
}
void TableView::reloadRows(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
  inBatch(*this, [&] { pending_.reloadedRows.insert(pending_.reloadedRows.end(), paths.begin(), paths.end()); });
}
void TableView::moveRow(const IndexPath& from, const IndexPath& to) {
  inBatch(*this, [&] { pending_.movedRows.emplace_back(from, to); });
}
void TableView::insertSections(const std::vector<int>& sections, TableViewRowAnimation) {
  inBatch(*this, [&] {
    pending_.insertedSections.insert(pending_.insertedSections.end(), sections.begin(), sections.end());
  });
}
void TableView::deleteSections(const std::vector<int>& sections, TableViewRowAnimation) {
  inBatch(*this, [&] {
    pending_.deletedSections.insert(pending_.deletedSections.end(), sections.begin(), sections.end());
  });
}
void TableView::reloadSections(const std::vector<int>& sections, TableViewRowAnimation) {
  inBatch(*this, [&] {
    pending_.reloadedSections.insert(pending_.reloadedSections.end(), sections.begin(), sections.end());
  });
}
void TableView::moveSection(int from, int to) {
  inBatch(*this, [&] { pending_.movedSections.emplace_back(from, to); });
}

void TableView::applyUpdates(const Updates& u) {
  hideRowActions();
  ensureCounts();
  const std::vector<int> old = counts_;
  const int oldSections = int(old.size());
  auto ds = dataSource();
  const int newSections = ds ? std::max(0, ds->numberOfSections(*this)) : 0;

  auto contains = [](const std::vector<int>& list, int v) {
    return std::find(list.begin(), list.end(), v) != list.end();
  };
  for (int s : u.deletedSections) {
    if (s < 0 || s >= oldSections)
      inconsistent("attempt to delete section " + std::to_string(s) + ", but there are only " +
                   std::to_string(oldSections) + " sections before the update");
  }
  for (int s : u.insertedSections) {
    if (s < 0 || s >= newSections)
      inconsistent("attempt to insert section " + std::to_string(s) + " but there are only " +
                   std::to_string(newSections) + " sections after the update");
  }
  int inserted = int(u.insertedSections.size()), deleted = int(u.deletedSections.size());
  if (newSections != oldSections + inserted - deleted) {
    std::ostringstream why;
    why << "Invalid update: invalid number of sections.  The number of sections contained in the table view "
           "after the update ("
        << newSections << ") must be equal to the number of sections contained in the table view before the update ("
        << oldSections << "), plus or minus the number of sections inserted or deleted (" << inserted
        << " inserted, " << deleted << " deleted).";
    inconsistent(why.str());
  }

  // Which old section each new section continues (-1: inserted).
  std::vector<int> newToOld(size_t(newSections), -1);
  std::vector<int> oldToNew(size_t(oldSections), -1);
  {
    std::vector<bool> fixed(size_t(newSections), false);
    for (int s : u.insertedSections) fixed[size_t(s)] = true;
    std::vector<int> movedFrom;
    for (auto [from, to] : u.movedSections) {
      if (from < 0 || from >= oldSections || to < 0 || to >= newSections)
        inconsistent("attempt to move section " + std::to_string(from) + " to " + std::to_string(to) +
                     ", which is outside the table");
      fixed[size_t(to)] = true;
      newToOld[size_t(to)] = from;
      movedFrom.push_back(from);
    }
    std::vector<int> survivors;
    for (int s = 0; s < oldSections; ++s) {
      if (!contains(u.deletedSections, s) && !contains(movedFrom, s)) survivors.push_back(s);
    }
    size_t next = 0;
    for (int n = 0; n < newSections; ++n) {
      if (fixed[size_t(n)]) continue;
      if (next < survivors.size()) newToOld[size_t(n)] = survivors[next++];
    }
    for (int n = 0; n < newSections; ++n) {
      if (newToOld[size_t(n)] >= 0) oldToNew[size_t(newToOld[size_t(n)])] = n;
    }
  }

  std::vector<int> now(static_cast<size_t>(newSections));
  for (int n = 0; n < newSections; ++n) now[size_t(n)] = std::max(0, ds->numberOfRows(*this, n));

  for (const IndexPath& p : u.deletedRows) {
    if (p.section < 0 || p.section >= oldSections || p.row < 0 || p.row >= old[size_t(p.section)])
      inconsistent("attempt to delete row " + std::to_string(p.row) + " from section " +
                   std::to_string(p.section) + " which only contains " +
                   std::to_string(p.section >= 0 && p.section < oldSections ? old[size_t(p.section)] : 0) +
                   " rows before the update");
  }
  for (const IndexPath& p : u.reloadedRows) {
    if (p.section < 0 || p.section >= oldSections || p.row < 0 || p.row >= old[size_t(p.section)])
      inconsistent("attempt to reload row " + std::to_string(p.row) + " from section " +
                   std::to_string(p.section) + " which does not exist before the update");
  }
  for (const IndexPath& p : u.insertedRows) {
    if (p.section < 0 || p.section >= newSections || p.row < 0 || p.row >= now[size_t(p.section)])
      inconsistent("attempt to insert row " + std::to_string(p.row) + " into section " +
                   std::to_string(p.section) + ", but there are only " +
                   std::to_string(p.section >= 0 && p.section < newSections ? now[size_t(p.section)] : 0) +
                   " rows in section " + std::to_string(p.section) + " after the update");
  }
  for (auto [from, to] : u.movedRows) {
    if (from.section < 0 || from.section >= oldSections || from.row < 0 || from.row >= old[size_t(from.section)] ||
        to.section < 0 || to.section >= newSections || to.row < 0 || to.row >= now[size_t(to.section)])
      inconsistent("attempt to move index path " + from.description() + " to index path " + to.description() +
                   ", which is outside the table");
  }

  for (int n = 0; n < newSections; ++n) {
    int o = newToOld[size_t(n)];
    if (o < 0 || contains(u.insertedSections, n)) continue;
    int ins = countIf<IndexPath>(u.insertedRows, [&](const IndexPath& p) { return p.section == n; });
    int del = countIf<IndexPath>(u.deletedRows, [&](const IndexPath& p) { return p.section == o; });
    using Move = std::pair<IndexPath, IndexPath>;
    int in = countIf<Move>(u.movedRows, [&](const Move& m) { return m.second.section == n; });
    int out = countIf<Move>(u.movedRows, [&](const Move& m) { return m.first.section == o; });
    int expected = old[size_t(o)] + ins - del + in - out;
    if (now[size_t(n)] != expected) {
      std::ostringstream why;
      why << "Invalid update: invalid number of rows in section " << n
          << ".  The number of rows contained in an existing section after the update (" << now[size_t(n)]
          << ") must be equal to the number of rows contained in that section before the update ("
          << old[size_t(o)] << "), plus or minus the number of rows inserted or deleted from that section ("
          << ins << " inserted, " << del << " deleted) and plus or minus the number of rows moved into or out of "
          << "that section (" << in << " moved in, " << out << " moved out).";
      inconsistent(why.str());
    }
  }

  // Where each surviving old row goes, for the selection.
  std::map<IndexPath, IndexPath> moved;
  for (auto [from, to] : u.movedRows) moved[from] = to;
  std::set<IndexPath> newSelection;
  for (int n = 0; n < newSections; ++n) {
    int o = newToOld[size_t(n)];
    if (o < 0 || contains(u.insertedSections, n)) continue;
    std::vector<int> survivors;
    for (int r = 0; r < old[size_t(o)]; ++r) {
      IndexPath p{o, r};
      if (moved.count(p)) continue;
      if (std::find(u.deletedRows.begin(), u.deletedRows.end(), p) != u.deletedRows.end()) continue;
      survivors.push_back(r);
    }
    std::vector<bool> taken(size_t(now[size_t(n)]), false);
    for (const IndexPath& p : u.insertedRows) {
      if (p.section == n) taken[size_t(p.row)] = true;
    }
    for (auto [from, to] : u.movedRows) {
      if (to.section == n) taken[size_t(to.row)] = true;
    }
    size_t next = 0;
    for (int r = 0; r < now[size_t(n)] && next < survivors.size(); ++r) {
      if (taken[size_t(r)]) continue;
      if (selected_.count({o, survivors[next]})) newSelection.insert({n, r});
      ++next;
    }
  }
  for (const auto& [from, to] : moved) {
    if (selected_.count(from)) newSelection.insert(to);
  }
  selected_ = std::move(newSelection);
  counts_ = std::move(now);
  recycleAll();
  setNeedsLayout();
}

// Selection.

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
  if (selected_.empty()) return std::nullopt;
  return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const {
  return std::vector<IndexPath>(selected_.begin(), selected_.end());
}

void TableView::selectRow(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position) {
  if (!path) {
    for (const IndexPath& p : std::vector<IndexPath>(selected_.begin(), selected_.end())) deselectRow(p, animated);
    return;
  }
  if (path->section < 0 || path->section >= numberOfSections() || path->row < 0 ||
      path->row >= numberOfRows(path->section))
    return;
  if (!allowsMultipleSelection_) {
    for (const IndexPath& p : std::vector<IndexPath>(selected_.begin(), selected_.end())) {
      if (p != *path) deselectRow(p, animated);
    }
  }
  selected_.insert(*path);
  auto it = visible_.find(*path);
  if (it != visible_.end()) it->second->setSelected(true, animated);
  if (position != TableViewScrollPosition::None) scrollToRow(*path, position, animated);
}

void TableView::deselectRow(const IndexPath& path, bool animated) {
  selected_.erase(path);
  auto it = visible_.find(path);
  if (it != visible_.end()) it->second->setSelected(false, animated);
}

void TableView::setEditing(bool editing, bool animated) {
  hideRowActions();
  editing_ = editing;
  for (auto& [path, cell] : visible_) cell->setEditing(editing, animated);
  setNeedsLayout();
}

ViewController* TableView::owningController() const {
  for (const View* v = this; v; v = v->superview()) {
    if (v->viewController()) return v->viewController();
  }
  return nullptr;
}

bool TableView::userSelectCell(TableViewCell& cell) {
  auto path = indexPathForCell(&cell);
  return path && userSelectRow(*path);
}

bool TableView::userSelectRow(const IndexPath& path) {
  hideRowActions();
  if (editing_ ? !allowsSelectionDuringEditing_ : !allowsSelection_) return false;
  auto keep = std::static_pointer_cast<View>(shared_from_this());
  auto d = delegate();
  if (d && !d->shouldHighlightRow(*this, path)) return false;
  std::optional<IndexPath> target = path;
  if (d) target = d->willSelectRow(*this, path);
  if (!target) return true;
  if (allowsMultipleSelection_ && selected_.count(*target)) {
    std::optional<IndexPath> out = *target;
    if (d) out = d->willDeselectRow(*this, *target);
    if (out) {
      deselectRow(*out, false);
      if (d) d->didDeselectRow(*this, *out);
    }
    return true;
  }
  if (!allowsMultipleSelection_) {
    for (const IndexPath& p : std::vector<IndexPath>(selected_.begin(), selected_.end())) {
      if (p == *target) continue;
      std::optional<IndexPath> out = p;
      if (d) out = d->willDeselectRow(*this, p);
      if (!out) continue;
      deselectRow(*out, false);
      if (d) d->didDeselectRow(*this, *out);
    }
  }
  selectRow(*target, false, TableViewScrollPosition::None);
  // A prototype cell's segue runs before the delegate hears of the selection.
  if (auto cell = cellForRow(*target); cell && !cell->segueIdentifier().empty()) {
    if (ViewController* vc = owningController()) vc->triggerSegue(cell->segueIdentifier(), cell.get());
  }
  if (d) d->didSelectRow(*this, *target);
  return true;
}

std::vector<std::string> TableView::rowActionTitles(const IndexPath& path) {
  std::vector<std::string> titles;
  for (const auto& button : rowActionButtons(path)) titles.push_back(button.title);
  return titles;
}

std::vector<TableView::RowActionButton> TableView::rowActionButtons(const IndexPath& path) {
  std::vector<RowActionButton> buttons;
  auto d = delegate();
  auto ds = dataSource();
  if (!ds || !ds->canEditRow(*this, path)) return buttons;
  auto red = Color::withRGBA(1, 59 / 255.0, 48 / 255.0);
  auto gray = Color::systemGray();
  if (d) {
    if (auto config = d->trailingSwipeActions(*this, path)) {
      for (const auto& a : config->actions) {
        ColorPtr color = a->backgroundColor();
        if (!color) color = a->style() == ContextualActionStyle::Destructive ? red : gray;
        buttons.push_back({a->title(), color});
      }
      return buttons;
    }
    if (auto actions = d->editActionsForRow(*this, path)) {
      for (const auto& a : *actions) {
        ColorPtr color = a->backgroundColor();
        if (!color) color = a->style() == TableViewRowActionStyle::Normal ? gray : red;
        buttons.push_back({a->title(), color});
      }
      return buttons;
    }
  }
  if (!d || d->editingStyleForRow(*this, path) == TableViewCellEditingStyle::Delete)
    buttons.push_back({d ? d->titleForDeleteConfirmationButton(*this, path) : "Delete", red});
  return buttons;
}

void TableView::revealRowActions(const IndexPath& path) {
  hideRowActions();
  revealed_ = path;
  if (auto cell = cellForRow(path)) cell->setNeedsLayout();
}

void TableView::hideRowActions() {
  if (!revealed_) return;
  auto it = visible_.find(*revealed_);
  revealed_.reset();
  if (it != visible_.end()) it->second->setNeedsLayout();
}

bool TableView::performRowAction(const IndexPath& path, const std::string& title, std::string* why) {
  auto fail = [&](std::string text) {
    if (why) *why = std::move(text);
    return false;
  };
  auto keep = std::static_pointer_cast<View>(shared_from_this());
  hideRowActions();
  auto d = delegate();
  auto ds = dataSource();
  // A person names the row by what it shows: the answer names what a
  // swipe on it offers.
  if (!ds || !ds->canEditRow(*this, path)) return fail("the row has no swipe actions");
  if (d) d->willBeginEditingRow(*this, path);
  bool done = false;
  bool decided = false;
  if (d) {
    if (auto config = d->trailingSwipeActions(*this, path)) {
      decided = true;
      for (const auto& a : config->actions) {
        if (a->title() != title) continue;
        auto cell = cellForRow(path);
        View& source = cell ? static_cast<View&>(*cell) : static_cast<View&>(*this);
        a->perform(source, [](bool) {});
        done = true;
        break;
      }
    } else if (auto actions = d->editActionsForRow(*this, path)) {
      decided = true;
      for (const auto& a : *actions) {
        if (a->title() != title) continue;
        a->perform(path);
        done = true;
        break;
      }
    }
  }
  if (!decided) {
    TableViewCellEditingStyle style = d ? d->editingStyleForRow(*this, path) : TableViewCellEditingStyle::Delete;
    std::string deleteTitle = d ? d->titleForDeleteConfirmationButton(*this, path) : "Delete";
    if (style == TableViewCellEditingStyle::Delete && title == deleteTitle) {
      ds->commitEditingStyle(*this, TableViewCellEditingStyle::Delete, path);
      done = true;
    }
  }
  if (d) d->didEndEditingRow(*this, path);
  if (done) return true;
  std::string offered;
  for (const auto& t : rowActionTitles(path)) offered += (offered.empty() ? "" : ", ") + t;
  return fail("the row offers no action \"" + title + "\"; swipe actions: " + offered);
}

bool TableView::userMoveRow(const IndexPath& from, const IndexPath& proposed) {
  auto ds = dataSource();
  if (!ds || !editing_ || !ds->canMoveRow(*this, from)) return false;
  auto d = delegate();
  IndexPath to = d ? d->targetIndexPathForMove(*this, from, proposed) : proposed;
  ensureCounts();
  if (to.section < 0 || to.section >= int(counts_.size())) return false;
  counts_[size_t(from.section)]--;
  counts_[size_t(to.section)]++;
  to.row = std::clamp(to.row, 0, counts_[size_t(to.section)] - 1);
  bool wasSelected = selected_.erase(from) > 0;
  ds->moveRow(*this, from, to);
  if (wasSelected) selected_.insert(to);
  recycleAll();
  setNeedsLayout();
  return true;
}

std::string TableView::tableHeaderText() const {
  if (!tableHeaderView_ || tableHeaderView_->isHidden()) return {};
  std::string header = tableHeaderView_->screenText();
  std::string inner = ScreenText::inlineText(*tableHeaderView_);
  return header.empty() ? inner : (inner.empty() ? header : header + " " + inner);
}

std::string TableView::screenText() const {
  std::ostringstream out;
  out << "Table" << (editing_ ? " (editing)" : "");
  if (std::string text = tableHeaderText(); !text.empty()) out << "\n  " << text;
  auto ds = dataSource_.lock();
  auto* self = const_cast<TableView*>(this);
  for (int s = 0; s < int(counts_.size()); ++s) {
    out << "\n  Section " << s;
    auto h = headers_.find(s);
    if (h != headers_.end() && !h->second->isHidden()) {
      std::string text = ScreenText::inlineText(*h->second);
      if (!text.empty()) out << " " << text;
    }
    int hidden = 0;
    for (int r = 0; r < counts_[size_t(s)]; ++r) {
      auto it = visible_.find({s, r});
      if (it == visible_.end()) {
        ++hidden;
        continue;
      }
      out << "\n    " << it->second->screenText();
    }
    if (hidden) out << "\n    (" << hidden << " more row" << (hidden == 1 ? "" : "s") << ")";
    auto f = footers_.find(s);
    if (f != footers_.end() && !f->second->isHidden()) {
      std::string text = ScreenText::inlineText(*f->second);
      if (!text.empty()) out << "\n    Footer " << text;
    }
  }
  (void)ds;
  (void)self;
  return out.str();
}

int TableView::rowNumber(const IndexPath& path) const {
  ensureCounts();
  int number = path.row + 1;
  for (int s = 0; s < path.section && s < int(counts_.size()); ++s) number += counts_[size_t(s)];
  return number;
}

std::optional<IndexPath> TableView::indexPathForRowNumber(int number) const {
  ensureCounts();
  if (number < 1) return std::nullopt;
  int left = number - 1;
  for (int s = 0; s < int(counts_.size()); ++s) {
    if (left < counts_[size_t(s)]) return IndexPath::forRow(left, s);
    left -= counts_[size_t(s)];
  }
  return std::nullopt;
}

int TableView::numberOfAllRows() const {
  ensureCounts();
  int total = 0;
  for (int n : counts_) total += n;
  return total;
}

std::string TableView::personScreenText(bool numbered) const {
  std::ostringstream out;
  out << "Table" << (editing_ ? " (editing)" : "");
  if (std::string text = tableHeaderText(); !text.empty()) out << "\n  " << text;
  auto rows = [](int n) { return std::to_string(n) + (n == 1 ? " row" : " rows"); };
  // The rows on screen lie together: those before them are above, those
  // after them below.
  int above = 0, below = 0;
  for (int s = 0; s < int(counts_.size()); ++s) {
    bool sectionShown = false;
    for (int r = 0; r < counts_[size_t(s)]; ++r) {
      auto it = visible_.find({s, r});
      if (it == visible_.end()) {
        ++(visible_.empty() || IndexPath{s, r} < visible_.begin()->first ? above : below);
        continue;
      }
      if (!sectionShown) {
        sectionShown = true;
        if (above && visible_.begin()->first == IndexPath{s, r}) out << "\n  " << rows(above) << " above";
        auto h = headers_.find(s);
        if (h != headers_.end() && !h->second->isHidden()) {
          if (std::string text = ScreenText::inlineText(*h->second); !text.empty()) out << "\n  " << text;
        }
      }
      out << "\n  ";
      if (numbered) out << rowNumber({s, r}) << ". ";
      out << it->second->screenText();
    }
    auto f = footers_.find(s);
    if (sectionShown && f != footers_.end() && !f->second->isHidden()) {
      if (std::string text = ScreenText::inlineText(*f->second); !text.empty()) out << "\n  " << text;
    }
  }
  if (visible_.empty() && above) out << "\n  " << rows(above) << " off screen";
  if (below) out << "\n  " << rows(below) << " below";
  return out.str();
}

}  // namespace ui
