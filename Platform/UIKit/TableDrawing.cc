// How table rows and section headers draw: a row's selected background,
// its editing and reorder controls, its accessory, the action buttons of a
// row swiped open and the separator under it; a header's background.
#include <algorithm>

#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TableViewCell.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/ViewDrawing.h"

namespace ui {

void TableViewCell::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  TableView* table = tableView();

  if ((selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::None) {
    if (selectedBackground_) {
      drawViewHierarchy(context, *selectedBackground_, b.origin);
    } else {
      drawing::fill(context, *Color::withRGBA(209 / 255.0, 209 / 255.0, 214 / 255.0), b);
    }
  } else if (background_) {
    drawViewHierarchy(context, *background_, b.origin);
  }

  if (bool insert = false; showsEditingControlNow(&insert))
    drawing::editingControl(context, Point{b.minX() + 19, b.midY()}, insert);
  if (showsReorderControlNow()) drawing::reorderControl(context, Point{b.maxX() - 21, b.midY()});

  TableViewCellAccessoryType accessory = editing_ ? editingAccessoryType_ : accessoryType_;
  if (!accessoryView_) {
    Point at{b.maxX() - 20, b.midY()};
    switch (accessory) {
      case TableViewCellAccessoryType::DisclosureIndicator:
        drawing::chevron(context, at, 13, *Color::withRGBA(196 / 255.0, 196 / 255.0, 199 / 255.0), false);
        break;
      case TableViewCellAccessoryType::Checkmark:
        drawing::checkmark(context, at, 14, *tintColor());
        break;
      case TableViewCellAccessoryType::DetailButton:
      case TableViewCellAccessoryType::DetailDisclosureButton:
        context.setStrokeColor(rgba(*tintColor()));
        context.setLineWidth(1.5);
        context.strokePath(cg::Path::ellipse(Rect(at.x - 11, at.y - 11, 22, 22)));
        drawing::drawLine(context, "i", *Font::boldSystemFont(15), *tintColor(), Rect(at.x - 11, at.y - 11, 22, 22),
                          TextAlignment::Center);
        break;
      case TableViewCellAccessoryType::None: break;
    }
  }

  // The buttons of a row swiped open fill the place its content left.
  std::vector<ActionButton> actions = revealedActions();
  double x = b.maxX();
  for (const auto& action : actions) x -= action.width;
  for (const auto& action : actions) {
    Rect button(x, b.minY(), action.width, b.height());
    drawing::fill(context, *action.color, button);
    drawing::drawLine(context, action.title, *Font::systemFont(15), *Color::white(), button, TextAlignment::Center);
    x += action.width;
  }

  if (table && table->separatorStyle() == TableViewCellSeparatorStyle::SingleLine) {
    ColorPtr color = table->separatorColor() ? table->separatorColor() : separatorColor();
    double left = separatorInset_.left + (editing_ ? 38 : 0);
    double pixel = 1 / context.scale();
    drawing::fill(context, *color, Rect(b.minX() + left, b.maxY() - pixel, std::max(0.0, b.width() - left), pixel));
  }
}

void TableViewHeaderFooterView::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  if (background_) {
    drawViewHierarchy(context, *background_, b.origin);
    return;
  }
  // A tint of its own (not one it inherits) colours a header; else the
  // platform's light grey band.
  ColorPtr tint = tintColor();
  bool own = !superview() || superview()->tintColor() != tint;
  drawing::fill(context, own && tint ? *tint : *secondarySystemBackgroundColor(), b);
}

}  // namespace ui
