// Overrides for one plain button of an alert: only the fields that were
// set (each setter raises its flag) replace the alert's button values.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ParagraphStyle.h"

class QBAlertViewButtonProperties {
 public:
  using ColorPtr = std::shared_ptr<const ui::Color>;
  using FontPtr = std::shared_ptr<const ui::Font>;

#define QB_OVERRIDE(Type, name, Setter, flag, init)          \
 public:                                                     \
  Type name() const { return name##_; }                      \
  void Setter(Type v) { name##_ = std::move(v); flag##_ = true; } \
  bool flag() const { return flag##_; }                      \
 private:                                                    \
  Type name##_ = init;                                       \
  bool flag##_ = false;

  QB_OVERRIDE(ColorPtr, titleColor, setTitleColor, userTitleColor, nullptr)
  QB_OVERRIDE(ColorPtr, titleColorHighlighted, setTitleColorHighlighted, userTitleColorHighlighted, nullptr)
  QB_OVERRIDE(ColorPtr, titleColorDisabled, setTitleColorDisabled, userTitleColorDisabled, nullptr)
  QB_OVERRIDE(ColorPtr, backgroundColor, setBackgroundColor, userBackgroundColor, nullptr)
  QB_OVERRIDE(ColorPtr, backgroundColorHighlighted, setBackgroundColorHighlighted, userBackgroundColorHighlighted, nullptr)
  QB_OVERRIDE(ColorPtr, backgroundColorDisabled, setBackgroundColorDisabled, userBackgroundColorDisabled, nullptr)
  QB_OVERRIDE(ui::ImagePtr, iconImage, setIconImage, userIconImage, nullptr)
  QB_OVERRIDE(ui::ImagePtr, iconImageHighlighted, setIconImageHighlighted, userIconImageHighlighted, nullptr)
  QB_OVERRIDE(ui::ImagePtr, iconImageDisabled, setIconImageDisabled, userIconImageDisabled, nullptr)
  QB_OVERRIDE(ui::TextAlignment, textAlignment, setTextAlignment, userTextAlignment, ui::TextAlignment::Center)
  QB_OVERRIDE(FontPtr, font, setFont, userFont, nullptr)
  QB_OVERRIDE(uint64_t, numberOfLines, setNumberOfLines, userNumberOfLines, 1)
  QB_OVERRIDE(int64_t, lineBreakMode, setLineBreakMode, userLineBreakMode, 5)
  QB_OVERRIDE(double, minimumScaleFactor, setMinimumScaleFactor, userMinimumScaleFactor, 14.0 / 18.0)
  QB_OVERRIDE(bool, adjustsFontSizeToFitWidth, setAdjustsFontSizeToFitWidth, userAdjustsFontSizeTofitWidth, true)
  QB_OVERRIDE(uint64_t, iconPosition, setIconPosition, userIconPosition, 0)
  QB_OVERRIDE(bool, enabled, setEnabled, userEnabled, true)
#undef QB_OVERRIDE
};
