#include "Notes/QBPinInputCirclesView.h"

QBPinInputCirclesView::QBPinInputCirclesView(size_t pinLength) : pinLength_(pinLength) {
  setBackgroundColor(ui::Color::clear());
  for (size_t i = 0; i < pinLength_; ++i) {
    auto circle = std::make_shared<QBPinInputCircleView>();
    addSubview(circle);
    circleViews_.push_back(circle);
  }
  setFrame(ui::Rect(ui::Point{0, 0}, intrinsicContentSize()));
}

double QBPinInputCirclesView::circlePadding() { return 2 * QBPinInputCircleView::diameter(); }

ui::Size QBPinInputCirclesView::intrinsicContentSize() const {
  double d = QBPinInputCircleView::diameter();
  double width = pinLength_ ? pinLength_ * d + (pinLength_ - 1) * circlePadding() : 0;
  return {width, d};
}

void QBPinInputCirclesView::layoutSubviews() {
  double d = QBPinInputCircleView::diameter();
  double x = 0;
  for (const auto& circle : circleViews_) {
    circle->setFrame(ui::Rect(x, 0, d, d));
    x += d + circlePadding();
  }
}

void QBPinInputCirclesView::fillCircleAtPosition(size_t position) {
  if (position < circleViews_.size()) circleViews_[position]->setFilled(true);
}

void QBPinInputCirclesView::unfillCircleAtPosition(size_t position) {
  if (position < circleViews_.size()) circleViews_[position]->setFilled(false);
}

void QBPinInputCirclesView::unfillAllCircles() {
  for (const auto& circle : circleViews_) circle->setFilled(false);
}

void QBPinInputCirclesView::shakeWithCompletion(std::function<void()> completion) {
  numShakes_ = 0;
  shakeDirection_ = -1;
  shakeAmplitude_ = kShakeAmplitude;
  shakeCompletionBlock_ = std::move(completion);
  performShake();
}

void QBPinInputCirclesView::performShake() {
  auto self = std::static_pointer_cast<QBPinInputCirclesView>(shared_from_this());
  double offset = shakeDirection_ * shakeAmplitude_;
  ui::View::animate(
      kShakeStepDuration, [self, offset] { self->setTransform(ui::AffineTransform::translation(offset, 0)); },
      [self](bool) {
        if (self->numShakes_ < kShakeSteps) {
          ++self->numShakes_;
          self->shakeDirection_ = -self->shakeDirection_;
          self->shakeAmplitude_ = (kShakeSteps - self->numShakes_) * kShakeAmplitude / kShakeSteps;
          self->performShake();
          return;
        }
        self->setTransform(ui::AffineTransform::identity());
        auto completion = std::move(self->shakeCompletionBlock_);
        self->shakeCompletionBlock_ = nullptr;
        if (completion) completion();
      });
}

std::string QBPinInputCirclesView::screenText() const {
  std::string out;
  for (const auto& circle : circleViews_) out += std::string(out.empty() ? "" : " ") + (circle->isFilled() ? "●" : "○");
  return out;
}
