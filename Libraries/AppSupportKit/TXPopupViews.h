// The pieces the kit's popup cards are built from in code, in place of
// interface files: centred labels, filled and image buttons wired to an
// action, and a card's rounded panel.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ViewController.h"

namespace TXPopupViews {

// How the kit's cards come and go (TXUIManager's popup animation type).
inline constexpr uint32_t kAnimationType = 2;

// The card's action `method`, holding the card weakly: the card owns its
// buttons, which own their actions.
template <class T>
std::function<void()> action(T& card, void (T::*method)()) {
  std::weak_ptr<ui::ViewController> weak = card.shared();
  return [weak, method] {
    if (auto self = std::dynamic_pointer_cast<T>(weak.lock())) (self.get()->*method)();
  };
}

// A centred, wrapping label in the system font (bold for titles).
std::shared_ptr<ui::Label> label(const ui::Rect& frame, double fontSize, bool bold = false);
// A system button that calls `action` on touch-up inside.
std::shared_ptr<ui::Button> button(const ui::Rect& frame, std::function<void()> action);
// A custom button showing an image, found by `identifier` (its
// accessibility identifier and label), calling `action` on touch-up inside.
std::shared_ptr<ui::Button> imageButton(const ui::Rect& frame, const std::string& identifier,
                                        std::function<void()> action);
// A white panel of `size` (a card's whole face).
std::shared_ptr<ui::View> panel(ui::Size size);

}  // namespace TXPopupViews
