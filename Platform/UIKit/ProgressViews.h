// Progress shown without numbers: a progress bar (0...1) and a spinning
// activity indicator.
#pragma once

#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/View.h"

namespace ui {

enum class ProgressViewStyle { Default = 0, Bar = 1 };

class ProgressView : public View {
 public:
  explicit ProgressView(ProgressViewStyle style = ProgressViewStyle::Default)
      : View(Rect(0, 0, 150, 2)), style_(style) {}
  std::string typeName() const override { return "ProgressView"; }
  ProgressViewStyle progressViewStyle() const { return style_; }
  float progress() const { return progress_; }
  // Clamped to 0...1.
  void setProgress(float p, bool animated = false);
  ColorPtr progressTintColor() const { return progressTint_; }
  void setProgressTintColor(ColorPtr c) { progressTint_ = std::move(c); }
  ColorPtr trackTintColor() const { return trackTint_; }
  void setTrackTintColor(ColorPtr c) { trackTint_ = std::move(c); }
  ImagePtr progressImage() const { return progressImage_; }
  void setProgressImage(ImagePtr i) { progressImage_ = std::move(i); }
  ImagePtr trackImage() const { return trackImage_; }
  void setTrackImage(ImagePtr i) { trackImage_ = std::move(i); }
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;

 private:
  ProgressViewStyle style_;
  float progress_ = 0;
  ColorPtr progressTint_, trackTint_;
  ImagePtr progressImage_, trackImage_;
};

enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2, Medium = 100, Large = 101 };

class ActivityIndicatorView : public View {
 public:
  explicit ActivityIndicatorView(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);
  std::string typeName() const override { return "ActivityIndicatorView"; }
  ActivityIndicatorViewStyle style() const { return style_; }
  void setStyle(ActivityIndicatorViewStyle s) { style_ = s; }
  ColorPtr color() const { return color_; }
  void setColor(ColorPtr c) { color_ = std::move(c); }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool h);
  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  std::string screenText() const override { return animating_ ? "(spinning)" : "(stopped)"; }
  void drawRect(const Rect& rect) override;

 private:
  ActivityIndicatorViewStyle style_;
  ColorPtr color_;
  bool hidesWhenStopped_ = true;
  bool animating_ = false;
};

}  // namespace ui
