// What a table tells and asks its delegate: heights, header and footer
// views, selection, editing styles, row actions and moves. Every operation
// is optional; a height below zero means the table's own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/UIKit/IndexPath.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableViewCell.h"
#include "Platform/UIKit/TableViewRowAction.h"

namespace ui {

class TableView;

class TableViewDelegate : public ScrollViewDelegate {
 public:
  virtual double heightForRow(TableView&, const IndexPath&) { return -1; }
  virtual double heightForHeader(TableView&, int section) {
    (void)section;
    return -1;
  }
  virtual double heightForFooter(TableView&, int section) {
    (void)section;
    return -1;
  }
  virtual std::shared_ptr<View> viewForHeader(TableView&, int section) {
    (void)section;
    return nullptr;
  }
  virtual std::shared_ptr<View> viewForFooter(TableView&, int section) {
    (void)section;
    return nullptr;
  }
  virtual void willDisplayCell(TableView&, TableViewCell&, const IndexPath&) {}
  virtual void willDisplayHeaderView(TableView&, View&, int section) { (void)section; }
  virtual bool shouldHighlightRow(TableView&, const IndexPath&) { return true; }
  // The row to select instead (nullopt: none).
  virtual std::optional<IndexPath> willSelectRow(TableView&, const IndexPath& path) { return path; }
  virtual void didSelectRow(TableView&, const IndexPath&) {}
  virtual std::optional<IndexPath> willDeselectRow(TableView&, const IndexPath& path) { return path; }
  virtual void didDeselectRow(TableView&, const IndexPath&) {}
  virtual void accessoryButtonTapped(TableView&, const IndexPath&) {}
  virtual TableViewCellEditingStyle editingStyleForRow(TableView&, const IndexPath&) {
    return TableViewCellEditingStyle::Delete;
  }
  virtual std::string titleForDeleteConfirmationButton(TableView&, const IndexPath&) { return "Delete"; }
  virtual bool shouldIndentWhileEditing(TableView&, const IndexPath&) { return true; }
  // Row actions (older form); nullopt: the default delete action.
  virtual std::optional<std::vector<std::shared_ptr<TableViewRowAction>>> editActionsForRow(TableView&,
                                                                                             const IndexPath&) {
    return std::nullopt;
  }
  // Swipe configurations (newer form); null: fall back to the row actions.
  virtual std::shared_ptr<SwipeActionsConfiguration> trailingSwipeActions(TableView&, const IndexPath&) {
    return nullptr;
  }
  virtual std::shared_ptr<SwipeActionsConfiguration> leadingSwipeActions(TableView&, const IndexPath&) {
    return nullptr;
  }
  virtual void willBeginEditingRow(TableView&, const IndexPath&) {}
  virtual void didEndEditingRow(TableView&, const std::optional<IndexPath>&) {}
  // Where a dragged row may go; `proposed` by default.
  virtual IndexPath targetIndexPathForMove(TableView&, const IndexPath& from, const IndexPath& proposed) {
    (void)from;
    return proposed;
  }
};

}  // namespace ui
