// How a navigation bar draws: its background (reaching up under the status
// bar when the bar stands just below it), the hairline under it, the back
// button and the items on both sides in the tint colour, and the title
// centred between them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/ViewDrawing.h"

namespace ui {

namespace {

constexpr double kMargin = 8;
constexpr double kItemSpacing = 12;
constexpr double kBackChevronWidth = 20;

// What an item shows and how wide it is.
struct BarItem {
  const BarButtonItem* item;
  bool back;
  double width;
};

std::shared_ptr<const Font> itemFont(const BarButtonItem& item) {
  bool done = item.style() == BarButtonItemStyle::Done || item.systemItem() == BarButtonSystemItem::Done;
  return done ? Font::boldSystemFont(17) : Font::systemFont(17);
}

// Bar items draw their images as templates unless they ask otherwise.
ImagePtr itemImage(const BarButtonItem& item) {
  auto image = item.image();
  if (!image || image->renderingMode() == ImageRenderingMode::AlwaysOriginal) return image;
  return image->withRenderingMode(ImageRenderingMode::AlwaysTemplate);
}

// The text an item shows: its title, else its system item's name (never
// the identifier the input layer finds it by).
std::string itemText(const BarButtonItem& item) {
  if (!item.title().empty() || !item.systemItem()) return item.title();
  return systemItemName(*item.systemItem());
}

BarItem measure(const BarButtonItem& item, bool back) {
  double width = 0;
  if (auto view = item.customView()) {
    width = view->bounds().width();
  } else if (auto image = itemImage(item)) {
    width = image->size().width;
  } else if (item.systemItem() == BarButtonSystemItem::Add) {
    width = 22;
  } else {
    std::string text = itemText(item);
    width = text.empty() ? 0 : std::ceil(drawing::lineSize(text, *itemFont(item)).width);
  }
  if (back) width += kBackChevronWidth;
  if (item.width() > 0) width = item.width();
  return {&item, back, width};
}

void drawItem(cg::ImageContext& context, const BarItem& shown, double x, const Rect& bar, const Color& barTint) {
  const BarButtonItem& item = *shown.item;
  ColorPtr tint = item.tintColor() ? item.tintColor() : barTint.withAlphaComponent(barTint.alpha());
  if (!item.isEnabled()) tint = tint->withAlphaComponent(tint->alpha() * 0.35);
  if (shown.back) {
    drawing::chevron(context, Point{x + 6, bar.midY()}, 20, *tint, true);
    x += kBackChevronWidth;
  }
  double width = shown.width - (shown.back ? kBackChevronWidth : 0);
  if (auto view = item.customView()) {
    drawViewHierarchy(context, *view, Point{x, bar.midY() - view->bounds().height() / 2});
  } else if (auto image = itemImage(item)) {
    Size s = image->size();
    drawing::drawImage(context, *image, Rect(x, bar.midY() - s.height / 2, s.width, s.height), *tint);
  } else if (item.systemItem() == BarButtonSystemItem::Add) {
    drawing::plus(context, Point{x + width / 2, bar.midY()}, 20, 2, *tint);
  } else {
    drawing::drawLine(context, itemText(item), *itemFont(item), *tint, Rect(x, bar.minY(), width, bar.height()));
  }
}

// Where each shown item stands: the left items from the left margin (the
// back item first), the right items from the right margin inwards.
struct PlacedItem {
  std::shared_ptr<BarButtonItem> item;
  BarItem shown;
  double x;
};

struct Placement {
  std::vector<PlacedItem> items;
  double left;   // where the room for the title begins
  double right;  // and ends
};

Placement place(const NavigationBar& bar) {
  Placement out;
  Rect b = bar.bounds();
  out.left = b.minX() + kMargin;
  auto back = bar.backItem();
  for (const auto& item : bar.leftItems()) {
    BarItem shown = measure(*item, item == back);
    out.items.push_back({item, shown, out.left});
    out.left += shown.width + kItemSpacing;
  }
  // The right items in the order they read (rightItems), placed from the
  // edge in: the last of them, the navigation item's first, stands at the
  // edge.
  out.right = b.maxX() - kMargin;
  auto rightToLeft = bar.rightItems();
  std::reverse(rightToLeft.begin(), rightToLeft.end());
  for (const auto& item : rightToLeft) {
    BarItem shown = measure(*item, false);
    out.right -= shown.width;
    out.items.push_back({item, shown, out.right});
    out.right -= kItemSpacing;
  }
  return out;
}

}  // namespace

std::shared_ptr<BarButtonItem> NavigationBar::itemAt(Point p) const {
  Rect b = bounds();
  if (p.y < b.minY() || p.y > b.maxY()) return nullptr;
  // A finger may miss an item by half the spacing on either side, and a
  // narrow item is as wide as a fingertip; where two such rooms overlap,
  // the nearer item takes the touch.
  constexpr double kFingertip = 44;
  std::shared_ptr<BarButtonItem> found;
  double nearest = 0;
  for (const auto& placed : place(*this).items) {
    double distance = std::abs(p.x - (placed.x + placed.shown.width / 2));
    double half = std::max(placed.shown.width / 2 + kItemSpacing / 2, kFingertip / 2);
    if (distance > half || (found && distance >= nearest)) continue;
    found = placed.item;
    nearest = distance;
  }
  return found;
}

void NavigationBar::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  // A bar just below the status bar reaches up under it.
  double top = convertRectTo(b, nullptr).minY();
  double above = top > 0 && top <= Screen::main().statusBarHeight() + 0.5 ? top : 0;
  Rect backdrop(b.minX(), b.minY() - above, b.width(), b.height() + above);
  if (background_ && background_->bitmap()) {
    background_->draw(context, backdrop);
  } else {
    drawing::fill(context, barTint_ ? *barTint_ : *Color::withWhite(0.97), backdrop);
  }
  // The hairline under the bar: the shadow image, none for an empty one.
  double pixel = 1 / context.scale();
  if (!shadow_) {
    drawing::fill(context, *Color::withWhite(0, 0.3), Rect(b.minX(), b.maxY(), b.width(), pixel));
  } else if (shadow_->bitmap()) {
    shadow_->draw(context, Rect(b.minX(), b.maxY(), b.width(), shadow_->size().height));
  }

  ColorPtr tint = tintColor();
  Placement placement = place(*this);
  for (const auto& placed : placement.items) drawItem(context, placed.shown, placed.x, b, *tint);
  double left = placement.left, right = placement.right;

  // The title: centred on the bar when the items leave room, else between them.
  NavigationItem* item = topItem();
  if (!item) return;
  // A prompt stands in a band above the bar (over the status bar here,
  // where nothing else is drawn).
  if (!item->promptLine().empty()) {
    drawing::drawLine(context, item->promptLine(), *Font::systemFont(13), *Color::withWhite(0, 0.75),
                      Rect(b.minX() + kMargin, b.minY() - 28, b.width() - 2 * kMargin, 24), TextAlignment::Center);
  }
  double space = std::max(0.0, std::min(b.midX() - left, right - b.midX()));
  if (auto view = item->titleView()) {
    Size s = view->bounds().size;
    drawViewHierarchy(context, *view, Point{b.midX() - s.width / 2, b.midY() - s.height / 2});
    return;
  }
  auto font = Font::boldSystemFont(17);
  double natural = std::ceil(drawing::lineSize(item->title(), *font).width);
  Rect title(b.midX() - space, b.minY(), 2 * space, b.height());
  if (natural > title.width()) title = Rect(left, b.minY(), std::max(0.0, right - left), b.height());
  drawing::drawLine(context, item->title(), *font, *Color::black(), title, TextAlignment::Center);
}

}  // namespace ui
