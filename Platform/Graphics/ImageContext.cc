#include "Platform/Graphics/ImageContext.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/Graphics/detail/CairoImage.h"
#include "Platform/Graphics/detail/CairoPath.h"
#include "Platform/Graphics/detail/TextLayoutImpl.h"

namespace cg {

namespace {

cairo_operator_t cairoOperator(BlendMode mode) {
  switch (mode) {
    case BlendMode::Normal: return CAIRO_OPERATOR_OVER;
    case BlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen: return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Overlay: return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Darken: return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Lighten: return CAIRO_OPERATOR_LIGHTEN;
    case BlendMode::ColorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case BlendMode::ColorBurn: return CAIRO_OPERATOR_COLOR_BURN;
    case BlendMode::SoftLight: return CAIRO_OPERATOR_SOFT_LIGHT;
    case BlendMode::HardLight: return CAIRO_OPERATOR_HARD_LIGHT;
    case BlendMode::Difference: return CAIRO_OPERATOR_DIFFERENCE;
    case BlendMode::Exclusion: return CAIRO_OPERATOR_EXCLUSION;
    case BlendMode::Hue: return CAIRO_OPERATOR_HSL_HUE;
    case BlendMode::Saturation: return CAIRO_OPERATOR_HSL_SATURATION;
    case BlendMode::Color: return CAIRO_OPERATOR_HSL_COLOR;
    case BlendMode::Luminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    case BlendMode::SourceIn: return CAIRO_OPERATOR_IN;
    case BlendMode::SourceOut: return CAIRO_OPERATOR_OUT;
    case BlendMode::SourceAtop: return CAIRO_OPERATOR_ATOP;
    case BlendMode::DestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case BlendMode::DestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case BlendMode::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case BlendMode::DestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case BlendMode::XOR: return CAIRO_OPERATOR_XOR;
    case BlendMode::PlusDarker: return CAIRO_OPERATOR_MULTIPLY;  // nearest cairo has
    case BlendMode::PlusLighter: return CAIRO_OPERATOR_ADD;
  }
  return CAIRO_OPERATOR_OVER;
}

void setSource(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha); }

// Three box passes approximate a gaussian of the given radius (pixels).
void blurAlpha(cairo_surface_t* s, int radius) {
  if (radius <= 0) return;
  cairo_surface_flush(s);
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int stride = cairo_image_surface_get_stride(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  std::vector<int> line(size_t(std::max(w, h)));
  auto pass = [&](unsigned char* start, int count, int step) {
    for (int i = 0; i < count; ++i) line[size_t(i)] = start[i * step];
    int window = 2 * radius + 1;
    for (int i = 0; i < count; ++i) {
      int sum = 0;
      for (int k = -radius; k <= radius; ++k) {
        int j = i + k;
        if (j >= 0 && j < count) sum += line[size_t(j)];
      }
      start[i * step] = static_cast<unsigned char>(sum / window);
    }
  };
  for (int round = 0; round < 3; ++round) {
    for (int y = 0; y < h; ++y) pass(data + y * stride, w, 1);
    for (int x = 0; x < w; ++x) pass(data + x, h, stride);
  }
  cairo_surface_mark_dirty(s);
}

}  // namespace

ImageContext::ImageContext(Size size, bool opaque, double scale)
    : size_(size), scale_(scale > 0 ? scale : 1), opaque_(opaque) {
  int w = int(std::ceil(size.width * scale_ - 1e-9)), h = int(std::ceil(size.height * scale_ - 1e-9));
  if (w <= 0 || h <= 0) return;
  surface_ = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, w, h);
  cr_ = cairo_create(surface_);
  cairo_scale(cr_, scale_, scale_);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
}

ImageContext::~ImageContext() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

void ImageContext::saveState() {
  saved_.push_back(state_);
  if (cr_) cairo_save(cr_);
}

void ImageContext::restoreState() {
  if (saved_.empty()) return;
  state_ = saved_.back();
  saved_.pop_back();
  if (cr_) cairo_restore(cr_);
}

void ImageContext::setShadow(Point offset, double blur, Rgba color) {
  state_.shadowOffset = offset;
  state_.shadowBlur = std::max(0.0, blur);
  state_.shadowColor = color;
}

void ImageContext::translate(double x, double y) { if (cr_) cairo_translate(cr_, x, y); }
void ImageContext::scaleBy(double sx, double sy) { if (cr_) cairo_scale(cr_, sx, sy); }
void ImageContext::rotate(double radians) { if (cr_) cairo_rotate(cr_, radians); }

void ImageContext::concat(const AffineTransform& t) {
  if (!cr_) return;
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  cairo_transform(cr_, &m);
}

AffineTransform ImageContext::transform() const {
  if (!cr_) return {};
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  // User space as seen in points: undo the scale of the pixels.
  return AffineTransform{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0}.concat(
      AffineTransform::scale(1 / scale_, 1 / scale_));
}

void ImageContext::clipToRect(const Rect& r) {
  if (!cr_) return;
  Rect s = r.standardized();
  cairo_rectangle(cr_, s.minX(), s.minY(), s.width(), s.height());
  cairo_clip(cr_);
}

void ImageContext::clipToPath(const Path& path) {
  if (!cr_) return;
  cairo_new_path(cr_);
  detail::appendPath(cr_, path);
  cairo_clip(cr_);
}

template <class Draw>
void ImageContext::layer(Draw draw) {
  if (!cr_) return;
  cairo_push_group(cr_);
  draw();
  cairo_pattern_t* group = cairo_pop_group(cr_);
  double alpha = std::clamp(state_.alpha, 0.0, 1.0);

  if (state_.shadowColor.alpha > 0) {
    int w = cairo_image_surface_get_width(surface_), h = cairo_image_surface_get_height(surface_);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* m = cairo_create(mask);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr_, &ctm);
    cairo_set_matrix(m, &ctm);
    cairo_set_source(m, group);
    cairo_paint(m);
    cairo_destroy(m);
    blurAlpha(mask, int(std::lround(state_.shadowBlur * scale_ / 2)));
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_operator(cr_, cairoOperator(state_.blend));
    Rgba c = state_.shadowColor;
    cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha * alpha);
    cairo_mask_surface(cr_, mask, state_.shadowOffset.x * scale_, state_.shadowOffset.y * scale_);
    cairo_restore(cr_);
    cairo_surface_destroy(mask);
  }

  cairo_save(cr_);
  if (state_.blend == BlendMode::Clear) {
    // Clearing affects only what was drawn (scaled by the alpha), not the
    // whole bitmap a painted group would cover.
    cairo_push_group_with_content(cr_, CAIRO_CONTENT_ALPHA);
    cairo_set_source(cr_, group);
    cairo_paint_with_alpha(cr_, alpha);
    cairo_pattern_t* coverage = cairo_pop_group(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_mask(cr_, coverage);
    cairo_pattern_destroy(coverage);
  } else {
    cairo_set_operator(cr_, cairoOperator(state_.blend));
    cairo_set_source(cr_, group);
    cairo_paint_with_alpha(cr_, alpha);
  }
  cairo_restore(cr_);
  cairo_pattern_destroy(group);
}

void ImageContext::fillRect(const Rect& r) { fillPath(Path::rect(r)); }

void ImageContext::strokeRect(const Rect& r) { strokePath(Path::rect(r)); }

void ImageContext::clearRect(const Rect& r) {
  if (!cr_) return;
  Rect s = r.standardized();
  cairo_save(cr_);
  cairo_rectangle(cr_, s.minX(), s.minY(), s.width(), s.height());
  if (opaque_) {
    cairo_set_source_rgb(cr_, 0, 0, 0);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  } else {
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
  }
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void ImageContext::fillPath(const Path& path) {
  layer([&] {
    cairo_new_path(cr_);
    detail::appendPath(cr_, path);
    setSource(cr_, state_.fill);
    cairo_fill(cr_);
  });
}

void ImageContext::strokePath(const Path& path) {
  layer([&] {
    cairo_new_path(cr_);
    detail::appendPath(cr_, path);
    setSource(cr_, state_.stroke);
    cairo_set_line_width(cr_, state_.lineWidth);
    cairo_stroke(cr_);
  });
}

void ImageContext::drawImage(const Image& image, const Rect& rect) {
  layer([&] { detail::paintImage(cr_, image, rect, 1); });
}

void ImageContext::drawTiledImage(const Image& image, const Rect& rect) {
  layer([&] {
    Size tile = image.size();
    if (tile.width <= 0 || tile.height <= 0) return;
    Rect r = rect.standardized();
    cairo_save(cr_);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_clip(cr_);
    for (double y = r.minY(); y < r.maxY(); y += tile.height) {
      for (double x = r.minX(); x < r.maxX(); x += tile.width) {
        detail::paintImage(cr_, image, Rect(x, y, tile.width, tile.height), 1);
      }
    }
    cairo_restore(cr_);
  });
}

void ImageContext::drawText(const TextLayout& text, Point origin, const Rect& clip) {
  layer([&] {
    cairo_save(cr_);
    if (!clip.isEmpty()) {
      Rect s = clip.standardized();
      cairo_rectangle(cr_, s.minX(), s.minY(), s.width(), s.height());
      cairo_clip(cr_);
    }
    cairo_move_to(cr_, origin.x, origin.y);
    pango_cairo_show_layout(cr_, text.impl().layout);
    cairo_restore(cr_);
  });
}

std::shared_ptr<const Image> ImageContext::makeImage() const {
  if (!surface_) return nullptr;
  return detail::imageFromSurface(surface_, scale_);
}

}  // namespace cg
