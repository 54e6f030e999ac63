// What a table asks about its contents. Only the row count and the cells
// are required; the rest have the platform's defaults.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/IndexPath.h"
#include "Platform/UIKit/TableViewCell.h"

namespace ui {

class TableView;

class TableViewDataSource {
 public:
  virtual ~TableViewDataSource() = default;
  virtual int numberOfSections(TableView&) { return 1; }
  virtual int numberOfRows(TableView&, int section) = 0;
  virtual std::shared_ptr<TableViewCell> cellForRow(TableView&, const IndexPath& path) = 0;
  virtual std::string titleForHeader(TableView&, int section) {
    (void)section;
    return {};
  }
  virtual std::string titleForFooter(TableView&, int section) {
    (void)section;
    return {};
  }
  virtual bool canEditRow(TableView&, const IndexPath&) { return true; }
  // Whether a row shows a reorder control while editing.
  virtual bool canMoveRow(TableView&, const IndexPath&) { return false; }
  // A row's delete (or insert) was confirmed: the data source changes its
  // data and updates the table.
  virtual void commitEditingStyle(TableView&, TableViewCellEditingStyle style, const IndexPath& path) {
    (void)style;
    (void)path;
  }
  // A person moved a row; the table already shows it there.
  virtual void moveRow(TableView&, const IndexPath& from, const IndexPath& to) {
    (void)from;
    (void)to;
  }
};

}  // namespace ui
