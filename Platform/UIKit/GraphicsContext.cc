#include "Platform/UIKit/GraphicsContext.h"

#include <vector>

#include "Platform/UIKit/Screen.h"

namespace ui {

namespace {
std::vector<std::unique_ptr<cg::ImageContext>>& stack() {
  static std::vector<std::unique_ptr<cg::ImageContext>> contexts;
  return contexts;
}
}  // namespace

void GraphicsContext::beginImageContext(Size size, bool opaque, double scale) {
  if (scale <= 0) scale = Screen::main().scale();
  stack().push_back(std::make_unique<cg::ImageContext>(size, opaque, scale));
}

cg::ImageContext* GraphicsContext::current() { return stack().empty() ? nullptr : stack().back().get(); }

std::shared_ptr<const Image> GraphicsContext::imageFromCurrentContext() {
  cg::ImageContext* ctx = current();
  return ctx ? Image::withBitmap(ctx->makeImage()) : nullptr;
}

void GraphicsContext::endImageContext() {
  if (!stack().empty()) stack().pop_back();
}

}  // namespace ui
