#include "Platform/UIKit/TableViewCell.h"

#include <algorithm>
#include <cmath>

#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TextDrawing.h"

namespace ui {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(Rect(0, 0, 320, 44)), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
  contentView_ = View::make(bounds());
  contentView_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
  contentView_->setOpaque(false);
  addSubview(contentView_);
  setBackgroundColor(Color::white());
}

Label& TableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<Label>();
    contentView_->addSubview(textLabel_);
    setNeedsLayout();
  }
  return *textLabel_;
}

Label* TableViewCell::detailTextLabel() {
  if (style_ == TableViewCellStyle::Default) return nullptr;
  if (!detailTextLabel_) {
    detailTextLabel_ = std::make_shared<Label>();
    if (style_ == TableViewCellStyle::Value1) detailTextLabel_->setTextColor(secondaryLabelColor());
    if (style_ == TableViewCellStyle::Subtitle) detailTextLabel_->setFont(Font::systemFont(12));
    contentView_->addSubview(detailTextLabel_);
    setNeedsLayout();
  }
  return detailTextLabel_.get();
}

ImageView& TableViewCell::imageView() {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>();
    contentView_->insertSubview(imageView_, 0);
    setNeedsLayout();
  }
  return *imageView_;
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> v) {
  if (accessoryView_) accessoryView_->removeFromSuperview();
  accessoryView_ = std::move(v);
  if (accessoryView_) addSubview(accessoryView_);
  setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool) {
  selected_ = selected;
  if (textLabel_) textLabel_->setHighlighted(selected && selectionStyle_ != TableViewCellSelectionStyle::None);
}

void TableViewCell::setHighlighted(bool highlighted, bool) { highlighted_ = highlighted; }

void TableViewCell::setEditing(bool editing, bool) {
  editing_ = editing;
  setNeedsLayout();
}

TableView* TableViewCell::tableView() const {
  for (View* v = superview(); v; v = v->superview()) {
    if (auto* table = dynamic_cast<TableView*>(v)) return table;
  }
  return nullptr;
}

bool TableViewCell::showsReorderControlNow() const {
  TableView* table = tableView();
  if (!editing_ || !table) return false;
  auto path = table->indexPathForCell(this);
  auto ds = table->dataSource();
  return path && ds && ds->canMoveRow(*table, *path);
}

bool TableViewCell::showsEditingControlNow(bool* insert) const {
  TableView* table = tableView();
  auto path = table ? table->indexPathForCell(this) : std::nullopt;
  if (!editing_ || !path) return false;
  TableViewCellEditingStyle style = TableViewCellEditingStyle::Delete;
  if (auto d = table->delegate()) style = d->editingStyleForRow(*table, *path);
  auto ds = table->dataSource();
  if (insert) *insert = style == TableViewCellEditingStyle::Insert;
  return style != TableViewCellEditingStyle::None && ds && ds->canEditRow(*table, *path);
}

TableViewCell::DrawnControl TableViewCell::drawnControlAt(Point p, std::string* action) const {
  Rect b = bounds();
  if (!b.contains(p)) return DrawnControl::None;
  // The action buttons fill the right end of a row swiped open.
  auto actions = revealedActions();
  double x = b.maxX();
  for (const auto& a : actions) x -= a.width;
  for (const auto& a : actions) {
    if (p.x >= x && p.x < x + a.width) {
      if (action) *action = a.title;
      return DrawnControl::RowAction;
    }
    x += a.width;
  }
  if (p.x < b.minX() + 38 && showsEditingControlNow()) return DrawnControl::EditingControl;
  if (p.x >= b.maxX() - 40 && showsReorderControlNow()) return DrawnControl::ReorderControl;
  return DrawnControl::None;
}

std::vector<TableViewCell::ActionButton> TableViewCell::revealedActions() const {
  std::vector<ActionButton> out;
  TableView* table = tableView();
  auto revealed = table ? table->rowWithRevealedActions() : std::nullopt;
  if (!revealed || table->indexPathForCell(this) != revealed) return out;
  auto font = Font::systemFont(15);
  for (auto& button : table->rowActionButtons(*revealed)) {
    double width = std::max(74.0, std::ceil(sizeOfText(button.title, *font).width) + 30);
    out.push_back({std::move(button.title), std::move(button.color), width});
  }
  return out;
}

void TableViewCell::layoutSubviews() {
  Rect b = bounds();
  if (background_) background_->setFrame(b);
  if (selectedBackground_) selectedBackground_->setFrame(b);
  double right = b.width();
  if (accessoryView_) {
    Size s = accessoryView_->bounds().size;
    right -= s.width + 16;
    accessoryView_->setFrame(Rect(right + 8, (b.height() - s.height) / 2, s.width, s.height));
  } else if (accessoryType_ != TableViewCellAccessoryType::None) {
    right -= 34;
  }
  if (showsReorderControlNow()) right = std::min(right, b.width() - 40);
  // A row swiped open slides its content aside for the action buttons.
  double shift = 0;
  for (const auto& action : revealedActions()) shift += action.width;
  contentView_->setFrame(Rect((editing_ ? 38 : 0) - shift, 0, right - (editing_ ? 38 : 0), b.height()));
  Rect c = contentView_->bounds();
  double x = 16;
  if (imageView_ && imageView_->image()) {
    Size s = imageView_->image()->size();
    imageView_->setFrame(Rect(x, (c.height() - s.height) / 2, s.width, s.height));
    x += s.width + 16;
  }
  double width = std::max(0.0, c.width() - x - 16);
  if (style_ == TableViewCellStyle::Subtitle && detailTextLabel_) {
    if (textLabel_) textLabel_->setFrame(Rect(x, 4, width, 21));
    detailTextLabel_->setFrame(Rect(x, 25, width, 15));
  } else if (style_ == TableViewCellStyle::Value1 && detailTextLabel_) {
    Size d = detailTextLabel_->sizeThatFits({0, 0});
    detailTextLabel_->setFrame(Rect(c.width() - 16 - d.width, 0, d.width, c.height()));
    if (textLabel_) textLabel_->setFrame(Rect(x, 0, std::max(0.0, width - d.width - 8), c.height()));
  } else {
    if (textLabel_) textLabel_->setFrame(Rect(x, 0, width, c.height()));
    if (detailTextLabel_) detailTextLabel_->setFrame(Rect(x, 0, width, c.height()));
  }
}

bool TableViewCell::performTap(Point) {
  TableView* table = tableView();
  return table && table->userSelectCell(*this);
}

namespace {
const char* accessoryMark(TableViewCellAccessoryType type) {
  switch (type) {
    case TableViewCellAccessoryType::DisclosureIndicator: return ">";
    case TableViewCellAccessoryType::DetailDisclosureButton: return "(i) >";
    case TableViewCellAccessoryType::Checkmark: return "✓";
    case TableViewCellAccessoryType::DetailButton: return "(i)";
    case TableViewCellAccessoryType::None: break;
  }
  return "";
}
}  // namespace

std::string TableViewCell::screenText() const {
  std::string out = ScreenText::inlineText(*contentView_);
  if (accessoryView_ && !accessoryView_->isHidden()) {
    std::string a = accessoryView_->screenText();
    if (accessoryView_->rendersSubviews()) {
      std::string inner = ScreenText::inlineText(*accessoryView_);
      a += (a.empty() || inner.empty() ? "" : " ") + inner;
    }
    if (!a.empty()) out += (out.empty() ? "" : " ") + a;
  }
  std::string mark = accessoryMark(editing_ ? editingAccessoryType_ : accessoryType_);
  if (!mark.empty()) out += (out.empty() ? "" : " ") + mark;
  if (selected_) out += " (selected)";
  if (out.empty()) out = "(empty row)";
  return out;
}

}  // namespace ui
