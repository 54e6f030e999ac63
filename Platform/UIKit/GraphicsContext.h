// The stack of image contexts that drawing code opens and closes around
// its drawing (begin, draw into current(), take the image, end). Main
// thread; a scale of 0 means the screen's.
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
};

}  // namespace ui
