#include "Platform/Graphics/TextLayout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "Platform/Graphics/detail/TextLayoutImpl.h"

namespace cg {

namespace {
uint16_t channel(double v) { return uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); }

PangoContext* measuringContext() {
  // One per thread: pango objects are not shared between threads.
  thread_local struct Holder {
    PangoContext* context;
    Holder() {
      PangoFontMap* map = pango_cairo_font_map_new();
      context = pango_font_map_create_context(map);
      g_object_unref(map);
      cairo_font_options_t* options = cairo_font_options_create();
      cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
      cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
      pango_cairo_context_set_font_options(context, options);
      cairo_font_options_destroy(options);
      pango_cairo_context_set_resolution(context, 72);
    }
    ~Holder() { g_object_unref(context); }
  } holder;
  return holder.context;
}
}  // namespace

TextLayout::TextLayout(std::vector<TextRun> runs, double width, ParagraphLayout paragraph)
    : impl_(std::make_unique<Impl>()) {
  impl_->layout = pango_layout_new(measuringContext());
  PangoLayout* layout = impl_->layout;
  std::string text;
  PangoAttrList* attrs = pango_attr_list_new();
  for (const TextRun& run : runs) {
    guint start = guint(text.size());
    text += run.text;
    guint end = guint(text.size());
    if (start == end) continue;
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, run.style.family.c_str());
    pango_font_description_set_absolute_size(font, run.style.size * PANGO_SCALE);
    pango_font_description_set_weight(font, run.style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(font, run.style.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    auto add = [&](PangoAttribute* a) {
      a->start_index = start;
      a->end_index = end;
      pango_attr_list_insert(attrs, a);
    };
    add(pango_attr_font_desc_new(font));
    pango_font_description_free(font);
    add(pango_attr_foreground_new(channel(run.style.color.red), channel(run.style.color.green),
                                  channel(run.style.color.blue)));
    if (run.style.color.alpha < 1) add(pango_attr_foreground_alpha_new(channel(run.style.color.alpha)));
    if (run.style.underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (run.style.strikethrough) add(pango_attr_strikethrough_new(TRUE));
  }
  // Empty text still has the height of one line of its first style.
  if (!runs.empty()) {
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, runs.front().style.family.c_str());
    pango_font_description_set_absolute_size(font, runs.front().style.size * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
  }
  pango_layout_set_text(layout, text.c_str(), int(text.size()));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);

  if (width > 0) pango_layout_set_width(layout, int(std::lround(width * PANGO_SCALE)));
  switch (paragraph.lineBreak) {
    case LineBreak::CharWrap: pango_layout_set_wrap(layout, PANGO_WRAP_CHAR); break;
    case LineBreak::TruncateHead: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_START); break;
    case LineBreak::TruncateTail: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END); break;
    case LineBreak::TruncateMiddle: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE); break;
    default: pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR); break;
  }
  if (paragraph.maximumLines > 0) {
    // A negative height limits the number of lines (truncating needs ellipsizing on).
    pango_layout_set_height(layout, -paragraph.maximumLines);
    if (pango_layout_get_ellipsize(layout) == PANGO_ELLIPSIZE_NONE)
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  }
  switch (paragraph.alignment) {
    case TextAlign::Left: pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
    case TextAlign::Center: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
    case TextAlign::Right: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    case TextAlign::Justified: pango_layout_set_justify(layout, TRUE); break;
  }
  if (paragraph.lineSpacing > 0) pango_layout_set_spacing(layout, int(paragraph.lineSpacing * PANGO_SCALE));
}

TextLayout::~TextLayout() {
  if (impl_ && impl_->layout) g_object_unref(impl_->layout);
}

Size TextLayout::size() const {
  PangoRectangle logical;
  pango_layout_get_extents(impl_->layout, nullptr, &logical);
  return {double(logical.width) / PANGO_SCALE, double(logical.height) / PANGO_SCALE};
}

int TextLayout::lineCount() const { return pango_layout_get_line_count(impl_->layout); }

std::vector<std::string> TextLayout::lines() const {
  std::vector<std::string> out;
  const char* text = pango_layout_get_text(impl_->layout);
  for (GSList* l = pango_layout_get_lines_readonly(impl_->layout); l; l = l->next) {
    auto* line = static_cast<PangoLayoutLine*>(l->data);
    std::string s(text + line->start_index, size_t(line->length));
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    out.push_back(s);
  }
  return out;
}

}  // namespace cg
