#include "Platform/UIKit/Input.h"

#include <functional>
#include <vector>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/Previewing.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

double& settleSeconds() {
  static double seconds = 0.5;
  return seconds;
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
    if (visit(*subs[i], visitor)) return true;
    if (!shown(*subs[i]) || !subs[i]->frame().contains(v.bounds())) continue;
    // Nothing below a full-screen presented controller can be touched.
    ViewController* vc = subs[i]->viewController();
    if (vc && vc->presentingViewController() && !vc->parentViewController() &&
        vc->modalPresentationStyle() != ModalPresentationStyle::OverFullScreen &&
        vc->modalPresentationStyle() != ModalPresentationStyle::OverCurrentContext &&
        vc->modalPresentationStyle() != ModalPresentationStyle::Custom)
      return false;
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
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    // What a person touches is what the screen shows once laid out (rows
    // of a table reloaded since the last layout, for instance).
    (*it)->layoutIfNeeded();
    if (visit(**it, visitor)) return true;
  }
  return false;
}

// A view shows `text` when it matches it, or the same text followed by a
// line break: a label shows only its first line, so a title that keeps its
// line terminator reads (and is tapped) as that line.
bool shows(const View& v, const std::string& text) {
  return v.matchesText(text) || (!text.empty() && text.back() != '\n' && v.matchesText(text + "\n"));
}

bool interactive(const View& v) {
  for (const View* p = &v; p; p = p->superview()) {
    if (!p->isUserInteractionEnabled() && p != &v) return false;
  }
  return true;
}

std::shared_ptr<BarButtonItem> findBarItem(const std::string& title, bool backToo) {
  std::shared_ptr<BarButtonItem> found;
  visitScreen([&](View& v) {
    auto* bar = dynamic_cast<NavigationBar*>(&v);
    if (!bar) return false;
    auto back = bar->backItem();
    auto matches = [&](const std::shared_ptr<BarButtonItem>& item) {
      if (!item) return false;
      if (item == back) return backToo && (title == "Back" || title == item->displayTitle() ||
                                           title == "< " + item->displayTitle());
      if (item->displayTitle() == title || item->accessibilityIdentifier() == title) return true;
      return item->customView() && item->customView()->matchesText(title);
    };
    for (const auto& item : bar->leftItems()) {
      if (matches(item)) found = item;
    }
    for (const auto& item : bar->rightItems()) {
      if (!found && matches(item)) found = item;
    }
    return found != nullptr;
  });
  return found;
}

}  // namespace

double Input::settleTime() { return settleSeconds(); }
void Input::setSettleTime(double seconds) { settleSeconds() = seconds; }
const std::string& Input::lastFailure() { return failure(); }

void Input::settle() {
  auto& loop = dispatch::RunLoop::main();
  loop.drain();
  if (settleSeconds() <= 0) return;
  if (ns::Clock::isVirtual()) {
    loop.advanceClock(settleSeconds());
  } else {
    loop.runUntil([] { return false; }, settleSeconds());
  }
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

bool Input::tapView(View& view) {
  auto keep = std::static_pointer_cast<View>(view.shared_from_this());
  Point center{view.bounds().midX(), view.bounds().midY()};
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
  if (auto item = findBarItem(text, true)) {
    if (!item->isEnabled()) return fail("the bar button \"" + text + "\" is disabled");
    bool pressed = item->press();
    settle();
    return pressed || fail("the bar button \"" + text + "\" has no action");
  }
  std::vector<std::shared_ptr<View>> candidates;
  visitScreen([&](View& v) {
    if (shows(v, text)) candidates.push_back(std::static_pointer_cast<View>(v.shared_from_this()));
    return false;
  });
  if (candidates.empty()) return fail("nothing on screen shows \"" + text + "\"");
  for (const auto& v : candidates) {
    if (tapView(*v)) return true;
  }
  return fail("\"" + text + "\" is on screen but nothing takes a tap there");
}

bool Input::pressBarButton(const std::string& title) {
  auto item = findBarItem(title, true);
  if (!item) return fail("no bar button \"" + title + "\"");
  bool pressed = item->press();
  settle();
  return pressed || fail("the bar button \"" + title + "\" is disabled or has no action");
}

bool Input::goBack() {
  std::shared_ptr<BarButtonItem> back;
  visitScreen([&](View& v) {
    auto* bar = dynamic_cast<NavigationBar*>(&v);
    if (bar) back = bar->backItem();
    return back != nullptr;
  });
  if (!back) return fail("no back button on screen");
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
// The cell of the frontmost row showing `text`.
TableViewCell* rowShowing(const std::string& text) {
  View* found = nullptr;
  visitScreen([&](View& v) {
    if (!shows(v, text)) return false;
    for (View* p = &v; p; p = p->superview()) {
      if (dynamic_cast<TableViewCell*>(p)) {
        found = p;
        return true;
      }
    }
    return false;
  });
  return dynamic_cast<TableViewCell*>(found);
}
}  // namespace

bool Input::swipeRow(const std::string& rowText, const std::string& action) {
  auto* cell = rowShowing(rowText);
  if (!cell) return fail("no table row shows \"" + rowText + "\"");
  TableView* table = cell->tableView();
  if (!table) return fail("the row \"" + rowText + "\" is in no table");
  auto path = table->indexPathForCell(cell);
  if (!path) return fail("the row \"" + rowText + "\" is not in the table");
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
  if (!table->userMoveRow(*from, *to)) return fail("the row \"" + rowText + "\" cannot move");
  settle();
  return true;
}

bool Input::longPress(const std::string& text, double seconds) {
  View* view = find(text);
  if (!view) return fail("nothing on screen shows \"" + text + "\"");
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

}  // namespace ui
