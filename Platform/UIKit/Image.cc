#include "Platform/UIKit/Image.h"

#include <cstdio>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/AssetCatalog.h"

namespace ui {

Image::Image(std::shared_ptr<const cg::Image> bitmap, std::string name)
    : bitmap_(std::move(bitmap)), name_(std::move(name)) {}

std::shared_ptr<const Image> Image::named(const std::string& name) {
  return AssetCatalog::shared().image(name);
}

std::shared_ptr<const Image> Image::withData(const ns::Data& data, double scale) {
  auto bitmap = cg::Image::fromPNG(data, scale);
  return bitmap ? std::make_shared<const Image>(bitmap) : nullptr;
}

std::shared_ptr<const Image> Image::withBitmap(std::shared_ptr<const cg::Image> bitmap) {
  return bitmap ? std::make_shared<const Image>(std::move(bitmap)) : nullptr;
}

std::shared_ptr<const Image> Image::withRenderingMode(ImageRenderingMode mode) const {
  auto copy = std::make_shared<Image>(*this);
  copy->renderingMode_ = mode;
  return copy;
}

std::shared_ptr<const Image> Image::resizableWithCapInsets(EdgeInsets insets, ImageResizingMode mode) const {
  auto copy = std::make_shared<Image>(*this);
  copy->capInsets_ = insets;
  copy->resizingMode_ = mode;
  return copy;
}

ns::Data Image::pngData() const { return bitmap_ ? bitmap_->pngData() : ns::Data{}; }

namespace {
// The part of the bitmap in points `src` drawn into `dst`.
void drawPart(cg::ImageContext& ctx, const cg::Image& bitmap, const Rect& src, const Rect& dst, bool tile) {
  if (src.isEmpty() || dst.isEmpty()) return;
  Size full = bitmap.size();
  ctx.saveState();
  ctx.clipToRect(dst);
  if (tile) {
    for (double y = dst.minY(); y < dst.maxY(); y += src.height()) {
      for (double x = dst.minX(); x < dst.maxX(); x += src.width()) {
        ctx.drawImage(bitmap, Rect(x - src.minX(), y - src.minY(), full.width, full.height));
      }
    }
  } else {
    double sx = dst.width() / src.width(), sy = dst.height() / src.height();
    ctx.drawImage(bitmap, Rect(dst.minX() - src.minX() * sx, dst.minY() - src.minY() * sy, full.width * sx,
                               full.height * sy));
  }
  ctx.restoreState();
}
}  // namespace

void Image::draw(cg::ImageContext& ctx, const Rect& rect, const cg::Rgba* tint) const {
  if (!bitmap_) return;
  bool templated = renderingMode_ == ImageRenderingMode::AlwaysTemplate && tint;
  ctx.saveState();
  if (templated) {
    // Draw the tint through the image's alpha: the image, then the colour on top of it only.
    cg::ImageContext mask(rect.size, false, ctx.scale());
    mask.drawImage(*bitmap_, Rect(0, 0, rect.width(), rect.height()));
    mask.setBlendMode(cg::BlendMode::SourceIn);
    mask.setFillColor(*tint);
    mask.fillRect(Rect(0, 0, rect.width(), rect.height()));
    if (auto tinted = mask.makeImage()) ctx.drawImage(*tinted, rect);
    ctx.restoreState();
    return;
  }
  EdgeInsets c = capInsets_;
  if (c == EdgeInsets{}) {
    ctx.drawImage(*bitmap_, rect);
    ctx.restoreState();
    return;
  }
  Size s = bitmap_->size();
  double xs[4] = {0, c.left, s.width - c.right, s.width};
  double ys[4] = {0, c.top, s.height - c.bottom, s.height};
  double xd[4] = {rect.minX(), rect.minX() + c.left, rect.maxX() - c.right, rect.maxX()};
  double yd[4] = {rect.minY(), rect.minY() + c.top, rect.maxY() - c.bottom, rect.maxY()};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      Rect src(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
      Rect dst(xd[col], yd[row], xd[col + 1] - xd[col], yd[row + 1] - yd[row]);
      bool middle = row == 1 || col == 1;
      drawPart(ctx, *bitmap_, src, dst, middle && resizingMode_ == ImageResizingMode::Tile);
    }
  }
  ctx.restoreState();
}

std::string Image::description() const {
  char buf[96];
  Size s = size();
  std::snprintf(buf, sizeof buf, "%gx%g@%gx", s.width, s.height, scale());
  return "Image" + (name_.empty() ? std::string() : " \"" + name_ + "\"") + " " + buf;
}

}  // namespace ui
