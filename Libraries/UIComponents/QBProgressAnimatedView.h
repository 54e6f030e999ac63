// The HUD's progress ring: an arc of one turn from the top, clockwise, of
// which strokeEnd (0 to 1) is shown.
#pragma once

#include "Libraries/UIComponents/QBArcLayerView.h"

class QBProgressAnimatedView : public QBArcLayerView {
 public:
  QBProgressAnimatedView() = default;
  std::string typeName() const override { return "QBProgressAnimatedView"; }

  double strokeEnd() const { return strokeEnd_; }
  void setStrokeEnd(double strokeEnd);

  // The ring's layer, built on first use.
  ui::ShapeLayer& ringAnimatedLayer() { return arcLayer(); }

 protected:
  void configureArc(ui::ShapeLayer& layer) override;

 private:
  double strokeEnd_ = 0;
};
