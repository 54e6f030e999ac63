#include "Platform/UIKit/TableViewController.h"

#include "Platform/UIKit/Screen.h"

namespace ui {

TableViewController::TableViewController(TableViewStyle style) : style_(style) {}

TableView& TableViewController::tableView() { return *tableViewShared(); }

std::shared_ptr<TableView> TableViewController::tableViewShared() {
  view();
  return table_;
}

void TableViewController::setTableView(std::shared_ptr<TableView> table) {
  table_ = std::move(table);
  if (!table_) return;
  auto self = std::static_pointer_cast<TableViewController>(shared());
  table_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
  table_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
  setView(table_);
}

void TableViewController::loadView() {
  setTableView(std::make_shared<TableView>(Screen::main().bounds(), style_));
}

void TableViewController::viewWillAppear(bool animated) {
  if (!clearsSelection_ || !table_) return;
  for (const IndexPath& p : table_->indexPathsForSelectedRows()) table_->deselectRow(p, animated);
}

void TableViewController::setEditing(bool editing, bool animated) {
  ViewController::setEditing(editing, animated);
  if (table_) table_->setEditing(editing, animated);
}

void TableViewController::setStaticSections(std::vector<StaticTableSection> sections) {
  static_ = std::move(sections);
  if (table_) table_->reloadData();
}

int TableViewController::numberOfSections(TableView&) { return static_.empty() ? 1 : int(static_.size()); }

int TableViewController::numberOfRows(TableView&, int section) {
  if (section < 0 || section >= int(static_.size())) return 0;
  return int(static_[size_t(section)].cells.size());
}

std::shared_ptr<TableViewCell> TableViewController::cellForRow(TableView&, const IndexPath& path) {
  if (path.section < 0 || path.section >= int(static_.size())) return nullptr;
  const auto& cells = static_[size_t(path.section)].cells;
  return path.row >= 0 && path.row < int(cells.size()) ? cells[size_t(path.row)] : nullptr;
}

std::string TableViewController::titleForHeader(TableView&, int section) {
  return section >= 0 && section < int(static_.size()) ? static_[size_t(section)].headerTitle : std::string();
}

std::string TableViewController::titleForFooter(TableView&, int section) {
  return section >= 0 && section < int(static_.size()) ? static_[size_t(section)].footerTitle : std::string();
}

bool TableViewController::canEditRow(TableView&, const IndexPath&) { return static_.empty(); }

}  // namespace ui
