#include "Platform/UIKit/Input.h"

#include <cmath>
#include <functional>
#include <vector>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

double& settleSeconds() {
  static double seconds = 0.5;
  return seconds;
}

std::function<void(double)>& settlePace() {
  static std::function<void(double)> pace;
  return pace;
}

std::string& failure() {
  static std::string text;
  return text;
}

bool fail(std::string why) {
  failure() = std::move(why);
  return false;
}

bool shown(const View& v) { return !v.isHidden() && v.alpha() > 0.01; }

// Visits visible views front to back (topmost window first, later subviews
// first, a view before... after its subviews, as touches reach them). The
// visitor returns true to stop.
bool visit(View& v, const std::function<bool(View&)>& visitor) {
  if (!shown(v)) return false;
  const auto subs = v.subviews();
  for (size_t i = subs.size(); i-- > 0;) {
    // Nothing a clipping view leaves wholly outside itself can be touched.
    if (v.clipsToBounds() && !subs[i]->frame().intersects(v.bounds())) continue;
    if (visit(*subs[i], visitor)) return true;
    if (!shown(*subs[i])) continue;
    ViewController* vc = subs[i]->viewController();
    // A presented controller is modal: nothing below it takes a touch until
    // it goes, even where it leaves the screen visible around it (an alert,
    // a sheet on a pad). Only a context presentation (search) lets the
    // content it lies over be touched.
    if (vc && vc->presentingViewController() && !vc->parentViewController() &&
        vc->modalPresentationStyle() != ModalPresentationStyle::OverCurrentContext)
      return false;
    if (!subs[i]->frame().contains(v.bounds())) continue;
    // Nor below a plain view that covers it all and takes touches (a cover
    // that swallows them).
    if (!vc && subs[i]->isUserInteractionEnabled() && subs[i]->subviews().empty()) return false;
  }
  return visitor(v);
}

bool visitScreen(const std::function<bool(View&)>& visitor) {
  // The keyboard's accessory bar lies above every window.
  if (Keyboard::shared().isVisible()) {
    Responder* responder = currentFirstResponder();
    if (auto accessory = responder ? responder->inputAccessoryView() : nullptr) {
      accessory->layoutIfNeeded();
      if (visit(*accessory, visitor)) return true;
    }
  }
  auto windows = Application::shared().windows();
  const Rect screen = Screen::main().bounds();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    // What a person touches is what the screen shows once laid out (rows
    // of a table reloaded since the last layout, for instance).
    (*it)->layoutIfNeeded();
    if (visit(**it, visitor)) return true;
    // A window over the whole screen that takes touches is where every
    // touch lands (an alert in a window of its own): nothing in the
    // windows below it, their bars included, can be reached.
    if (shown(**it) && (*it)->isUserInteractionEnabled() && (*it)->frame().contains(screen)) return false;
  }
  return false;
}

// A view shows `text` when it matches it, or the same text followed by a
// line break: a label shows only its first line, so a title that keeps its
// line terminator reads (and is tapped) as that line.
bool shows(const View& v, const std::string& text) {
  return v.matchesText(text) || (!text.empty() && text.back() != '\n' && v.matchesText(text + "\n"));
}

// The same, white space around the texts ignored: a label or button title
// that ends in a space still answers to the text a person reads.
bool showsLoosely(const View& v, const std::string& text) {
  std::string wanted = ns::trimmingWhitespaceAndNewlines(text);
  if (wanted.empty()) return false;
  if (auto* label = dynamic_cast<const Label*>(&v)) return ns::trimmingWhitespaceAndNewlines(label->text()) == wanted;
  if (auto* button = dynamic_cast<const Button*>(&v))
    return ns::trimmingWhitespaceAndNewlines(button->currentTitle()) == wanted;
  return false;
}

bool interactive(const View& v) {
  for (const View* p = &v; p; p = p->superview()) {
    if (!p->isUserInteractionEnabled() && p != &v) return false;
  }
  return true;
}

// A touch is seen first by the recognizers of the views above the one it
// lands on (from `from` up to the window; each asks its delegate whether to
// take it), before that view acts: a recognizer over a whole screen hears
// of every touch without keeping it from the control underneath.
void offerTouchToRecognizers(View* from, const View& touched, Point location) {
  for (View* v = from; v; v = v->superview()) {
    Point inView = touched.convertPointTo(location, v);
    for (const auto& g : std::vector<std::shared_ptr<GestureRecognizer>>(v->gestureRecognizers())) g->receiveTouch(inView);
  }
}

// A finger on a bar button touches the bar.
void touchBar(View& bar) {
  offerTouchToRecognizers(&bar, bar, {bar.bounds().midX(), bar.bounds().midY()});
}

// A finger on `touched` for a gesture other than a tap (a swipe, a drag, a
// press): the recognizers above it hear of the touch all the same.
void touchDown(View& touched) {
  offerTouchToRecognizers(touched.superview(), touched, {touched.bounds().midX(), touched.bounds().midY()});
}

// The bar item titled `title` and the bar showing it.
std::shared_ptr<BarButtonItem> findBarItem(const std::string& title, bool backToo,
                                           std::shared_ptr<View>* barView = nullptr) {
  std::shared_ptr<BarButtonItem> found;
  visitScreen([&](View& v) {
    auto* bar = dynamic_cast<NavigationBar*>(&v);
    if (!bar) return false;
    // A bar in a window or view that takes no touch is seen, not pressed.
    if (!interactive(*bar) || !bar->isUserInteractionEnabled()) return false;
    auto back = bar->backItem();
    auto matches = [&](const std::shared_ptr<BarButtonItem>& item) {
      if (!item) return false;
      if (item == back) return backToo && (title == "Back" || title == item->displayTitle() ||
                                           title == "< " + item->displayTitle());
      if (item->matchesText(title)) return true;
      return item->customView() && item->customView()->matchesText(title);
    };
    for (const auto& item : bar->leftItems()) {
      if (matches(item)) found = item;
    }
    for (const auto& item : bar->rightItems()) {
      if (!found && matches(item)) found = item;
    }
    if (found && barView) *barView = std::static_pointer_cast<View>(bar->shared_from_this());
    return found != nullptr;
  });
  return found;
}

// A row of the numbered list that shows `text` off screen, scrolled on
// screen as a person looks for it; the list stays where it was when no row
// shows it. Defined with the scrolling below.
bool revealRowShowing(const std::string& text);

// What a person could tap instead, for the answer to a tap that found
// nothing: the numbered rows, the bar buttons and the buttons on screen.
std::string tappableSummary() {
  std::vector<std::string> names;
  auto add = [&](const std::string& name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  if (TableView* table = Input::numberedTable(); table && table->numberOfAllRows() > 0)
    add(table->numberOfAllRows() == 1 ? "row 1" : "rows 1-" + std::to_string(table->numberOfAllRows()));
  visitScreen([&](View& v) {
    if (auto* bar = dynamic_cast<NavigationBar*>(&v)) {
      if (!interactive(*bar) || !bar->isUserInteractionEnabled()) return false;
      if (bar->backItem()) add("Back");
      auto items = bar->leftItems();
      for (const auto& item : bar->rightItems()) items.push_back(item);
      for (const auto& item : items) {
        if (item && item != bar->backItem() && item->isEnabled()) add(item->screenName());
      }
    } else if (auto* button = dynamic_cast<Button*>(&v); button && button->isEnabled() && interactive(*button)) {
      add(button->screenName());
    } else if (auto* field = dynamic_cast<TextField*>(&v); field && field->isEnabled()) {
      add(field->placeholder());
    } else if (auto* text = dynamic_cast<TextView*>(&v); text && interactive(*text) && text->isUserInteractionEnabled()) {
      add(text->typeName());
    }
    return false;
  });
  if (names.empty()) return "nothing on screen takes a tap";
  std::string out = "on screen: ";
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
  return out;
}

}  // namespace

double Input::settleTime() { return settleSeconds(); }
void Input::setSettleTime(double seconds) { settleSeconds() = seconds; }
void Input::setSettlePace(std::function<void(double)> pace) { settlePace() = std::move(pace); }
const std::string& Input::lastFailure() { return failure(); }

namespace {
// The longest an action waits (real time) for work it started on other
// queues.
constexpr double kOtherQueuesWait = 3;

// What an action started on another queue (an answer the app waits for
// before it presents a view) comes back to the main queue: it runs before
// the action counts as done, whatever the speed of the machine.
void awaitOtherQueues() {
  auto& loop = dispatch::RunLoop::main();
  loop.drain();
  loop.runUntil([&loop] { return !dispatch::otherQueuesBusy() && !loop.hasPendingWork(); }, kOtherQueuesWait);
  loop.drain();
}
}  // namespace

void Input::settle() {
  auto& loop = dispatch::RunLoop::main();
  awaitOtherQueues();
  if (settleSeconds() <= 0) return;
  if (ns::Clock::isVirtual()) {
    if (settlePace()) {
      settlePace()(settleSeconds());
    } else {
      loop.advanceClock(settleSeconds());
    }
  } else {
    loop.runUntil([] { return false; }, settleSeconds());
  }
  awaitOtherQueues();
}

void Input::advance(double seconds) { dispatch::RunLoop::main().advanceClock(seconds); }

View* Input::find(const std::string& text) {
  View* found = nullptr;
  visitScreen([&](View& v) {
    if (!shows(v, text)) return false;
    found = &v;
    return true;
  });
  return found;
}

bool Input::tapView(View& view) { return tapView(view, Point{view.bounds().midX(), view.bounds().midY()}); }

bool Input::tapView(View& view, Point center) {
  auto keep = std::static_pointer_cast<View>(view.shared_from_this());
  // Whether the touch lands on the view is settled before anyone sees it
  // (a view that takes no touches leaves them to the views under it).
  bool landsOnView = shown(view) && interactive(view) && view.isUserInteractionEnabled();
  offerTouchToRecognizers(view.superview(), view, center);
  if (landsOnView && view.touchesBegan(center)) {
    settle();
    return true;
  }
  for (View* v = &view; v; v = v->superview()) {
    if (!shown(*v)) break;
    if (!interactive(*v) || !v->isUserInteractionEnabled()) continue;
    Point location = view.convertPointTo(center, v);
    if (v->performTap(location)) {
      settle();
      return true;
    }
  }
  return fail("nothing handled a tap on " + view.typeName());
}

bool Input::tap(const std::string& text) {
  // Bar buttons of the topmost bars come before content below them.
  std::shared_ptr<View> bar;
  if (auto item = findBarItem(text, true, &bar)) {
    touchBar(*bar);
    if (!item->isEnabled()) return fail("the bar button \"" + text + "\" is disabled");
    bool pressed = item->press();
    settle();
    return pressed || fail("the bar button \"" + text + "\" has no action");
  }
  std::vector<std::shared_ptr<View>> candidates;
  auto look = [&] {
    for (auto match : {shows, showsLoosely}) {
      visitScreen([&](View& v) {
        if (match(v, text)) candidates.push_back(std::static_pointer_cast<View>(v.shared_from_this()));
        return false;
      });
      if (!candidates.empty()) break;
    }
  };
  look();
  if (candidates.empty() && revealRowShowing(text)) look();
  if (candidates.empty()) return fail("nothing on screen shows \"" + text + "\"; " + tappableSummary());
  for (const auto& v : candidates) {
    if (tapView(*v, v->touchPoint(text))) return true;
  }
  return fail("\"" + text + "\" is on screen but nothing takes a tap there");
}

bool Input::pressBarButton(const std::string& title) {
  std::shared_ptr<View> bar;
  auto item = findBarItem(title, true, &bar);
  if (!item) return fail("no bar button \"" + title + "\"");
  touchBar(*bar);
  bool pressed = item->press();
  settle();
  return pressed || fail("the bar button \"" + title + "\" is disabled or has no action");
}

bool Input::goBack() {
  std::shared_ptr<BarButtonItem> back;
  std::shared_ptr<View> barView;
  visitScreen([&](View& v) {
    auto* bar = dynamic_cast<NavigationBar*>(&v);
    if (bar && interactive(*bar) && bar->isUserInteractionEnabled()) back = bar->backItem();
    if (back) barView = std::static_pointer_cast<View>(bar->shared_from_this());
    return back != nullptr;
  });
  if (!back) return fail("no back button on screen");
  touchBar(*barView);
  back->press();
  settle();
  return true;
}

namespace {
TextInput* focusedInput() { return dynamic_cast<TextInput*>(currentFirstResponder()); }
}  // namespace

bool Input::type(const std::string& text) {
  TextInput* input = focusedInput();
  if (!input) return fail("no text input is first responder");
  input->insertText(text);
  settle();
  return true;
}

bool Input::deleteBackward() {
  TextInput* input = focusedInput();
  if (!input) return fail("no text input is first responder");
  input->deleteBackward();
  settle();
  return true;
}

bool Input::pressReturn() {
  TextInput* input = focusedInput();
  if (!input) return fail("no text input is first responder");
  input->pressReturn();
  settle();
  return true;
}

namespace {
// The cell of the frontmost row showing `text` (white space around it
// ignored when nothing shows it exactly).
TableViewCell* rowShowing(const std::string& text) {
  View* found = nullptr;
  for (auto match : {shows, showsLoosely}) {
    visitScreen([&](View& v) {
      if (!match(v, text)) return false;
      for (View* p = &v; p; p = p->superview()) {
        if (dynamic_cast<TableViewCell*>(p)) {
          found = p;
          return true;
        }
      }
      return false;
    });
    if (found) break;
  }
  return dynamic_cast<TableViewCell*>(found);
}
}  // namespace

bool Input::swipeRow(const std::string& rowText, const std::string& action) {
  auto* cell = rowShowing(rowText);
  if (!cell && revealRowShowing(rowText)) cell = rowShowing(rowText);
  if (!cell) return fail("no table row shows \"" + rowText + "\"");
  TableView* table = cell->tableView();
  if (!table) return fail("the row \"" + rowText + "\" is in no table");
  auto path = table->indexPathForCell(cell);
  if (!path) return fail("the row \"" + rowText + "\" is not in the table");
  touchDown(*cell);
  std::string why;
  if (!table->performRowAction(*path, action, &why)) return fail(why);
  settle();
  return true;
}

bool Input::dragRow(const std::string& rowText, const std::string& targetText) {
  auto* cell = rowShowing(rowText);
  if (!cell) return fail("no table row shows \"" + rowText + "\"");
  auto* target = rowShowing(targetText);
  if (!target) return fail("no table row shows \"" + targetText + "\"");
  TableView* table = cell->tableView();
  if (!table || target->tableView() != table) return fail("the rows are not in one table");
  auto from = table->indexPathForCell(cell);
  auto to = table->indexPathForCell(target);
  if (!from || !to) return fail("the rows are not in the table");
  if (!table->isEditing()) return fail("the table is not editing: rows move only while editing");
  auto keep = std::static_pointer_cast<View>(table->shared_from_this());
  touchDown(*cell);
  if (!table->userMoveRow(*from, *to)) return fail("the row \"" + rowText + "\" cannot move");
  settle();
  return true;
}

bool Input::longPress(const std::string& text, double seconds) {
  View* view = find(text);
  if (!view) return fail("nothing on screen shows \"" + text + "\"");
  touchDown(*view);
  for (View* v = view; v; v = v->superview()) {
    for (const auto& g : v->gestureRecognizers()) {
      auto* press = dynamic_cast<LongPressGestureRecognizer*>(g.get());
      if (!press) continue;
      Point location = view->convertPointTo({view->bounds().midX(), view->bounds().midY()}, v);
      if (!press->pressBegan(location)) continue;
      advance(seconds);
      bool began = press->pressEnded();
      settle();
      return began || fail("the press was shorter than the recognizer's minimum");
    }
  }
  return fail("no long-press recognizer at \"" + text + "\"");
}

namespace {
struct Peeked {
  std::shared_ptr<ViewController> preview;
  std::shared_ptr<PreviewingDelegate> delegate;
  std::shared_ptr<PreviewingContext> context;
};

Peeked peekAt(const std::string& text) {
  View* view = Input::find(text);
  if (!view) return {};
  for (View* v = view; v; v = v->superview()) {
    for (View* owner = v; owner; owner = owner->superview()) {
      ViewController* vc = owner->viewController();
      if (!vc) continue;
      for (const auto& r : vc->previewRegistrations()) {
        auto source = r.context->sourceView();
        auto delegate = r.delegate.lock();
        if (!delegate || source.get() != v) continue;
        Point location = view->convertPointTo({view->bounds().midX(), view->bounds().midY()}, v);
        if (auto preview = delegate->previewingViewController(*r.context, location))
          return {preview, delegate, r.context};
        return {};
      }
    }
  }
  return {};
}
}  // namespace

std::shared_ptr<ViewController> Input::peek(const std::string& text) {
  Peeked p = peekAt(text);
  if (!p.preview) fail("no preview at \"" + text + "\"");
  return p.preview;
}

bool Input::pop(const std::string& text) {
  Peeked p = peekAt(text);
  if (!p.preview) return fail("no preview at \"" + text + "\"");
  p.delegate->commitViewController(*p.context, p.preview);
  settle();
  return true;
}

bool Input::toggle(const std::string& text) {
  View* view = find(text);
  if (!view) return fail("nothing on screen shows \"" + text + "\"");
  for (View* v = view; v; v = v->superview()) {
    if (Switch* s = v->firstOfType<Switch>()) {
      touchDown(*s);
      if (!s->tap()) return fail("the switch at \"" + text + "\" is disabled");
      settle();
      return true;
    }
  }
  return fail("no switch next to \"" + text + "\"");
}

bool Input::slide(const std::string& text, float value) {
  View* view = find(text);
  if (!view) return fail("nothing on screen shows \"" + text + "\"");
  for (View* v = view; v; v = v->superview()) {
    if (Slider* s = v->firstOfType<Slider>()) {
      if (!s->isEnabled()) return fail("the slider at \"" + text + "\" is disabled");
      touchDown(*s);
      s->slide(value);
      settle();
      return true;
    }
  }
  return fail("no slider next to \"" + text + "\"");
}

void Input::background() {
  Application::shared().enterBackground();
  settle();
}

void Input::foreground() {
  Application::shared().enterForeground();
  settle();
}

void Input::lock() {
  Application::shared().setProtectedDataAvailable(false);
  settle();
}

void Input::unlock() {
  Application::shared().setProtectedDataAvailable(true);
  settle();
}

// MARK: - Rows by number, scrolling

TableView* Input::numberedTable() {
  // The table of the frontmost view that lies in one (its background view
  // covers it, so the table is reached through what it holds).
  TableView* found = nullptr;
  visitScreen([&](View& v) {
    for (View* p = &v; p && !found; p = p->superview()) found = dynamic_cast<TableView*>(p);
    return found != nullptr;
  });
  return found;
}

namespace {

std::string rowsText(int count) { return count == 1 ? "1 row" : std::to_string(count) + " rows"; }

// The row numbered `number` of the numbered table, scrolled on screen
// first when it lies off it, as a person would.
TableViewCell* revealRow(int number, TableView** tableOut, IndexPath* pathOut) {
  TableView* table = Input::numberedTable();
  if (!table) return fail("no list on screen"), nullptr;
  auto path = table->indexPathForRowNumber(number);
  if (!path) return fail("no row " + std::to_string(number) + ": the list has " + rowsText(table->numberOfAllRows())), nullptr;
  if (!table->cellForRow(*path)) {
    table->scrollToRow(*path, TableViewScrollPosition::Middle, false);
    table->layoutIfNeeded();
  }
  *tableOut = table;
  *pathOut = *path;
  auto cell = table->cellForRow(*path);
  if (!cell) return fail("row " + std::to_string(number) + " cannot be scrolled on screen"), nullptr;
  return cell.get();
}

}  // namespace

bool Input::tapRow(int number) {
  TableView* table = nullptr;
  IndexPath path;
  TableViewCell* cell = revealRow(number, &table, &path);
  return cell && tapView(*cell);
}

bool Input::swipeRow(int number, const std::string& action) {
  TableView* table = nullptr;
  IndexPath path;
  if (!revealRow(number, &table, &path)) return false;
  auto keep = std::static_pointer_cast<View>(table->shared_from_this());
  touchDown(*table);
  std::string why;
  if (!table->performRowAction(path, action, &why)) return fail(why);
  settle();
  return true;
}

std::optional<std::vector<std::string>> Input::rowActions(int number) {
  TableView* table = nullptr;
  IndexPath path;
  if (!revealRow(number, &table, &path)) return std::nullopt;
  return table->rowActionTitles(path);
}

std::optional<std::vector<std::string>> Input::rowActions(const std::string& rowText) {
  auto* cell = rowShowing(rowText);
  if (!cell && revealRowShowing(rowText)) cell = rowShowing(rowText);
  if (!cell) return fail("no table row shows \"" + rowText + "\""), std::nullopt;
  TableView* table = cell->tableView();
  auto path = table ? table->indexPathForCell(cell) : std::nullopt;
  if (!path) return fail("the row \"" + rowText + "\" is in no table"), std::nullopt;
  return table->rowActionTitles(*path);
}

bool Input::dragRow(int number, int targetNumber) {
  TableView* table = numberedTable();
  if (!table) return fail("no list on screen");
  auto from = table->indexPathForRowNumber(number);
  auto to = table->indexPathForRowNumber(targetNumber);
  int count = table->numberOfAllRows();
  if (!from) return fail("no row " + std::to_string(number) + ": the list has " + rowsText(count));
  if (!to) return fail("no row " + std::to_string(targetNumber) + ": the list has " + rowsText(count));
  if (!table->isEditing()) return fail("the table is not editing: rows move only while editing");
  auto keep = std::static_pointer_cast<View>(table->shared_from_this());
  touchDown(*table);
  if (!table->userMoveRow(*from, *to)) return fail("row " + std::to_string(number) + " cannot move");
  settle();
  return true;
}

namespace {

// A finger's flick: the list moves by its height less a row, so that one
// row stays in sight. False when it is already at that end.
bool flick(TableView& table, int direction) {
  touchDown(table);
  double page = std::max(table.rowHeight(), table.bounds().height() - table.rowHeight());
  double before = table.contentOffset().y;
  table.drag(direction * page);
  table.layoutIfNeeded();
  return table.contentOffset().y != before;
}

bool rowOnScreenShows(TableView& table, const std::string& text) {
  for (const auto& cell : table.visibleCells()) {
    bool found = false;
    std::function<void(View&)> look = [&](View& v) {
      if (found || !shown(v)) return;
      if (shows(v, text) || showsLoosely(v, text)) found = true;
      for (const auto& sub : v.subviews()) look(*sub);
    };
    look(*cell);
    if (found) return true;
  }
  return false;
}

}  // namespace

namespace {
bool revealRowShowing(const std::string& text) {
  TableView* table = Input::numberedTable();
  if (!table) return false;
  auto keep = std::static_pointer_cast<View>(table->shared_from_this());
  Point before = table->contentOffset();
  while (flick(*table, -1)) {
  }
  do {
    if (rowOnScreenShows(*table, text)) return true;
  } while (flick(*table, 1));
  table->setContentOffset(before);
  table->layoutIfNeeded();
  return false;
}
}  // namespace

bool Input::scroll(int direction) {
  TableView* table = numberedTable();
  if (!table) return fail("no list on screen");
  if (!flick(*table, direction < 0 ? -1 : 1)) return fail(direction < 0 ? "the list is at its top" : "the list is at its end");
  settle();
  return true;
}

bool Input::scrollTo(const std::string& text) {
  TableView* table = numberedTable();
  if (!table) return fail("no list on screen");
  if (rowOnScreenShows(*table, text)) return true;
  // From the top down, a screenful at a time, as a person looks for it.
  while (flick(*table, -1)) {
  }
  do {
    if (rowOnScreenShows(*table, text)) {
      settle();
      return true;
    }
  } while (flick(*table, 1));
  settle();
  return fail("no row of the list shows \"" + text + "\"");
}

// MARK: - Date pickers

DatePicker* Input::frontDatePicker() {
  DatePicker* found = nullptr;
  visitScreen([&](View& v) {
    found = dynamic_cast<DatePicker*>(&v);
    return found != nullptr;
  });
  return found;
}

std::optional<ns::Date> Input::pickDate(ns::Date date) {
  DatePicker* picker = frontDatePicker();
  if (!picker) return fail("no date picker on screen"), std::nullopt;
  if (!picker->isEnabled()) return fail("the date picker is disabled"), std::nullopt;
  touchDown(*picker);
  // The wheels turn in steps of the picker's minute interval: the nearest.
  double step = 60.0 * std::max(1, picker->minuteInterval());
  double seconds = date.timeIntervalSinceReferenceDate();
  date = ns::Date(std::round(seconds / step) * step);
  auto written = [](ns::Date d) {
    ns::DateFormatter formatter;
    formatter.setDateStyle(ns::DateFormatterStyle::Medium);
    formatter.setTimeStyle(ns::DateFormatterStyle::Short);
    return formatter.stringFromDate(d);
  };
  if (auto min = picker->minimumDate(); min && date.timeIntervalSince(*min) < 0)
    return fail("the picker goes back to " + written(*min) + " at the earliest"), std::nullopt;
  if (auto max = picker->maximumDate(); max && date.timeIntervalSince(*max) > 0)
    return fail("the picker goes up to " + written(*max) + " at the latest"), std::nullopt;
  auto keep = picker->shared_from_this();
  picker->pick(date);
  settle();
  return date;
}

// MARK: - Points

void Input::touchDown(View& view) { ui::touchDown(view); }

View* Input::viewAt(Point p) {
  // The accessory bar lies on the keyboard, outside every window.
  if (Keyboard::shared().isVisible()) {
    Rect keyboard = Keyboard::shared().frame();
    if (keyboard.contains(p)) {
      Responder* responder = currentFirstResponder();
      auto accessory = responder ? responder->inputAccessoryView() : nullptr;
      if (!accessory) return nullptr;
      accessory->layoutIfNeeded();
      // Its bounds are drawn from the keyboard's top left corner.
      Rect bounds = accessory->bounds();
      return accessory->hitTest(Point{p.x - keyboard.minX() + bounds.minX(), p.y - keyboard.minY() + bounds.minY()});
    }
  }
  // The deepest view under the point that takes touches, front to back,
  // within the bounds of each of its superviews (as hit-testing goes down
  // the tree), and only what a tap by text could reach.
  View* found = nullptr;
  visitScreen([&](View& v) {
    if (!v.isUserInteractionEnabled() || !interactive(v)) return false;
    const View* root = &v;
    while (root->superview()) root = root->superview();
    if (!dynamic_cast<const Window*>(root)) return false;  // the accessory bar, done above
    Point inWindow{p.x - root->frame().minX(), p.y - root->frame().minY()};
    for (const View* a = &v; a; a = a->superview()) {
      if (!a->pointInside(a->convertPointFrom(inWindow, nullptr))) return false;
    }
    found = &v;
    return true;
  });
  return found;
}

}  // namespace ui
