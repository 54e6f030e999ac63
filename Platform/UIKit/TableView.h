// A table of rows in sections, filled by a data source and observed by a
// delegate. The table keeps its own count of rows per section, taken at
// reloadData() and brought forward by batch updates: inserts, deletes,
// moves and reloads of rows and sections between beginUpdates() and
// endUpdates() (or in performBatchUpdates). At the end of a batch the data
// source's new counts must equal the old ones plus inserts minus deletes
// plus moves in minus moves out, section by section; otherwise, as on the
// platform, it throws ns::Exception (NSInternalInconsistencyException) and
// the table keeps its old state.
//
// Rows are laid out from the top (table header, then per section a header,
// the rows, a footer); cells are asked for only for the rows inside the
// bounds, dequeued by reuse identifier from registered factories. The
// input layer selects rows (delegate will/did select, the cell's segue),
// swipes row actions and moves rows; the renderer prints
//
//   Table
//     Section 0 "Header"
//       "Row text" "Detail" >
//     (12 more rows)
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/UIKit/IndexPath.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableViewCell.h"
#include "Platform/UIKit/TableViewDataSource.h"
#include "Platform/UIKit/TableViewDelegate.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"

namespace ui {

enum class TableViewStyle { Plain = 0, Grouped = 1, InsetGrouped = 2 };
enum class TableViewRowAnimation { Fade = 0, Right, Left, Top, Bottom, None, Middle, Automatic = 100 };
enum class TableViewScrollPosition { None = 0, Top, Middle, Bottom };
enum class TableViewCellSeparatorStyle { None = 0, SingleLine = 1 };

inline constexpr double kTableViewAutomaticDimension = -1;

class TableView : public ScrollView {
 public:
  explicit TableView(TableViewStyle style = TableViewStyle::Plain);
  TableView(const Rect& frame, TableViewStyle style);
  std::string typeName() const override { return "TableView"; }

  TableViewStyle style() const { return style_; }
  void setDataSource(std::weak_ptr<TableViewDataSource> d);
  std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDelegate(std::weak_ptr<TableViewDelegate> d);
  std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }

  // Contents.
  void reloadData();
  int numberOfSections() const;
  int numberOfRows(int section) const;
  // All rows in order.
  std::vector<IndexPath> allIndexPaths() const;

  // Cells.
  using CellFactory = std::function<std::shared_ptr<TableViewCell>()>;
  void registerCell(const std::string& identifier, CellFactory factory);
  using HeaderFooterFactory = std::function<std::shared_ptr<TableViewHeaderFooterView>()>;
  void registerHeaderFooter(const std::string& identifier, HeaderFooterFactory factory);
  // A reusable cell, else a new one from the registered factory, else null.
  std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);
  // The same, but an unregistered identifier throws ns::Exception.
  std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier, const IndexPath& path);
  std::shared_ptr<TableViewHeaderFooterView> dequeueReusableHeaderFooter(const std::string& identifier);
  // The cell shown for a row (scrolled into the bounds or not: null when
  // the row is off screen).
  std::shared_ptr<TableViewCell> cellForRow(const IndexPath& path);
  std::vector<std::shared_ptr<TableViewCell>> visibleCells();
  std::vector<IndexPath> indexPathsForVisibleRows();
  std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
  std::optional<IndexPath> indexPathForRowAtPoint(Point p);
  Rect rectForRow(const IndexPath& path);
  Rect rectForSection(int section);
  // The header view shown for a section (delegate view or titled view).
  std::shared_ptr<View> headerViewForSection(int section);
  void scrollToRow(const IndexPath& path, TableViewScrollPosition position, bool animated);

  // Batch updates.
  void beginUpdates();
  void endUpdates();
  void performBatchUpdates(const std::function<void()>& updates,
                           std::function<void(bool finished)> completion = nullptr);
  void insertRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void deleteRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void reloadRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void moveRow(const IndexPath& from, const IndexPath& to);
  void insertSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void deleteSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void reloadSections(const std::vector<int>& sections, TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  void moveSection(int from, int to);

  // Selection.
  std::optional<IndexPath> indexPathForSelectedRow() const;
  std::vector<IndexPath> indexPathsForSelectedRows() const;
  void selectRow(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position);
  void deselectRow(const IndexPath& path, bool animated);
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool a) { allowsSelection_ = a; }
  bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
  void setAllowsSelectionDuringEditing(bool a) { allowsSelectionDuringEditing_ = a; }
  bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
  void setAllowsMultipleSelection(bool a) { allowsMultipleSelection_ = a; }

  // Editing.
  bool isEditing() const { return editing_; }
  void setEditing(bool editing, bool animated);

  // Looks and layout.
  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double h) { rowHeight_ = h; }
  double estimatedRowHeight() const { return estimatedRowHeight_; }
  void setEstimatedRowHeight(double h) { estimatedRowHeight_ = h; }
  double sectionHeaderHeight() const { return sectionHeaderHeight_; }
  void setSectionHeaderHeight(double h) { sectionHeaderHeight_ = h; }
  double sectionFooterHeight() const { return sectionFooterHeight_; }
  void setSectionFooterHeight(double h) { sectionFooterHeight_ = h; }
  std::shared_ptr<View> tableHeaderView() const { return tableHeaderView_; }
  void setTableHeaderView(std::shared_ptr<View> v);
  std::shared_ptr<View> tableFooterView() const { return tableFooterView_; }
  void setTableFooterView(std::shared_ptr<View> v);
  std::shared_ptr<View> backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<View> v);
  TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(TableViewCellSeparatorStyle s) { separatorStyle_ = s; }
  ColorPtr separatorColor() const { return separatorColor_; }
  void setSeparatorColor(ColorPtr c) { separatorColor_ = std::move(c); }
  EdgeInsets separatorInset() const { return separatorInset_; }
  void setSeparatorInset(EdgeInsets e) { separatorInset_ = e; }

  // Rows counted from 1 down the whole table, across its sections (what
  // a person taps by number), and back; null beyond the last row.
  int rowNumber(const IndexPath& path) const;
  std::optional<IndexPath> indexPathForRowNumber(int number) const;
  int numberOfAllRows() const;

  void layoutSubviews() override;
  std::string screenText() const override;
  // What a person sees: section headers by their text, the rows on screen
  // (numbered when `numbered`), and how many rows lie above and below.
  std::string personScreenText(bool numbered) const;
  bool rendersSubviews() const override { return false; }
  // Rows, headers and footers draw themselves (subviews).
  void drawRect(const Rect&) override {}

  // Input: a person taps a row's cell: highlight, will-select, select,
  // the cell's segue, did-select. False when selection is not allowed.
  bool userSelectCell(TableViewCell& cell);
  bool userSelectRow(const IndexPath& path);
  // Input: a person swipes a row and taps the action titled `title`.
  bool performRowAction(const IndexPath& path, const std::string& title, std::string* why = nullptr);
  // Input: the titles a swipe on the row reveals.
  std::vector<std::string> rowActionTitles(const IndexPath& path);
  // The buttons a swipe on the row reveals, left to right.
  struct RowActionButton {
    std::string title;
    ColorPtr color;
  };
  std::vector<RowActionButton> rowActionButtons(const IndexPath& path);
  // A row swiped open: its content slides aside and its action buttons
  // show until an action, a selection, a reload, a batch update or editing
  // mode closes it.
  void revealRowActions(const IndexPath& path);
  void hideRowActions();
  std::optional<IndexPath> rowWithRevealedActions() const { return revealed_; }
  // Input: a person drags a row (editing) to `proposed`; the delegate may
  // redirect it; the data source is told. False when the row cannot move.
  bool userMoveRow(const IndexPath& from, const IndexPath& proposed);

 protected:
  void didScroll() override { setNeedsLayout(); }

 private:
  struct Updates {
    std::vector<IndexPath> insertedRows, deletedRows, reloadedRows;
    std::vector<std::pair<IndexPath, IndexPath>> movedRows;
    std::vector<int> insertedSections, deletedSections, reloadedSections;
    std::vector<std::pair<int, int>> movedSections;
  };
  void ensureCounts() const;
  // What the table header view shows, on one line.
  std::string tableHeaderText() const;
  void applyUpdates(const Updates& updates);
  void recycleAll();
  double heightOfRow(const IndexPath& path);
  double headerHeight(int section);
  double footerHeight(int section);
  // The width a footer's title wraps in.
  double footerTextWidth() const;
  void relayout();
  std::shared_ptr<TableViewCell> makeCell(const IndexPath& path);
  ViewController* owningController() const;

  TableViewStyle style_;
  std::weak_ptr<TableViewDataSource> dataSource_;
  std::weak_ptr<TableViewDelegate> delegate_;
  mutable std::vector<int> counts_;
  mutable bool loaded_ = false;
  std::map<std::string, CellFactory> cellFactories_;
  std::map<std::string, HeaderFooterFactory> headerFactories_;
  std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reusable_;
  std::map<std::string, std::vector<std::shared_ptr<TableViewHeaderFooterView>>> reusableHeaders_;
  std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
  std::map<int, std::shared_ptr<View>> headers_;
  std::map<int, std::shared_ptr<View>> footers_;
  std::set<IndexPath> selected_;
  int updateDepth_ = 0;
  Updates pending_;
  bool editing_ = false;
  bool allowsSelection_ = true;
  bool allowsSelectionDuringEditing_ = false;
  bool allowsMultipleSelection_ = false;
  double rowHeight_ = 44;
  double estimatedRowHeight_ = 0;
  double sectionHeaderHeight_ = kTableViewAutomaticDimension;
  double sectionFooterHeight_ = kTableViewAutomaticDimension;
  std::shared_ptr<View> tableHeaderView_;
  std::shared_ptr<View> tableFooterView_;
  std::shared_ptr<View> backgroundView_;
  TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
  ColorPtr separatorColor_;
  EdgeInsets separatorInset_{0, 16, 0, 0};
  std::vector<Rect> rowRects_;  // scratch of the last layout
  std::optional<IndexPath> revealed_;
  bool layingOut_ = false;
};

}  // namespace ui
