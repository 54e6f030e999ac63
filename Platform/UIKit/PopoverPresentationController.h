// Where a popover points: a source view and rectangle, or a bar button item,
// and the arrow directions allowed. Kept for the screen and for tests; on a
// phone popovers adapt to sheets.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/UIKit/Geometry.h"

namespace ui {

class BarButtonItem;
class View;

enum PopoverArrowDirection : uint32_t {
  kPopoverArrowUp = 1 << 0,
  kPopoverArrowDown = 1 << 1,
  kPopoverArrowLeft = 1 << 2,
  kPopoverArrowRight = 1 << 3,
  kPopoverArrowAny = 15,
};

class PopoverPresentationController {
 public:
  std::shared_ptr<View> sourceView() const { return sourceView_.lock(); }
  void setSourceView(std::shared_ptr<View> v) { sourceView_ = v; }
  Rect sourceRect() const { return sourceRect_; }
  void setSourceRect(const Rect& r) { sourceRect_ = r; }
  std::shared_ptr<BarButtonItem> barButtonItem() const { return barButtonItem_.lock(); }
  void setBarButtonItem(std::shared_ptr<BarButtonItem> item) { barButtonItem_ = item; }
  uint32_t permittedArrowDirections() const { return arrows_; }
  void setPermittedArrowDirections(uint32_t d) { arrows_ = d; }
  // Whether a source was given (a popover without one is a programming
  // error on a pad).
  bool hasSource() const { return !sourceView_.expired() || !barButtonItem_.expired(); }

 private:
  std::weak_ptr<View> sourceView_;
  Rect sourceRect_;
  std::weak_ptr<BarButtonItem> barButtonItem_;
  uint32_t arrows_ = kPopoverArrowAny;
};

}  // namespace ui
