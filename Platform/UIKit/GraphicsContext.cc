#include "Platform/UIKit/GraphicsContext.h"

#include <vector>

#include "Platform/UIKit/Screen.h"

namespace ui {

namespace {
struct Entry {
  std::unique_ptr<cg::ImageContext> owned;  // null for a pushed context
  cg::ImageContext* context;
};
std::vector<Entry>& stack() {
  static std::vector<Entry> contexts;
  return contexts;
}
}  // namespace

void GraphicsContext::beginImageContext(Size size, bool opaque, double scale) {
  if (scale <= 0) scale = Screen::main().scale();
  auto context = std::make_unique<cg::ImageContext>(size, opaque, scale);
  cg::ImageContext* raw = context.get();
  stack().push_back(Entry{std::move(context), raw});
}

cg::ImageContext* GraphicsContext::current() { return stack().empty() ? nullptr : stack().back().context; }

std::shared_ptr<const Image> GraphicsContext::imageFromCurrentContext() {
  cg::ImageContext* ctx = current();
  return ctx ? Image::withBitmap(ctx->makeImage()) : nullptr;
}

void GraphicsContext::endImageContext() {
  if (!stack().empty() && stack().back().owned) stack().pop_back();
}

void GraphicsContext::pushContext(cg::ImageContext& context) { stack().push_back(Entry{nullptr, &context}); }

void GraphicsContext::popContext() {
  if (!stack().empty() && !stack().back().owned) stack().pop_back();
}

}  // namespace ui
