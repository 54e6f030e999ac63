// The stack of image contexts that drawing code opens and closes around
// its drawing (begin, draw into current(), take the image, end), and into
// which view drawing pushes the context a view draws into (View::drawRect
// draws into current()). Main thread; a scale of 0 means the screen's.
#pragma once

#include <memory>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/Image.h"

namespace ui {

class GraphicsContext {
 public:
  static void beginImageContext(Size size, bool opaque, double scale);
  // The innermost open context, or null.
  static cg::ImageContext* current();
  // The picture of the current context so far; null without one.
  static std::shared_ptr<const Image> imageFromCurrentContext();
  static void endImageContext();

  // Makes a context the caller owns the current one until popContext().
  static void pushContext(cg::ImageContext& context);
  static void popContext();
};

}  // namespace ui
