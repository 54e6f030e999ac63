#include "Platform/UIKit/TouchInput.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TableViewCell.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

enum class Gesture { Undecided, LongPress, Scroll, Swipe, Reorder, Slide, Wheel, Nothing };

struct Touch {
  bool down = false;
  Point start, last;
  Gesture gesture = Gesture::Undecided;
  std::shared_ptr<View> target;  // under the start point; null on nothing
  std::shared_ptr<LongPressGestureRecognizer> press;
  std::shared_ptr<View> moving;  // the scroll view, slider, picker or table the gesture moves
  IndexPath row;                 // the row swiped or reordered
  ns::Date wheelStart;           // the picker's date when its wheel began to turn
  long wheelRows = 0;            // rows turned so far
};

Touch& touch() {
  static Touch t;
  return t;
}

// `p` (screen points) in `view`'s coordinates: through its window, or for
// the keyboard's accessory bar (in no window) from the keyboard's top.
Point localPoint(const View& view, Point p) {
  const View* root = &view;
  while (root->superview()) root = root->superview();
  Point origin = root->frame().origin;
  if (!dynamic_cast<const Window*>(root)) {
    // Its bounds are drawn from the keyboard's top left corner.
    Point keyboard = Keyboard::shared().frame().origin;
    origin = {keyboard.x - root->frame().minX(), keyboard.y - root->frame().minY()};
  }
  return view.convertPointFrom(Point{p.x - origin.x, p.y - origin.y}, nullptr);
}

template <class T>
T* nearest(View* view) {
  for (View* v = view; v; v = v->superview()) {
    if (auto* found = dynamic_cast<T*>(v)) return found;
  }
  return nullptr;
}

std::shared_ptr<View> owned(View* view) {
  return view ? std::static_pointer_cast<View>(view->shared_from_this()) : nullptr;
}

ScrollView* scrollableUnder(View* view) {
  for (View* v = view; v; v = v->superview()) {
    auto* scroll = dynamic_cast<ScrollView*>(v);
    if (scroll && scroll->isScrollEnabled()) return scroll;
  }
  return nullptr;
}

// The first long-press recognizer on the view or above it that takes a
// touch at `p`, its timer started.
std::shared_ptr<LongPressGestureRecognizer> startPress(View* view, Point p) {
  for (View* v = view; v; v = v->superview()) {
    for (const auto& g : std::vector<std::shared_ptr<GestureRecognizer>>(v->gestureRecognizers())) {
      auto press = std::dynamic_pointer_cast<LongPressGestureRecognizer>(g);
      if (press && press->isEnabled() && press->pressBegan(localPoint(*v, p))) return press;
    }
  }
  return nullptr;
}

bool pressHasBegun(const LongPressGestureRecognizer& press) {
  auto state = press.state();
  return state == GestureRecognizerState::Began || state == GestureRecognizerState::Changed;
}

ns::Date wheelDate(const DatePicker& picker, ns::Date from, long rows) {
  ns::Date date(from.timeIntervalSinceReferenceDate() + double(rows) * picker.wheelStep());
  if (auto min = picker.minimumDate(); min && date < *min) date = *min;
  if (auto max = picker.maximumDate(); max && date > *max) date = *max;
  return date;
}

// What the first move past the slop makes of the touch.
Gesture decide(Touch& t, Point p) {
  View* target = t.target.get();
  if (!target) return Gesture::Nothing;
  if (auto* slider = nearest<Slider>(target); slider && slider->isEnabled()) {
    t.moving = owned(slider);
    return Gesture::Slide;
  }
  if (auto* picker = nearest<DatePicker>(target); picker && picker->isEnabled()) {
    t.moving = owned(picker);
    t.wheelStart = picker->date();
    return Gesture::Wheel;
  }
  auto* cell = nearest<TableViewCell>(target);
  TableView* table = cell ? cell->tableView() : nullptr;
  auto path = table ? table->indexPathForCell(cell) : std::nullopt;
  if (path && cell->drawnControlAt(localPoint(*cell, t.start)) == TableViewCell::DrawnControl::ReorderControl) {
    t.moving = owned(table);
    t.row = *path;
    return Gesture::Reorder;
  }
  bool sideways = std::abs(p.x - t.start.x) > std::abs(p.y - t.start.y);
  if (sideways && path && !table->isEditing() && !table->rowActionTitles(*path).empty()) {
    Input::touchDown(*cell);
    t.moving = owned(table);
    t.row = *path;
    return Gesture::Swipe;
  }
  if (ScrollView* scroll = scrollableUnder(target)) {
    Input::touchDown(*scroll);
    t.moving = owned(scroll);
    scroll->beginDragging();
    return Gesture::Scroll;
  }
  return Gesture::Nothing;
}

// The finger moves on to `p` in the gesture already decided.
void follow(Touch& t, Point p) {
  switch (t.gesture) {
    case Gesture::Scroll:
      // The content moves with the finger.
      static_cast<ScrollView&>(*t.moving).dragBy(t.last.y - p.y);
      break;
    case Gesture::Slide: {
      auto& slider = static_cast<Slider&>(*t.moving);
      float value = slider.valueAt(localPoint(slider, p).x);
      if (value != slider.value()) slider.slide(value);
      break;
    }
    case Gesture::Wheel: {
      // Dragging up rolls later rows into the middle.
      auto& picker = static_cast<DatePicker&>(*t.moving);
      long rows = std::lround((t.start.y - p.y) / DatePicker::kWheelRowHeight);
      if (rows != t.wheelRows) {
        t.wheelRows = rows;
        picker.pick(wheelDate(picker, t.wheelStart, rows));
      }
      break;
    }
    default:
      break;
  }
}

// A tap at `p` on what a view does not draw as a subview of its own.
std::optional<bool> tapDrawnControl(View& target, Point p) {
  if (auto* bar = nearest<NavigationBar>(&target)) {
    auto item = bar->itemAt(localPoint(*bar, p));
    if (!item) return false;
    Input::touchDown(*bar);
    bool pressed = item->press();
    Input::settle();
    return pressed;
  }
  auto* cell = nearest<TableViewCell>(&target);
  TableView* table = cell ? cell->tableView() : nullptr;
  auto path = table ? table->indexPathForCell(cell) : std::nullopt;
  if (path) {
    std::string action;
    switch (cell->drawnControlAt(localPoint(*cell, p), &action)) {
      case TableViewCell::DrawnControl::RowAction: {
        Input::touchDown(*cell);
        bool done = table->performRowAction(*path, action);
        Input::settle();
        return done;
      }
      case TableViewCell::DrawnControl::EditingControl:
        if (table->rowActionTitles(*path).empty()) return false;
        Input::touchDown(*cell);
        table->revealRowActions(*path);
        Input::settle();
        return true;
      case TableViewCell::DrawnControl::ReorderControl:
        return false;
      case TableViewCell::DrawnControl::None:
        break;
    }
  }
  // A row swiped open closes at a touch anywhere else in its table.
  if (auto* list = nearest<TableView>(&target); list && list->rowWithRevealedActions()) {
    list->hideRowActions();
    Input::settle();
    return true;
  }
  if (auto* picker = nearest<DatePicker>(&target); picker && picker->isEnabled()) {
    Point local = localPoint(*picker, p);
    long rows = std::lround((local.y - picker->bounds().midY()) / DatePicker::kWheelRowHeight);
    if (rows == 0) return false;
    picker->pick(wheelDate(*picker, picker->date(), rows));
    Input::settle();
    return true;
  }
  return std::nullopt;
}

bool tapAt(View* target, Point p) {
  if (!target) return false;
  if (auto drawn = tapDrawnControl(*target, p)) return *drawn;
  return Input::tapView(*target, localPoint(*target, p));
}

bool finish(Touch& t, Point p) {
  switch (t.gesture) {
    case Gesture::Undecided: {
      bool pressed = t.press && t.press->pressEnded();
      if (pressed) {
        Input::settle();
        return true;
      }
      return tapAt(t.target.get(), t.start);
    }
    case Gesture::LongPress:
      t.press->pressEnded();
      Input::settle();
      return true;
    case Gesture::Scroll:
      static_cast<ScrollView&>(*t.moving).endDragging();
      Input::settle();
      return true;
    case Gesture::Swipe: {
      auto& table = static_cast<TableView&>(*t.moving);
      double dx = p.x - t.start.x;
      if (dx <= -TouchInput::kSwipeDistance) {
        table.revealRowActions(t.row);
      } else if (dx >= TouchInput::kSwipeDistance && table.rowWithRevealedActions() == t.row) {
        table.hideRowActions();
      } else {
        return false;
      }
      Input::settle();
      return true;
    }
    case Gesture::Reorder: {
      auto& table = static_cast<TableView&>(*t.moving);
      auto to = table.indexPathForRowAtPoint(localPoint(table, p));
      if (!to || *to == t.row) return false;
      Input::touchDown(table);
      bool moved = table.userMoveRow(t.row, *to);
      Input::settle();
      return moved;
    }
    case Gesture::Slide:
    case Gesture::Wheel:
      Input::settle();
      return true;
    case Gesture::Nothing:
      return false;
  }
  return false;
}

}  // namespace

void TouchInput::began(Point p) {
  Touch& t = touch();
  if (t.down) cancelled();
  t = Touch{};
  t.down = true;
  t.start = t.last = p;
  t.target = owned(Input::viewAt(p));
  if (t.target) t.press = startPress(t.target.get(), p);
}

void TouchInput::moved(Point p) {
  Touch& t = touch();
  if (!t.down) return;
  if (t.gesture == Gesture::Undecided) {
    if (std::hypot(p.x - t.start.x, p.y - t.start.y) <= kSlop) return;
    if (t.press && pressHasBegun(*t.press)) {
      t.gesture = Gesture::LongPress;
    } else {
      if (t.press) t.press->pressEnded();
      t.press.reset();
      t.gesture = decide(t, p);
    }
  }
  follow(t, p);
  t.last = p;
}

bool TouchInput::ended(Point p) {
  Touch& t = touch();
  if (!t.down) return false;
  moved(p);
  bool acted = finish(t, p);
  t = Touch{};
  return acted;
}

void TouchInput::cancelled() {
  Touch& t = touch();
  if (!t.down) return;
  if (t.press) t.press->pressEnded();
  if (t.gesture == Gesture::Scroll) static_cast<ScrollView&>(*t.moving).endDragging();
  t = Touch{};
  dispatch::RunLoop::main().drain();
}

bool TouchInput::isDown() { return touch().down; }

bool TouchInput::scroll(Point p, double dy) {
  ScrollView* scroll = scrollableUnder(Input::viewAt(p));
  if (!scroll) return false;
  auto keep = owned(scroll);
  double before = scroll->contentOffset().y;
  Input::touchDown(*scroll);
  scroll->drag(dy);
  scroll->layoutIfNeeded();
  dispatch::RunLoop::main().drain();
  return scroll->contentOffset().y != before;
}

}  // namespace ui
