#include "Platform/UIKit/ScreenText.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "Platform/Foundation/DateFormatter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/Responder.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

bool shown(const View& v) { return !v.isHidden() && v.alpha() > 0.01; }

ViewController* presentedController(const View& v) {
  ViewController* vc = v.viewController();
  return vc && vc->presentingViewController() && !vc->parentViewController() ? vc : nullptr;
}

// Whether a presented controller's view hides what lies below it.
bool covers(const View& v) {
  ViewController* vc = presentedController(v);
  if (!vc || !shown(v)) return false;
  switch (vc->modalPresentationStyle()) {
    case ModalPresentationStyle::OverFullScreen:
    case ModalPresentationStyle::OverCurrentContext:
    case ModalPresentationStyle::Custom:
    case ModalPresentationStyle::Popover:
      return false;
    default:
      break;
  }
  const View* parent = v.superview();
  return parent && v.frame().contains(parent->bounds());
}

void emit(std::ostringstream& out, int indent, const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) out << std::string(size_t(indent) * 2, ' ') << line << "\n";
}

// How the screen is written: the framework's outline (tests), or what a
// person sees (the host program): no window lines, tables by their rows,
// the rows of `numbered` counted, the panes of a split view labelled.
struct Style {
  bool person = false;
  const TableView* numbered = nullptr;
};

void walk(std::ostringstream& out, const View& v, int indent, const Style& style);

void walkChildren(std::ostringstream& out, const View& v, int indent, const Style& style) {
  const auto& subs = v.subviews();
  size_t first = 0;
  for (size_t i = subs.size(); i-- > 0;) {
    if (covers(*subs[i])) {
      first = i;
      break;
    }
  }
  // Reading order: top to bottom (drawing order among equals, to half a
  // point: a turned view's frame may stray by a rounding error), presented
  // controllers last.
  std::vector<const View*> order;
  for (size_t i = first; i < subs.size(); ++i) {
    // What a clipping view leaves wholly outside itself is not on screen
    // (the accessory's key row when it is collapsed).
    if (v.clipsToBounds() && !subs[i]->frame().intersects(v.bounds())) continue;
    order.push_back(subs[i].get());
  }
  auto rank = [](const View* v) {
    if (presentedController(*v)) return 2;
    return dynamic_cast<const NavigationBar*>(v) ? 0 : 1;
  };
  std::stable_sort(order.begin(), order.end(), [&](const View* a, const View* b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    if (rank(a) == 2) return false;
    return std::round(a->frame().minY() * 2) < std::round(b->frame().minY() * 2);
  });
  for (const View* s : order) walk(out, *s, indent, style);
}

// A person reads a date picker's date as the device writes dates.
std::string pickerText(const DatePicker& picker) {
  ns::DateFormatter formatter;
  bool date = picker.mode() != DatePickerMode::Time;
  bool time = picker.mode() != DatePickerMode::Date;
  formatter.setDateStyle(date ? ns::DateFormatterStyle::Medium : ns::DateFormatterStyle::None);
  formatter.setTimeStyle(time ? ns::DateFormatterStyle::Short : ns::DateFormatterStyle::None);
  return "Date picker: " + formatter.stringFromDate(picker.date()) + (picker.isEnabled() ? "" : " (disabled)");
}

std::string personText(const View& v, const Style& style) {
  if (auto* table = dynamic_cast<const TableView*>(&v)) return table->personScreenText(table == style.numbered);
  if (auto* picker = dynamic_cast<const DatePicker*>(&v)) return pickerText(*picker);
  // A title that keeps its line terminator reads as its line.
  if (auto* label = dynamic_cast<const Label*>(&v); label && label->text().ends_with('\n')) {
    std::string text = label->text();
    while (text.ends_with('\n')) text.pop_back();
    return "\"" + text + "\"";
  }
  return v.screenText();
}

// The side of a split view a child's view stands for.
std::string paneLabel(const View& v) {
  ViewController* vc = v.viewController();
  auto* split = vc ? dynamic_cast<SplitViewController*>(vc->parentViewController()) : nullptr;
  if (!split || split->isCollapsed() || split->viewControllers().size() < 2) return {};
  if (split->viewControllers().front().get() == vc) return "List side:";
  if (split->viewControllers().back().get() == vc) return "Detail side:";
  return {};
}

void walk(std::ostringstream& out, const View& v, int indent, const Style& style) {
  if (!shown(v)) return;
  if (ViewController* vc = presentedController(v)) {
    emit(out, indent, "Presented " + vc->typeName() + ":");
    ++indent;
  }
  if (style.person) {
    if (std::string label = paneLabel(v); !label.empty()) {
      emit(out, indent, label);
      ++indent;
    }
  }
  std::string text = style.person ? personText(v, style) : v.screenText();
  if (!text.empty()) {
    emit(out, indent, text);
    if (!v.rendersSubviews()) return;
    ++indent;
  } else if (!v.rendersSubviews()) {
    return;
  }
  walkChildren(out, v, indent, style);
}

}  // namespace

namespace {
void collect(const View& v, std::string& out) {
  if (!shown(v)) return;
  std::string text = v.screenText();
  if (!text.empty()) {
    for (char& c : text) {
      if (c == '\n') c = ' ';
    }
    out += (out.empty() ? "" : " ") + text;
    if (!v.rendersSubviews()) return;
  } else if (!v.rendersSubviews()) {
    return;
  }
  for (const auto& s : v.subviews()) collect(*s, out);
}
}  // namespace

std::string ScreenText::inlineText(const View& view) {
  std::string out;
  // A view that prints itself alone (a search bar with its cancel button)
  // shows nothing more through its subviews.
  if (!view.rendersSubviews()) return out;
  for (const auto& s : view.subviews()) collect(*s, out);
  return out;
}

std::string ScreenText::render(const View& view) {
  std::ostringstream out;
  walk(out, view, 0, Style{});
  return out.str();
}

namespace {
// The keyboard's accessory bar, above the keyboard.
void writeKeyboardAccessory(std::ostringstream& out, const Style& style) {
  if (!Keyboard::shared().isVisible()) return;
  Responder* responder = currentFirstResponder();
  auto accessory = responder ? responder->inputAccessoryView() : nullptr;
  if (!accessory) return;
  accessory->layoutIfNeeded();
  out << "Keyboard accessory\n";
  walkChildren(out, *accessory, 1, style);
}
}  // namespace

std::string ScreenText::render() {
  std::ostringstream out;
  for (const auto& w : Application::shared().windows()) {
    if (!shown(*w)) continue;
    w->layoutIfNeeded();
    out << "Window" << (w->isKeyWindow() ? " (key)" : "") << "\n";
    walkChildren(out, *w, 1, Style{});
  }
  writeKeyboardAccessory(out, Style{});
  return out.str();
}

std::string ScreenText::renderForPerson() {
  Style style{true, Input::numberedTable()};
  std::ostringstream out;
  for (const auto& w : Application::shared().windows()) {
    if (!shown(*w)) continue;
    w->layoutIfNeeded();
    walkChildren(out, *w, 0, style);
  }
  writeKeyboardAccessory(out, style);
  return out.str();
}

}  // namespace ui
