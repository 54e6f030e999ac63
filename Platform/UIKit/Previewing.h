// Previews of what lies under a firm press ("peek") and opening it ("pop"):
// a controller registers a delegate for a source view; the input layer
// presses at a point of that view, the delegate makes the preview (and
// sets the source rectangle), and committing hands it back to the delegate.
#pragma once

#include <memory>

#include "Platform/UIKit/Geometry.h"

namespace ui {

class View;
class ViewController;

class PreviewingContext {
 public:
  PreviewingContext(std::weak_ptr<View> sourceView) : sourceView_(std::move(sourceView)) {}
  std::shared_ptr<View> sourceView() const { return sourceView_.lock(); }
  Rect sourceRect() const { return sourceRect_; }
  void setSourceRect(const Rect& r) { sourceRect_ = r; }

 private:
  std::weak_ptr<View> sourceView_;
  Rect sourceRect_;
};

class PreviewingDelegate {
 public:
  virtual ~PreviewingDelegate() = default;
  // The preview for a press at `location` (the source view's coordinates), or null.
  virtual std::shared_ptr<ViewController> previewingViewController(PreviewingContext& context, Point location) = 0;
  virtual void commitViewController(PreviewingContext& context, std::shared_ptr<ViewController> controller) = 0;
};

}  // namespace ui
