// The app's colours and images: the tint, the bar and list backgrounds made
// of the paper image "Body", the asset colours of selected cells and of the
// passcode screen, and the add button's alpha. Every screen and the share
// extension take their looks from here.
#pragma once

#include <memory>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ViewController.h"

class NTAppearance {
 public:
  static std::shared_ptr<const ui::Color> tintColor();  // RGB 240, 62, 14
  static ui::StatusBarStyle preferredStatusBarStyle();  // the default style
  static std::shared_ptr<const ui::Color> navigationTintColor();
  static std::shared_ptr<const ui::Color> navigationBackgroundColor();  // none: no bar tint
  // "Body" resizable with a one-point top cap, tiled; null without the image.
  static std::shared_ptr<const ui::Image> navigationBackgroundImage();
  // "Body" as a pattern; the system background when the image is missing.
  static std::shared_ptr<const ui::Color> masterBackgroundColor();
  static std::shared_ptr<const ui::Color> detailBackgroundColor();
  static std::shared_ptr<const ui::Color> selectedCellBackgroundColor();  // asset "SelectedCellColor"
  static std::shared_ptr<const ui::Color> pinTintColor();                 // asset "PinTintColor"
  static std::shared_ptr<const ui::Color> pinBackgroundColor();
  static float floatingAddButtonAlpha();  // 0.8

  // The app-wide appearance rules: table headers and footers tinted system
  // grey at 0.1, their labels in the secondary label colour. Called once
  // before the launch (the application delegate's will-finish-launching).
  static void load();
};
