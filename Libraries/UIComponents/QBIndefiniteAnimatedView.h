// The HUD's spinner: an arc of two turns from the top, masked by the
// bundle's "angle-mask" image, carrying the "rotate" and "progress"
// animations while it is in a superview.
#pragma once

#include "Libraries/UIComponents/QBArcLayerView.h"

class QBIndefiniteAnimatedView : public QBArcLayerView {
 public:
  QBIndefiniteAnimatedView() = default;
  std::string typeName() const override { return "QBIndefiniteAnimatedView"; }

  // The spinner's layer, built on first use.
  ui::ShapeLayer& indefiniteAnimatedLayer() { return arcLayer(); }

 protected:
  void configureArc(ui::ShapeLayer& layer) override;
};
