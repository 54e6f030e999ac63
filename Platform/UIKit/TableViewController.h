// A controller whose view is a table and which is the table's data source
// and delegate. Static tables: give it sections of ready-made cells and the
// default answers come from them (subclasses may override and call these).
// It clears the selection when it is about to appear (subclasses overriding
// viewWillAppear call TableViewController::viewWillAppear), and its
// editing mode is the table's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

struct StaticTableSection {
  std::string headerTitle;
  std::string footerTitle;
  std::vector<std::shared_ptr<TableViewCell>> cells;
};

class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
 public:
  explicit TableViewController(TableViewStyle style = TableViewStyle::Plain);
  std::string typeName() const override { return "TableViewController"; }

  TableView& tableView();
  std::shared_ptr<TableView> tableViewShared();
  void setTableView(std::shared_ptr<TableView> table);

  bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
  void setClearsSelectionOnViewWillAppear(bool c) { clearsSelection_ = c; }

  void setStaticSections(std::vector<StaticTableSection> sections);
  const std::vector<StaticTableSection>& staticSections() const { return static_; }

  void loadView() override;
  void viewWillAppear(bool animated) override;
  void setEditing(bool editing, bool animated) override;

  int numberOfSections(TableView&) override;
  int numberOfRows(TableView&, int section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView&, const IndexPath& path) override;
  std::string titleForHeader(TableView&, int section) override;
  std::string titleForFooter(TableView&, int section) override;
  // Static rows are not editable.
  bool canEditRow(TableView&, const IndexPath& path) override;

 private:
  TableViewStyle style_;
  std::shared_ptr<TableView> table_;
  bool clearsSelection_ = true;
  std::vector<StaticTableSection> static_;
};

}  // namespace ui
