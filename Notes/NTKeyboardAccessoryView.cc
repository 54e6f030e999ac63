#include "Notes/NTKeyboardAccessoryView.h"

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/SystemColors.h"

namespace {
constexpr double kCollapseWidth = 44;
}  // namespace

NTKeyboardAccessoryView::NTKeyboardAccessoryView(const Actions& actions) {
  double width = ui::Screen::main().bounds().width();
  setFrame(ui::Rect(0, 0, width, kHeight));
  setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
  setClipsToBounds(true);
  toolbar_ = ui::View::make(ui::Rect(0, 0, width - kCollapseWidth, kHeight));
  toolbar_->setBackgroundColor(ui::Color::withWhite(0.97));
  addSubview(toolbar_);
  // Eight keys share the row evenly.
  double step = (width - kCollapseWidth) / 8;
  struct Key {
    const char* title;
    std::function<void()> action;
    std::shared_ptr<ui::Button>* button;
  };
  const Key keys[] = {
      {"Undo", actions.undo, &undo_},          {"Redo", actions.redo, &redo_},
      {"Bold", actions.bold, &bold_},          {"Italic", actions.italic, &italic_},
      {"Underline", actions.underline, &underline_}, {"Photo", actions.camera, &camera_},
      {"Left", actions.left, &left_},          {"Right", actions.right, &right_},
  };
  double x = 0;
  for (const auto& k : keys) {
    *k.button = key(k.title, k.action, x, step);
    toolbar_->addSubview(*k.button);
    x += step;
  }
  collapse_ = key("Collapse", actions.collapse, width - kCollapseWidth, kCollapseWidth);
  collapse_->setBackgroundColor(ui::Color::withWhite(0.97));
  addSubview(collapse_);
}

std::shared_ptr<ui::Button> NTKeyboardAccessoryView::key(const std::string& title, std::function<void()> action,
                                                         double x, double width) {
  auto button = ui::Button::withType(ui::ButtonType::System);
  button->setTitle(title);
  // A title wider than its key shrinks to fit rather than being cut.
  button->titleLabel().setAdjustsFontSizeToFitWidth(true);
  button->titleLabel().setMinimumScaleFactor(0.5);
  button->setAccessibilityIdentifier(title);
  button->setFrame(ui::Rect(x, 0, width, kHeight));
  button->addTarget(this, [action](ui::Control&) {
    if (action) action();
  }, ui::kControlEventTouchUpInside);
  return button;
}
