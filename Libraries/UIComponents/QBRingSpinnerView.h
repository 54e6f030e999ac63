// A small activity indicator: a thin ring in the tint colour, open by one
// eighth, that spins while animating.
#pragma once

#include <string>

#include "Platform/UIKit/ShapeLayer.h"
#include "Platform/UIKit/View.h"

enum class QBMediaTimingFunction { Linear, EaseIn, EaseOut, EaseInEaseOut };

class QBRingSpinnerView : public ui::View {
 public:
  static constexpr const char* kRotationAnimationKey = "qbringspinnerview.rotation";

  QBRingSpinnerView();
  explicit QBRingSpinnerView(const ui::Rect& frame);
  std::string typeName() const override { return "QBRingSpinnerView"; }

  ui::ShapeLayer& progressLayer() { return layer_; }
  const ui::ShapeLayer& progressLayer() const { return layer_; }
  double lineWidth() const { return layer_.lineWidth; }
  void setLineWidth(double width);
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);
  QBMediaTimingFunction timingFunction() const { return timing_; }
  void setTimingFunction(QBMediaTimingFunction timing) { timing_ = timing; }
  bool isAnimating() const { return layer_.hasAnimation(kRotationAnimationKey); }

  void startAnimating();
  void stopAnimating();

  void layoutSubviews() override;
  void tintColorDidChange() override;
  void setFrame(const ui::Rect& frame) override;
  std::string screenText() const override { return isAnimating() ? "(spinning)" : "(stopped)"; }
  // The ring as it stands (the spin is not run).
  void drawRect(const ui::Rect& rect) override;

 private:
  void initialize();
  void updatePath();

  ui::ShapeLayer layer_;
  bool hidesWhenStopped_ = false;
  QBMediaTimingFunction timing_ = QBMediaTimingFunction::EaseInEaseOut;
};
