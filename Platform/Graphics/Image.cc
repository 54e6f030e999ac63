#include "Platform/Graphics/Image.h"

#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Platform/Graphics/detail/CairoImage.h"

namespace cg {

Image::Image(int pixelWidth, int pixelHeight, std::vector<uint32_t> pixels, double scale,
             ImageOrientation orientation)
    : width_(pixelWidth < 0 ? 0 : pixelWidth),
      height_(pixelHeight < 0 ? 0 : pixelHeight),
      pixels_(std::move(pixels)),
      scale_(scale > 0 ? scale : 1),
      orientation_(orientation) {
  pixels_.resize(size_t(width_) * height_, 0);
}

namespace {
struct ReadState {
  const ns::Data* data;
  size_t offset = 0;
};

cairo_status_t readChunk(void* closure, unsigned char* out, unsigned int length) {
  auto* st = static_cast<ReadState*>(closure);
  if (st->data->size() - st->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, st->data->data() + st->offset, length);
  st->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writeChunk(void* closure, const unsigned char* in, unsigned int length) {
  auto* out = static_cast<ns::Data*>(closure);
  out->insert(out->end(), in, in + length);
  return CAIRO_STATUS_SUCCESS;
}

bool isPNG(const ns::Data& data) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return data.size() >= 8 && std::memcmp(data.data(), sig, 8) == 0;
}
}  // namespace

std::shared_ptr<const Image> Image::fromPNG(const ns::Data& png, double scale, ns::Error* error) {
  if (!isPNG(png)) {
    ns::setError(error, ns::Error::withDescription(kImageErrorDomain, 1, "The data is not a PNG image."));
    return nullptr;
  }
  ReadState st{&png};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readChunk, &st);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    ns::setError(error, ns::Error::withDescription(kImageErrorDomain, 2,
                                                   std::string("The PNG image could not be read: ") +
                                                       cairo_status_to_string(cairo_surface_status(s))));
    cairo_surface_destroy(s);
    return nullptr;
  }
  auto image = detail::imageFromSurface(s, scale);
  cairo_surface_destroy(s);
  return image;
}

std::shared_ptr<const Image> Image::fromFile(const std::string& path, double scale, ns::Error* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    ns::setError(error, ns::Error::posix(errno, path));
    return nullptr;
  }
  ns::Data data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return fromPNG(data, scale, error);
}

std::shared_ptr<const Image> Image::filled(int w, int h, Rgba c, double scale) {
  auto channel = [&](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * c.alpha * 255)); };
  uint32_t a = uint32_t(std::lround(std::clamp(c.alpha, 0.0, 1.0) * 255));
  uint32_t word = a << 24 | channel(c.red) << 16 | channel(c.green) << 8 | channel(c.blue);
  return std::make_shared<const Image>(w, h, std::vector<uint32_t>(size_t(std::max(w, 0)) * std::max(h, 0), word),
                                       scale);
}

std::shared_ptr<const Image> Image::imageMask(const Image& greys) {
  std::vector<uint32_t> coverage(greys.pixels_.size());
  for (int y = 0; y < greys.height_; ++y) {
    for (int x = 0; x < greys.width_; ++x) {
      Pixel p = greys.pixel(x, y);
      // The pixel over white, then its luma.
      unsigned r = (p.r * p.a + 255 * (255 - p.a) + 127) / 255, g = (p.g * p.a + 255 * (255 - p.a) + 127) / 255,
               b = (p.b * p.a + 255 * (255 - p.a) + 127) / 255;
      uint32_t alpha = 255 - (r * 54u + g * 183u + b * 19u + 128) / 256;
      coverage[static_cast<size_t>(y) * greys.width_ + x] = alpha << 24;
    }
  }
  return std::make_shared<Image>(greys.width_, greys.height_, std::move(coverage), greys.scale_, greys.orientation_);
}

Size Image::size() const {
  double w = width_ / scale_, h = height_ / scale_;
  switch (orientation_) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored:
      return {h, w};
    default:
      return {w, h};
  }
}

Pixel Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  uint32_t w = pixels_[size_t(y) * width_ + x];
  uint8_t a = w >> 24;
  if (a == 0) return {};
  auto straight = [a](uint32_t v) { return uint8_t((v * 255 + a / 2) / a); };
  return {straight((w >> 16) & 0xFF), straight((w >> 8) & 0xFF), straight(w & 0xFF), a};
}

std::shared_ptr<const Image> Image::withScale(double scale) const {
  return std::make_shared<const Image>(width_, height_, pixels_, scale, orientation_);
}

std::shared_ptr<const Image> Image::withOrientation(ImageOrientation orientation) const {
  return std::make_shared<const Image>(width_, height_, pixels_, scale_, orientation);
}

std::shared_ptr<const Image> Image::normalized() const {
  Size displayed = size();
  int w = int(std::lround(displayed.width * scale_)), h = int(std::lround(displayed.height * scale_));
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  detail::paintImage(cr, *this, Rect(0, 0, w, h), 1);
  cairo_destroy(cr);
  auto image = detail::imageFromSurface(s, scale_);
  cairo_surface_destroy(s);
  return image;
}

ns::Data Image::pngData(ns::Error* error) const {
  ns::Data out;
  if (width_ == 0 || height_ == 0) {
    ns::setError(error, ns::Error::withDescription(kImageErrorDomain, 3, "An empty image has no PNG form."));
    return out;
  }
  cairo_surface_t* s = detail::createSurface(*this);
  cairo_status_t status = cairo_surface_write_to_png_stream(s, writeChunk, &out);
  cairo_surface_destroy(s);
  if (status != CAIRO_STATUS_SUCCESS) {
    ns::setError(error, ns::Error::withDescription(kImageErrorDomain, 4,
                                                   std::string("The PNG image could not be written: ") +
                                                       cairo_status_to_string(status)));
    out.clear();
  }
  return out;
}

bool Image::isOpaque() const {
  for (uint32_t w : pixels_) {
    if ((w >> 24) != 0xFF) return false;
  }
  return true;
}

}  // namespace cg
