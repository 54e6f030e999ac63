#include "Platform/UIKit/NavigationBar.h"

#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/View.h"

namespace ui {

NavigationBar::NavigationBar(NavigationController* owner) : owner_(owner) {}

namespace {
// The controllers the bar stands for: a navigation controller nested in the
// stack (a collapsed split view's detail) counts as its own stack.
std::vector<std::pair<ViewController*, NavigationController*>> flatStack(NavigationController* nav) {
  std::vector<std::pair<ViewController*, NavigationController*>> out;
  for (const auto& c : nav->viewControllers()) {
    if (auto* inner = dynamic_cast<NavigationController*>(c.get())) {
      for (auto& entry : flatStack(inner)) out.push_back(entry);
    } else {
      out.emplace_back(c.get(), nav);
    }
  }
  return out;
}
}  // namespace

NavigationItem* NavigationBar::topItem() const {
  if (!owner_) return items_.empty() ? nullptr : items_.back().get();
  auto stack = flatStack(owner_);
  return stack.empty() ? nullptr : &stack.back().first->navigationItem();
}

std::shared_ptr<BarButtonItem> NavigationBar::backItem() const {
  if (!owner_) return nullptr;
  auto stack = flatStack(owner_);
  if (stack.size() < 2) return nullptr;
  NavigationItem& item = stack.back().first->navigationItem();
  if (item.hidesBackButton()) return nullptr;
  if (!item.leftBarButtonItems().empty() && !item.leftItemsSupplementBackButton()) return nullptr;
  ViewController* below = stack[stack.size() - 2].first;
  // The innermost stack with something to pop goes back first.
  NavigationController* popper = stack.back().second;
  if (popper->viewControllers().size() < 2) popper = owner_;
  std::string title = "Back";
  if (auto custom = below->navigationItem().backBarButtonItem()) {
    title = custom->title();
  } else if (!below->navigationItem().title().empty()) {
    title = below->navigationItem().title();
  }
  if (!back_) back_ = BarButtonItem::withTitle(title, BarButtonItemStyle::Plain, nullptr);
  back_->setAction([popper](BarButtonItem&) { popper->popViewController(true); });
  back_->setTitle(title);
  return back_;
}

std::vector<std::shared_ptr<BarButtonItem>> NavigationBar::leftItems() const {
  std::vector<std::shared_ptr<BarButtonItem>> out;
  if (auto back = backItem()) out.push_back(back);
  if (NavigationItem* item = topItem()) {
    for (const auto& i : item->leftBarButtonItems()) out.push_back(i);
  }
  return out;
}

std::vector<std::shared_ptr<BarButtonItem>> NavigationBar::rightItems() const {
  NavigationItem* item = topItem();
  if (!item) return {};
  // The first right item is the outermost: shown last.
  auto items = item->rightBarButtonItems();
  return std::vector<std::shared_ptr<BarButtonItem>>(items.rbegin(), items.rend());
}

std::string NavigationBar::title() const {
  NavigationItem* item = topItem();
  return item ? item->title() : std::string();
}

namespace {
std::string bracket(const BarButtonItem& item, bool back) {
  std::string text = back ? item.displayTitle() : item.screenName();
  if (text.empty() && item.customView()) text = item.customView()->screenText();
  std::string out = "[" + std::string(back ? "< " : "") + text + "]";
  if (!item.isEnabled()) out += "(disabled)";
  return out;
}
}  // namespace

std::string NavigationBar::screenText() const {
  std::string out = "NavigationBar:";
  auto back = backItem();
  for (const auto& i : leftItems()) out += " " + bracket(*i, i == back);
  NavigationItem* top = topItem();
  if (top && !top->promptLine().empty()) out += " (" + top->promptLine() + ")";
  if (top && title().empty() && top->titleView() && !top->titleView()->screenText().empty())
    out += " " + top->titleView()->screenText();
  else
    out += " \"" + title() + "\"";
  for (const auto& i : rightItems()) out += " " + bracket(*i, false);
  return out;
}

}  // namespace ui
