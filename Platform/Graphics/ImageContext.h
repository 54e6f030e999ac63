// A bitmap drawing context of a size in points and a scale (pixels per
// point), y growing downwards as on the platform's image contexts. Fills,
// strokes, paths, images and text are drawn with the current state: colours,
// line width, alpha, blend mode, shadow and transform, which saveState and
// restoreState keep on a stack. makeImage() takes the picture as a cg::Image.
//
// Every drawing operation is composed as one layer: drawn on its own, then
// its shadow (offset in points, blurred by `blur` points), then the layer
// with the alpha and blend mode. A transparency layer groups several
// operations into one such layer. An opaque context starts black and keeps
// alpha 1; otherwise it starts transparent.
#pragma once

#include <memory>
#include <vector>

#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/BlendMode.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Path.h"
#include "Platform/Graphics/Rgba.h"
#include "Platform/Graphics/TextLayout.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace cg {

// Which points a filled path covers: non-zero winding, or even-odd (a path
// inside another makes a hole, whatever the directions).
enum class FillRule { Winding, EvenOdd };

// A colour of a linear gradient at `location` (0 at the start, 1 at the end).
struct GradientStop {
  double location;
  Rgba color;
};

class ImageContext {
 public:
  // A size of zero width or height gives a context that draws nothing and
  // makes no image.
  ImageContext(Size size, bool opaque, double scale);
  ~ImageContext();
  ImageContext(const ImageContext&) = delete;
  ImageContext& operator=(const ImageContext&) = delete;

  Size size() const { return size_; }
  double scale() const { return scale_; }

  void saveState();
  void restoreState();

  void setFillColor(Rgba color) { state_.fill = color; }
  void setStrokeColor(Rgba color) { state_.stroke = color; }
  void setLineWidth(double width) { state_.lineWidth = width; }
  void setAlpha(double alpha) { state_.alpha = alpha; }
  void setBlendMode(BlendMode mode) { state_.blend = mode; }
  // A colour of alpha 0 means no shadow.
  void setShadow(Point offset, double blur, Rgba color);
  void clearShadow() { state_.shadowColor = Rgba::clear(); }

  void translate(double x, double y);
  void scaleBy(double sx, double sy);
  void rotate(double radians);
  void concat(const AffineTransform& t);
  AffineTransform transform() const;
  void clipToRect(const Rect& r);
  void clipToPath(const Path& path);
  // Keeps later drawing to where `mask`, stretched over `rect`, is opaque,
  // in proportion to its alpha (nothing outside `rect`); with another mask
  // in force, to where both are. An image mask (Image::imageMask) or any
  // image with alpha.
  void clipToMask(const Rect& rect, const Image& mask);

  void fillRect(const Rect& r);
  void strokeRect(const Rect& r);
  // Makes the rectangle transparent (black for an opaque context).
  void clearRect(const Rect& r);
  void fillPath(const Path& path, FillRule rule = FillRule::Winding);
  // A gradient from `start` to `end` (user space) over the clip: colours
  // blend between the stops in device RGB, and nothing is painted before
  // the start or past the end.
  void drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end);
  void strokePath(const Path& path);
  void fillEllipse(const Rect& r) { fillPath(Path::ellipse(r)); }
  // The image scaled into `rect`, turned as its orientation says.
  void drawImage(const Image& image, const Rect& rect);
  // The image repeated from the origin of `rect` over it, at its own size.
  void drawTiledImage(const Image& image, const Rect& rect);
  // Blurs what is drawn already under `rect` (within the clip) by `radius`
  // points, as a frosted pane over it does.
  void blurRegion(const Rect& rect, double radius);
  // The laid-out text with its top-left corner at `origin`; clipped to
  // `clip` when given a non-empty one.
  void drawText(const TextLayout& text, Point origin, const Rect& clip = Rect());

  // What is drawn between begin and end is composed as one layer, with the
  // alpha, shadow and blend mode in force at begin (reset to the defaults
  // inside). Layers nest; saveState/restoreState pairs stay inside a layer.
  void beginTransparencyLayer();
  void endTransparencyLayer();

  // The picture so far, with the context's scale; null for an empty context.
  std::shared_ptr<const Image> makeImage() const;

 private:
  struct State {
    Rgba fill = Rgba::black();
    Rgba stroke = Rgba::black();
    double lineWidth = 1;
    double alpha = 1;
    BlendMode blend = BlendMode::Normal;
    Point shadowOffset;
    double shadowBlur = 0;
    Rgba shadowColor = Rgba::clear();
    std::shared_ptr<cairo_surface_t> clipMask;  // device pixels' coverage, when a mask clips
  };
  template <class Draw>
  void layer(Draw draw);
  // Composes a drawn group with the current alpha, shadow and blend mode.
  void compose(cairo_pattern_t* group);
  // The group kept to the clipping mask (the group itself when none).
  cairo_pattern_t* masked(cairo_pattern_t* group);

  Size size_;
  double scale_;
  bool opaque_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  State state_;
  std::vector<State> saved_;
  std::vector<State> layers_;  // the state at each open transparency layer's begin
};

}  // namespace cg
