#include "Platform/Graphics/detail/CairoImage.h"

#include <cstring>

namespace cg::detail {

cairo_surface_t* createSurface(const Image& image) {
  cairo_surface_t* s =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.pixelWidth(), image.pixelHeight());
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  const auto& px = image.premultipliedPixels();
  for (int y = 0; y < image.pixelHeight(); ++y) {
    std::memcpy(data + y * stride, px.data() + size_t(y) * image.pixelWidth(),
                size_t(image.pixelWidth()) * 4);
  }
  cairo_surface_mark_dirty(s);
  return s;
}

std::shared_ptr<const Image> imageFromSurface(cairo_surface_t* s, double scale) {
  cairo_surface_flush(s);
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  int stride = cairo_image_surface_get_stride(s);
  bool opaque = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
  const unsigned char* data = cairo_image_surface_get_data(s);
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y) {
    std::memcpy(px.data() + size_t(y) * w, data + y * stride, size_t(w) * 4);
    if (opaque) {
      for (int x = 0; x < w; ++x) px[size_t(y) * w + x] |= 0xFF000000u;
    }
  }
  return std::make_shared<const Image>(w, h, std::move(px), scale);
}

namespace {
// Maps stored pixel coordinates to displayed pixel coordinates.
cairo_matrix_t displayMatrix(ImageOrientation o, double w, double h) {
  cairo_matrix_t m;
  switch (o) {
    case ImageOrientation::Up: cairo_matrix_init(&m, 1, 0, 0, 1, 0, 0); break;
    case ImageOrientation::Down: cairo_matrix_init(&m, -1, 0, 0, -1, w, h); break;
    // Turned counter-clockwise: (x, y) -> (y, w - x).
    case ImageOrientation::Left: cairo_matrix_init(&m, 0, -1, 1, 0, 0, w); break;
    // Turned clockwise: (x, y) -> (h - y, x).
    case ImageOrientation::Right: cairo_matrix_init(&m, 0, 1, -1, 0, h, 0); break;
    case ImageOrientation::UpMirrored: cairo_matrix_init(&m, -1, 0, 0, 1, w, 0); break;
    case ImageOrientation::DownMirrored: cairo_matrix_init(&m, 1, 0, 0, -1, 0, h); break;
    case ImageOrientation::LeftMirrored: cairo_matrix_init(&m, 0, 1, 1, 0, 0, 0); break;
    case ImageOrientation::RightMirrored: cairo_matrix_init(&m, 0, -1, -1, 0, h, w); break;
  }
  return m;
}
}  // namespace

void paintImage(cairo_t* cr, const Image& image, const Rect& rect, double alpha) {
  if (image.pixelWidth() == 0 || image.pixelHeight() == 0 || rect.isEmpty()) return;
  bool turned = image.orientation() == ImageOrientation::Left ||
                image.orientation() == ImageOrientation::Right ||
                image.orientation() == ImageOrientation::LeftMirrored ||
                image.orientation() == ImageOrientation::RightMirrored;
  double w = image.pixelWidth(), h = image.pixelHeight();
  double dw = turned ? h : w, dh = turned ? w : h;
  cairo_surface_t* s = createSurface(image);
  cairo_save(cr);
  Rect r = rect.standardized();
  cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
  cairo_clip(cr);
  cairo_translate(cr, r.minX(), r.minY());
  cairo_scale(cr, r.width() / dw, r.height() / dh);
  cairo_matrix_t m = displayMatrix(image.orientation(), w, h);
  cairo_transform(cr, &m);
  cairo_set_source_surface(cr, s, 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_paint_with_alpha(cr, alpha);
  cairo_restore(cr);
  cairo_surface_destroy(s);
}

}  // namespace cg::detail
