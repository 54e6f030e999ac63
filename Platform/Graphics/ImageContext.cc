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

// An alpha-only surface the size of `target`'s pixels, and a context on it
// drawing in `cr`'s user space (the caller destroys both).
cairo_t* createCoverage(cairo_t* cr, cairo_surface_t* target, cairo_surface_t** coverage) {
  *coverage = cairo_image_surface_create(CAIRO_FORMAT_A8, cairo_image_surface_get_width(target),
                                         cairo_image_surface_get_height(target));
  cairo_t* m = cairo_create(*coverage);
  cairo_matrix_t ctm;
  cairo_get_matrix(cr, &ctm);
  cairo_set_matrix(m, &ctm);
  return m;
}

void setSource(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha); }

// Three box passes of width 2r+1 approximate a gaussian; each pass keeps a
// running sum, so the cost does not grow with the radius. `channels` bytes
// per pixel (1 for an alpha mask, 4 for colour) are blurred alike.
void boxBlur(unsigned char* data, int w, int h, int stride, int channels, int radius) {
  if (radius <= 0 || w <= 0 || h <= 0) return;
  std::vector<int> line(size_t(std::max(w, h)));
  int window = 2 * radius + 1;
  auto pass = [&](unsigned char* start, int count, int step) {
    for (int i = 0; i < count; ++i) line[size_t(i)] = start[i * step];
    int sum = 0;
    for (int k = 0; k <= std::min(radius, count - 1); ++k) sum += line[size_t(k)];
    for (int i = 0; i < count; ++i) {
      start[i * step] = static_cast<unsigned char>(sum / window);
      int enter = i + radius + 1, leave = i - radius;
      if (enter < count) sum += line[size_t(enter)];
      if (leave >= 0) sum -= line[size_t(leave)];
    }
  };
  for (int round = 0; round < 3; ++round) {
    for (int c = 0; c < channels; ++c) {
      for (int y = 0; y < h; ++y) pass(data + y * stride + c, w, channels);
      for (int x = 0; x < w; ++x) pass(data + x * channels + c, h, stride);
    }
  }
}

void blurAlpha(cairo_surface_t* s, int radius) {
  if (radius <= 0) return;
  cairo_surface_flush(s);
  boxBlur(cairo_image_surface_get_data(s), cairo_image_surface_get_width(s), cairo_image_surface_get_height(s),
          cairo_image_surface_get_stride(s), 1, radius);
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
  if (state_.shadowColor.alpha <= 0 && state_.blend == BlendMode::Normal && state_.alpha >= 1 && !state_.clipMask) {
    // Nothing to compose: drawing in place gives the same pixels, without
    // a group the size of the clip for every operation.
    draw();
    return;
  }
  cairo_push_group(cr_);
  draw();
  compose(masked(cairo_pop_group(cr_)));
}

cairo_pattern_t* ImageContext::masked(cairo_pattern_t* group) {
  if (!state_.clipMask) return group;
  cairo_push_group(cr_);
  cairo_set_source(cr_, group);  // locked to the user space in force now
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_mask_surface(cr_, state_.clipMask.get(), 0, 0);
  cairo_restore(cr_);
  cairo_pattern_destroy(group);
  return cairo_pop_group(cr_);
}

void ImageContext::clipToMask(const Rect& rect, const Image& mask) {
  if (!cr_) return;
  cairo_surface_t* coverage = nullptr;
  cairo_t* m = createCoverage(cr_, surface_, &coverage);
  detail::paintImage(m, mask, rect, 1);
  if (state_.clipMask) {
    // Where both masks let drawing through.
    cairo_identity_matrix(m);
    cairo_set_operator(m, CAIRO_OPERATOR_IN);
    cairo_set_source_surface(m, state_.clipMask.get(), 0, 0);
    cairo_paint(m);
  }
  cairo_destroy(m);
  state_.clipMask = std::shared_ptr<cairo_surface_t>(coverage, cairo_surface_destroy);
}

void ImageContext::compose(cairo_pattern_t* group) {
  double alpha = std::clamp(state_.alpha, 0.0, 1.0);

  if (state_.shadowColor.alpha > 0) {
    cairo_surface_t* mask = nullptr;
    cairo_t* m = createCoverage(cr_, surface_, &mask);
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

void ImageContext::beginTransparencyLayer() {
  layers_.push_back(state_);
  if (!cr_) return;
  cairo_push_group(cr_);
  state_.alpha = 1;
  state_.blend = BlendMode::Normal;
  state_.shadowColor = Rgba::clear();
  state_.clipMask.reset();  // the whole layer is kept to it at the end
}

void ImageContext::endTransparencyLayer() {
  if (layers_.empty()) return;
  state_ = layers_.back();
  layers_.pop_back();
  if (!cr_) return;
  compose(masked(cairo_pop_group(cr_)));
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

void ImageContext::fillPath(const Path& path, FillRule rule) {
  layer([&] {
    cairo_new_path(cr_);
    detail::appendPath(cr_, path);
    setSource(cr_, state_.fill);
    cairo_set_fill_rule(cr_, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
  });
}

void ImageContext::drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end) {
  if (stops.empty()) return;
  layer([&] {
    cairo_pattern_t* gradient = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    for (const GradientStop& stop : stops) {
      const Rgba& c = stop.color;
      cairo_pattern_add_color_stop_rgba(gradient, std::clamp(stop.location, 0.0, 1.0), c.red, c.green, c.blue,
                                        c.alpha);
    }
    cairo_pattern_set_extend(gradient, CAIRO_EXTEND_NONE);
    cairo_set_source(cr_, gradient);
    cairo_paint(cr_);
    cairo_pattern_destroy(gradient);
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
    if (tile.width <= 0 || tile.height <= 0 || image.orientation() != ImageOrientation::Up) {
      // Turned images are rare: one tile at a time.
      Rect r = rect.standardized();
      cairo_save(cr_);
      cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
      cairo_clip(cr_);
      for (double y = r.minY(); tile.height > 0 && y < r.maxY(); y += tile.height) {
        for (double x = r.minX(); tile.width > 0 && x < r.maxX(); x += tile.width) {
          detail::paintImage(cr_, image, Rect(x, y, tile.width, tile.height), 1);
        }
      }
      cairo_restore(cr_);
      return;
    }
    Rect r = rect.standardized();
    cairo_surface_t* s = detail::createSurface(image);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(s);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    // Pattern space: the image's pixels, anchored at the rectangle's origin.
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, image.scale(), image.scale());
    cairo_matrix_translate(&m, -r.minX(), -r.minY());
    cairo_pattern_set_matrix(pattern, &m);
    cairo_save(cr_);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_set_source(cr_, pattern);
    cairo_fill(cr_);
    cairo_restore(cr_);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(s);
  });
}

void ImageContext::blurRegion(const Rect& rect, double radius) {
  int pixels = int(std::lround(radius * scale_ / 2));
  if (!cr_ || pixels <= 0) return;
  // The region in the target's pixels: the rectangle's bounding box in
  // device space, within the clip, shifted by the target's device offset
  // (a transparency layer's group starts at its own origin).
  Rect r = rect.standardized();
  double x[4] = {r.minX(), r.maxX(), r.maxX(), r.minX()};
  double y[4] = {r.minY(), r.minY(), r.maxY(), r.maxY()};
  double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr_, &x[i], &y[i]);
    x0 = std::min(x0, x[i]), y0 = std::min(y0, y[i]), x1 = std::max(x1, x[i]), y1 = std::max(y1, y[i]);
  }
  double cx0, cy0, cx1, cy1;
  cairo_clip_extents(cr_, &cx0, &cy0, &cx1, &cy1);
  cairo_user_to_device(cr_, &cx0, &cy0);
  cairo_user_to_device(cr_, &cx1, &cy1);
  x0 = std::max(x0, std::min(cx0, cx1)), y0 = std::max(y0, std::min(cy0, cy1));
  x1 = std::min(x1, std::max(cx0, cx1)), y1 = std::min(y1, std::max(cy0, cy1));
  cairo_surface_t* target = cairo_get_group_target(cr_);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return;
  double ox = 0, oy = 0;
  cairo_surface_get_device_offset(target, &ox, &oy);
  int tw = cairo_image_surface_get_width(target), th = cairo_image_surface_get_height(target);
  int px0 = std::max(0, int(std::floor(x0 + ox))), py0 = std::max(0, int(std::floor(y0 + oy)));
  int px1 = std::min(tw, int(std::ceil(x1 + ox))), py1 = std::min(th, int(std::ceil(y1 + oy)));
  if (px1 <= px0 || py1 <= py0) return;

  // Blur a copy with a margin of what lies around, then paint it back
  // through the clip, so that a rounded pane keeps its corners.
  int mx0 = std::max(0, px0 - 2 * pixels), my0 = std::max(0, py0 - 2 * pixels);
  int mx1 = std::min(tw, px1 + 2 * pixels), my1 = std::min(th, py1 + 2 * pixels);
  int w = mx1 - mx0, h = my1 - my0;
  cairo_surface_flush(target);
  cairo_surface_t* copy = cairo_image_surface_create(cairo_image_surface_get_format(target), w, h);
  cairo_surface_flush(copy);
  const unsigned char* src = cairo_image_surface_get_data(target);
  unsigned char* dst = cairo_image_surface_get_data(copy);
  int sstride = cairo_image_surface_get_stride(target), dstride = cairo_image_surface_get_stride(copy);
  for (int row = 0; row < h; ++row) {
    std::memcpy(dst + row * dstride, src + (my0 + row) * sstride + mx0 * 4, size_t(w) * 4);
  }
  boxBlur(dst, w, h, dstride, 4, pixels);
  cairo_surface_mark_dirty(copy);
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_rectangle(cr_, px0 - ox, py0 - oy, px1 - px0, py1 - py0);
  cairo_clip(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr_, copy, mx0 - ox, my0 - oy);
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(copy);
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
