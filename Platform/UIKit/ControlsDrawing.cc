// How buttons, image views, switches, sliders, date pickers, progress
// views, activity indicators and visual effect views draw. Each draws in
// its own coordinates (View::drawRect).
#include <algorithm>
#include <cmath>

#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/VisualEffectView.h"

namespace ui {

namespace {

const double kPi = std::acos(-1.0);

// Where an image of `size` goes in `bounds` under a content mode.
Rect placeImage(Size size, const Rect& bounds, ContentMode mode) {
  if (size.width <= 0 || size.height <= 0) return bounds;
  switch (mode) {
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
      double sx = bounds.width() / size.width, sy = bounds.height() / size.height;
      double s = mode == ContentMode::ScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
      Size shown{size.width * s, size.height * s};
      return Rect(bounds.midX() - shown.width / 2, bounds.midY() - shown.height / 2, shown.width, shown.height);
    }
    case ContentMode::Center:
      return Rect(bounds.midX() - size.width / 2, bounds.midY() - size.height / 2, size.width, size.height);
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw: break;
  }
  return bounds;
}

void drawImageIn(cg::ImageContext& context, const Image& image, const Rect& rect, const View& view) {
  auto tint = view.tintColor();
  drawing::drawImage(context, image, rect, *tint);
}

// A white knob with a soft shadow (switches and sliders).
void knob(cg::ImageContext& context, const Rect& rect) {
  context.saveState();
  context.setShadow(Point{0, 2}, 4, cg::Rgba::black(0.2));
  context.setFillColor(cg::Rgba::white());
  context.fillEllipse(rect);
  context.restoreState();
}

}  // namespace

void ImageView::drawRect(const Rect&) {
  ImagePtr shown = isHighlighted_ && highlighted_ ? highlighted_ : image_;
  if (!shown) return;
  drawImageIn(drawing::current(), *shown, placeImage(shown->size(), bounds(), contentMode()), *this);
}

void Button::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  uint32_t s = state();
  if (ImagePtr background = backgroundImageForState(s)) drawImageIn(context, *background, bounds(), *this);
  if (ImagePtr image = imageForState(s); image && !imageView_->isHidden()) {
    drawImageIn(context, *image, imageView_->frame(), *this);
  }
  if (titleLabel_->isHidden()) return;
  if (attributedTitleForState(s)) {
    titleLabel_->drawTextInRect(context, titleLabel_->frame());
  } else if (!titleForState(s).empty()) {
    // The colour of the state now: a system button's title follows the
    // tint it inherits where it stands.
    ColorPtr color = titleColorForState(s);
    titleLabel_->drawTextInRect(context, titleLabel_->frame(), color.get());
  }
}

void Switch::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  Rect track(b.minX(), b.midY() - 15.5, 51, 31);
  cg::Path shape = cg::Path::roundedRect(track, 15.5);
  if (on_) {
    drawing::fill(context, onTint_ ? *onTint_ : *Color::withRGBA(52 / 255.0, 199 / 255.0, 89 / 255.0), shape);
  } else {
    drawing::fill(context, *Color::withRGBA(120 / 255.0, 120 / 255.0, 128 / 255.0, 0.16), shape);
  }
  Rect thumb(on_ ? track.maxX() - 29 : track.minX() + 2, track.minY() + 2, 27, 27);
  knob(context, thumb);
  if (thumbTint_) drawing::fill(context, *thumbTint_, cg::Path::ellipse(thumb));
  if (!isEnabled()) drawing::fill(context, *Color::withWhite(1, 0.5), shape);
}

namespace {
constexpr double kSliderThumb = 28;
}  // namespace

float Slider::valueAt(double x) const {
  Rect b = bounds();
  double left = b.minX() + kSliderThumb / 2, right = b.maxX() - kSliderThumb / 2;
  double fraction = right > left ? std::clamp((x - left) / (right - left), 0.0, 1.0) : 0;
  return float(minimumValue() + fraction * (maximumValue() - minimumValue()));
}

void Slider::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  const double side = kSliderThumb;
  double range = maximumValue() - minimumValue();
  double fraction = range > 0 ? (value() - minimumValue()) / range : 0;
  double left = b.minX() + side / 2, right = b.maxX() - side / 2;
  double x = left + (right - left) * std::clamp(fraction, 0.0, 1.0);
  Rect track(b.minX() + 2, b.midY() - 2, std::max(0.0, b.width() - 4), 4);
  drawing::fill(context, *Color::withRGBA(120 / 255.0, 120 / 255.0, 128 / 255.0, 0.2), cg::Path::roundedRect(track, 2));
  drawing::fill(context, *tintColor(), cg::Path::roundedRect(Rect(track.minX(), track.minY(), x - track.minX(), 4), 2));
  knob(context, Rect(x - side / 2, b.midY() - side / 2, side, side));
}

void DatePicker::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  const double row = kWheelRowHeight;
  Rect band(b.minX() + 8, b.midY() - row / 2, std::max(0.0, b.width() - 16), row);
  drawing::fill(context, *Color::withRGBA(118 / 255.0, 118 / 255.0, 128 / 255.0, 0.12), cg::Path::roundedRect(band, 8));

  ns::DateFormatter formatter;
  if (!locale_.empty()) formatter.setLocale(ns::Locale(locale_));
  if (auto zone = timeZone_.empty() ? std::nullopt : ns::TimeZone::named(timeZone_)) formatter.setTimeZone(*zone);
  double step = wheelStep();
  switch (mode_) {
    case DatePickerMode::Time:
      formatter.setTimeStyle(ns::DateFormatterStyle::Short);
      break;
    case DatePickerMode::Date:
      formatter.setDateStyle(ns::DateFormatterStyle::Medium);
      break;
    case DatePickerMode::DateAndTime:
    case DatePickerMode::CountDownTimer:
      formatter.setDateStyle(ns::DateFormatterStyle::Medium);
      formatter.setTimeStyle(ns::DateFormatterStyle::Short);
      break;
  }
  // The wheel: the picked value in the band, its neighbours fading above
  // and below, within the picker's limits.
  auto font = Font::systemFont(20);
  for (int k = -2; k <= 2; ++k) {
    ns::Date value(date_.timeIntervalSinceReferenceDate() + k * step);
    if ((minimum_ && value < *minimum_) || (maximum_ && value > *maximum_)) continue;
    double alpha = k == 0 ? 1 : (std::abs(k) == 1 ? 0.45 : 0.2);
    Rect line(band.minX(), band.minY() + k * row, band.width(), row);
    if (line.maxY() < b.minY() || line.minY() > b.maxY()) continue;
    drawing::drawLine(context, formatter.stringFromDate(value), *font, *Color::withWhite(0, alpha), line,
                      TextAlignment::Center);
  }
}

void ProgressView::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  double height = std::min(b.height(), 4.0);
  Rect track(b.minX(), b.midY() - height / 2, b.width(), height);
  Rect done(track.minX(), track.minY(), track.width() * progress_, height);
  if (trackImage_) {
    trackImage_->draw(context, track);
  } else {
    drawing::fill(context, trackTint_ ? *trackTint_ : *Color::withRGBA(120 / 255.0, 120 / 255.0, 128 / 255.0, 0.2),
                  cg::Path::roundedRect(track, height / 2));
  }
  if (progressImage_) {
    progressImage_->draw(context, done);
  } else if (done.width() > 0) {
    drawing::fill(context, progressTint_ ? *progressTint_ : *tintColor(), cg::Path::roundedRect(done, height / 2));
  }
}

void ActivityIndicatorView::drawRect(const Rect&) {
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  ColorPtr color = color_;
  if (!color) {
    bool white = style_ == ActivityIndicatorViewStyle::White || style_ == ActivityIndicatorViewStyle::WhiteLarge;
    color = white ? Color::white() : Color::gray();
  }
  // Eight spokes fading round the circle, the brightest at the top.
  double radius = std::min(b.width(), b.height()) / 2;
  double thickness = std::max(2.0, radius / 4.5);
  Point c = b.center();
  for (int i = 0; i < 8; ++i) {
    double angle = -kPi / 2 + i * kPi / 4;
    double dx = std::cos(angle), dy = std::sin(angle);
    cg::Path spoke;
    spoke.moveTo({c.x + dx * radius * 0.45, c.y + dy * radius * 0.45});
    spoke.lineTo({c.x + dx * (radius - thickness / 2), c.y + dy * (radius - thickness / 2)});
    context.setStrokeColor(rgba(*color->withAlphaComponent(color->alpha() * (1 - i * 0.1))));
    context.setLineWidth(thickness);
    context.strokePath(spoke);
  }
}

void VisualEffectView::drawRect(const Rect&) {
  if (!effect_) return;
  cg::ImageContext& context = drawing::current();
  Rect b = bounds();
  // The blur itself comes first, under the background (ViewDrawing.cc).
  ColorPtr tint;
  switch (*effect_) {
    case BlurEffectStyle::ExtraLight: tint = Color::withWhite(0.97, 0.8); break;
    case BlurEffectStyle::Light: tint = Color::withWhite(1, 0.3); break;
    case BlurEffectStyle::Dark: tint = Color::withWhite(0.11, 0.73); break;
    case BlurEffectStyle::Regular:
    case BlurEffectStyle::Prominent: tint = Color::withWhite(0.97, 0.7); break;
  }
  drawing::fill(context, *tint, b);
}

}  // namespace ui
