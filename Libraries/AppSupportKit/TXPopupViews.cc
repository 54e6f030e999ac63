#include "Libraries/AppSupportKit/TXPopupViews.h"

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace TXPopupViews {

std::shared_ptr<ui::Label> label(const ui::Rect& frame, double fontSize, bool bold) {
  auto label = std::make_shared<ui::Label>(frame);
  label->setFont(bold ? ui::Font::boldSystemFont(fontSize) : ui::Font::systemFont(fontSize));
  label->setTextAlignment(ui::TextAlignment::Center);
  label->setNumberOfLines(0);
  label->setLineBreakMode(ui::LineBreakMode::WordWrap);
  return label;
}

std::shared_ptr<ui::Button> button(const ui::Rect& frame, std::function<void()> action) {
  auto button = std::make_shared<ui::Button>(ui::ButtonType::System);
  button->setFrame(frame);
  button->addTarget(nullptr, [action = std::move(action)](ui::Control&) { action(); }, ui::kControlEventTouchUpInside);
  return button;
}

std::shared_ptr<ui::Button> imageButton(const ui::Rect& frame, const std::string& identifier,
                                        std::function<void()> action) {
  auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom);
  button->setFrame(frame);
  button->setAccessibilityIdentifier(identifier);
  button->setAccessibilityLabel(identifier);
  button->addTarget(nullptr, [action = std::move(action)](ui::Control&) { action(); }, ui::kControlEventTouchUpInside);
  return button;
}

std::shared_ptr<ui::View> panel(ui::Size size) {
  auto panel = std::make_shared<ui::View>(ui::Rect({0, 0}, size));
  panel->setBackgroundColor(ui::Color::white());
  return panel;
}

}  // namespace TXPopupViews
