// A table row's view: a content view with a text label, a detail label
// (value and subtitle styles) and an image view, an accessory, selection
// and editing states. Cells are reused: a dequeued cell is told
// prepareForReuse() first. A cell may carry the identifier of a segue its
// selection triggers (a storyboard prototype's segue).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/View.h"

namespace ui {

class ImageView;
class Label;
class TableView;

enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class TableViewCellAccessoryType {
  None = 0,
  DisclosureIndicator = 1,
  DetailDisclosureButton = 2,
  Checkmark = 3,
  DetailButton = 4,
};
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2, Default = 3 };
enum class TableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };

class TableViewCell : public View {
 public:
  explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::Default,
                         std::string reuseIdentifier = {});
  std::string typeName() const override { return "TableViewCell"; }

  TableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  View& contentView() { return *contentView_; }
  std::shared_ptr<View> contentViewShared() const { return contentView_; }
  // Made on first use.
  Label& textLabel();
  // Null for the default style.
  Label* detailTextLabel();
  ImageView& imageView();

  TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(TableViewCellAccessoryType t) { accessoryType_ = t; }
  std::shared_ptr<View> accessoryView() const { return accessoryView_; }
  void setAccessoryView(std::shared_ptr<View> v);
  TableViewCellAccessoryType editingAccessoryType() const { return editingAccessoryType_; }
  void setEditingAccessoryType(TableViewCellAccessoryType t) { editingAccessoryType_ = t; }
  TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(TableViewCellSelectionStyle s) { selectionStyle_ = s; }
  std::shared_ptr<View> selectedBackgroundView() const { return selectedBackground_; }
  void setSelectedBackgroundView(std::shared_ptr<View> v) { selectedBackground_ = std::move(v); }
  std::shared_ptr<View> backgroundView() const { return background_; }
  void setBackgroundView(std::shared_ptr<View> v) { background_ = std::move(v); }
  EdgeInsets separatorInset() const { return separatorInset_; }
  void setSeparatorInset(EdgeInsets e) { separatorInset_ = e; }
  bool showsReorderControl() const { return showsReorderControl_; }
  void setShowsReorderControl(bool s) { showsReorderControl_ = s; }

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected, bool animated = false);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted, bool animated = false);
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated = false);
  virtual void prepareForReuse() {}

  const std::string& segueIdentifier() const { return segueIdentifier_; }
  void setSegueIdentifier(std::string id) { segueIdentifier_ = std::move(id); }

  // The table the cell is shown in, or null.
  TableView* tableView() const;

  // What the cell draws itself that a touch at `p` (the cell's
  // coordinates) may land on: a revealed row action (its title in
  // *action), the editing control on the left, the reorder control on the
  // right; None elsewhere.
  enum class DrawnControl { None, RowAction, EditingControl, ReorderControl };
  DrawnControl drawnControlAt(Point p, std::string* action = nullptr) const;

  void layoutSubviews() override;
  bool performTap(Point location) override;
  // The texts the row shows, then the accessory: "\"Title\" \"Detail\" >".
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;
  bool rendersSubviews() const override { return false; }

 private:
  // Whether the row shows its reorder control now (editing, movable row).
  bool showsReorderControlNow() const;
  // Whether the row shows its delete or insert control now (editing, an
  // editable row whose style is not None); `insert` says which.
  bool showsEditingControlNow(bool* insert = nullptr) const;
  // The revealed row actions' buttons with their widths, left to right
  // (none unless the table shows this row swiped open).
  struct ActionButton {
    std::string title;
    ColorPtr color;
    double width;
  };
  std::vector<ActionButton> revealedActions() const;

  TableViewCellStyle style_;
  std::string reuseIdentifier_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<Label> detailTextLabel_;
  std::shared_ptr<ImageView> imageView_;
  TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
  std::shared_ptr<View> accessoryView_;
  TableViewCellAccessoryType editingAccessoryType_ = TableViewCellAccessoryType::None;
  TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Default;
  std::shared_ptr<View> selectedBackground_;
  std::shared_ptr<View> background_;
  EdgeInsets separatorInset_{0, 16, 0, 0};
  bool showsReorderControl_ = false;
  bool selected_ = false;
  bool highlighted_ = false;
  bool editing_ = false;
  std::string segueIdentifier_;
};

}  // namespace ui
