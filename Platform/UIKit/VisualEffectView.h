// A view that blurs what lies behind it (kept as its effect; nothing is
// composited) with a content view for what goes on top.
#pragma once

#include <memory>
#include <optional>

#include "Platform/UIKit/View.h"

namespace ui {

enum class BlurEffectStyle { ExtraLight = 0, Light = 1, Dark = 2, Regular = 4, Prominent = 5 };

class VisualEffectView : public View {
 public:
  explicit VisualEffectView(std::optional<BlurEffectStyle> effect = std::nullopt);
  std::string typeName() const override { return "VisualEffectView"; }
  std::optional<BlurEffectStyle> effect() const { return effect_; }
  void setEffect(std::optional<BlurEffectStyle> e) { effect_ = e; }
  View& contentView() { return *content_; }
  // The effect's tint over the blur of what lies behind (ViewDrawing.h).
  void drawRect(const Rect& rect) override;

 private:
  std::optional<BlurEffectStyle> effect_;
  std::shared_ptr<View> content_;
};

}  // namespace ui
