// The row of input circles of the passcode screen, one per digit, filled as
// digits are typed, and shaken from side to side when an entry is wrong.
//
// The shake is seven steps of 0.03 seconds: out to 40 points left, then
// alternating sides with the amplitude falling by a sixth each step, back
// to rest; its completion runs once, after the row is back in place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Notes/QBPinInputCircleView.h"
#include "Platform/UIKit/View.h"

class QBPinInputCirclesView : public ui::View {
 public:
  static constexpr unsigned kShakeSteps = 6;  // after the first
  static constexpr double kShakeAmplitude = 40;
  static constexpr double kShakeStepDuration = 0.03;

  explicit QBPinInputCirclesView(size_t pinLength);
  std::string typeName() const override { return "QBPinInputCirclesView"; }

  size_t pinLength() const { return pinLength_; }
  const std::vector<std::shared_ptr<QBPinInputCircleView>>& circleViews() const { return circleViews_; }
  // Twice the circle diameter.
  static double circlePadding();

  // Zero-based; positions outside the row are ignored.
  void fillCircleAtPosition(size_t position);
  void unfillCircleAtPosition(size_t position);
  void unfillAllCircles();

  void shakeWithCompletion(std::function<void()> completion);
  void performShake();
  unsigned numShakes() const { return numShakes_; }
  int shakeDirection() const { return shakeDirection_; }
  double shakeAmplitude() const { return shakeAmplitude_; }

  ui::Size intrinsicContentSize() const;
  ui::Size sizeThatFits(ui::Size) const override { return intrinsicContentSize(); }
  void layoutSubviews() override;

  // "● ● ○ ○": the filled circles first.
  std::string screenText() const override;
  bool rendersSubviews() const override { return false; }
  // The circles are subviews and draw themselves.
  void drawRect(const ui::Rect&) override {}

 private:
  size_t pinLength_;
  std::vector<std::shared_ptr<QBPinInputCircleView>> circleViews_;
  unsigned numShakes_ = 0;
  int shakeDirection_ = -1;
  double shakeAmplitude_ = 0;
  std::function<void()> shakeCompletionBlock_;
};
