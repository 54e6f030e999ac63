// "Share as Image" of the note editor's share sheet: the note's rich text
// drawn on a white card with a thin black frame and a footer crediting the
// app (its name and icon), handed to a second share sheet with a print
// formatter of the text. NTConvertToImageItem carries the text to it among
// the sheet's items; the system's activities ignore that item.
#pragma once

#include <memory>
#include <optional>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/Activity.h"
#include "Platform/UIKit/Geometry.h"

struct NTConvertToImageItem {
  ns::AttributedString text;
};

class NTConvertToImageActivity : public ui::Activity {
 public:
  static constexpr double kTextWidth = 355;  // the text wraps here
  static constexpr double kMargin = 10;
  static constexpr double kFooterHeight = 11 + 3;

  std::string activityType() const override { return "NTConvertToImageActivity"; }
  std::string activityTitle() const override;
  ui::ImagePtr activityImage() const override;
  ui::ActivityCategory activityCategory() const override { return ui::ActivityCategory::Action; }
  bool canPerform(const ui::ActivityItems& items) const override;
  void prepare(const ui::ActivityItems& items) override;
  // The second share sheet with the card; null when no item was prepared.
  std::shared_ptr<ui::ViewController> activityViewController() override;

  // The card's size in points for `text`.
  static ui::Size cardSize(const ns::AttributedString& text);
  // The card itself, at the screen's scale.
  static ui::ImagePtr renderCard(const ns::AttributedString& text);

 private:
  std::optional<NTConvertToImageItem> text_;
};
