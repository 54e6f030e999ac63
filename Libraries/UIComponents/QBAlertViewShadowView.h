// The drawn shadow around an alert's panel: a shadow of the given colour
// and blur around a rounded rectangle inset by the blur, with the
// rectangle itself cut out, so only the shadow shows beside the panel.
#pragma once

#include <string>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/View.h"

class QBAlertViewShadowView : public ui::View {
 public:
  QBAlertViewShadowView();
  std::string typeName() const override { return "QBAlertViewShadowView"; }

  double cornerRadius = 0;
  ui::ColorPtr strokeColor;
  double strokeWidth = 0;
  ui::ColorPtr shadowColor;
  double shadowBlur = 0;
  ui::Size shadowOffset;

  // Draws into the current graphics context (ui::GraphicsContext), in the
  // view's own coordinates. Nothing without a stroke or shadow colour, or
  // when both the stroke width and the blur are 0.
  void drawRect(const ui::Rect& rect) override;
};
