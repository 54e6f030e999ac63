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
      // Grey antialiasing whatever the user's font settings say, so that a
      // picture of the text is the same on every machine.
      cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
      cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
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
    if (run.isInlineBox()) {
      // The object's box sits on the baseline: its top is its height above it.
      PangoRectangle box{0, -int(std::lround(run.inlineBox.height * PANGO_SCALE)),
                         int(std::lround(run.inlineBox.width * PANGO_SCALE)),
                         int(std::lround(run.inlineBox.height * PANGO_SCALE))};
      add(pango_attr_shape_new(&box, &box));
      impl_->inlineBoxStarts.push_back(int(start));
    }
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
  // Without a limit on its lines a truncating text wraps over as many as it
  // needs (pango would ellipsize each paragraph to one line): it is cut
  // only where lines are limited.
  LineBreak lineBreak = paragraph.lineBreak;
  bool truncates = lineBreak == LineBreak::TruncateHead || lineBreak == LineBreak::TruncateTail ||
                   lineBreak == LineBreak::TruncateMiddle;
  if (truncates && paragraph.maximumLines <= 0 && width > 0) lineBreak = LineBreak::WordWrap;
  switch (lineBreak) {
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
  if (paragraph.firstLineIndent != 0)
    pango_layout_set_indent(layout, int(std::lround(paragraph.firstLineIndent * PANGO_SCALE)));
  if (paragraph.maximumLines > 0 && pango_layout_get_line_count(layout) > paragraph.maximumLines) {
    // Pango limits the lines of each paragraph; the limit is for the whole
    // text: it ends with the last line allowed, marked as cut.
    PangoLayoutLine* last = pango_layout_get_line_readonly(layout, paragraph.maximumLines - 1);
    size_t end = size_t(last->start_index + last->length);
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    std::string cut = text.substr(0, end);
    bool more = text.find_first_not_of(" \t\r\n", end) != std::string::npos;
    if (more && paragraph.lineBreak != LineBreak::WordWrap && paragraph.lineBreak != LineBreak::CharWrap &&
        paragraph.lineBreak != LineBreak::Clip)
      cut += "\u2026";
    pango_layout_set_text(layout, cut.c_str(), int(cut.size()));
  }
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

std::vector<TextLayout::LineBand> TextLayout::lineBands() const {
  std::vector<LineBand> out;
  PangoLayoutIter* iter = pango_layout_get_iter(impl_->layout);
  do {
    PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
    int top = 0, bottom = 0;
    pango_layout_iter_get_line_yrange(iter, &top, &bottom);
    out.push_back({size_t(line->start_index), size_t(line->length), double(top) / PANGO_SCALE,
                   double(bottom) / PANGO_SCALE});
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  return out;
}

Rect TextLayout::caretRect(int index) const {
  PangoRectangle strong;
  pango_layout_get_cursor_pos(impl_->layout, index, &strong, nullptr);
  return Rect(double(strong.x) / PANGO_SCALE, double(strong.y) / PANGO_SCALE, 0, double(strong.height) / PANGO_SCALE);
}

std::vector<Rect> TextLayout::inlineBoxes() const {
  std::vector<Rect> out;
  PangoLayout* layout = impl_->layout;
  for (int index : impl_->inlineBoxStarts) {
    PangoRectangle cell;
    pango_layout_index_to_pos(layout, index, &cell);
    // The baseline of the line holding it.
    int line = 0, x = 0;
    pango_layout_index_to_line_x(layout, index, FALSE, &line, &x);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    for (int i = 0; i < line && pango_layout_iter_next_line(iter); ++i) {
    }
    int baseline = pango_layout_iter_get_baseline(iter);
    pango_layout_iter_free(iter);
    // The shape's own logical rectangle, as the attribute gave it.
    PangoRectangle box{0, 0, 0, 0};
    PangoAttrIterator* attrs = pango_attr_list_get_iterator(pango_layout_get_attributes(layout));
    do {
      int start = 0, end = 0;
      pango_attr_iterator_range(attrs, &start, &end);
      if (index >= start && index < end) {
        if (auto* shape = reinterpret_cast<PangoAttrShape*>(pango_attr_iterator_get(attrs, PANGO_ATTR_SHAPE)))
          box = shape->logical_rect;
        break;
      }
    } while (pango_attr_iterator_next(attrs));
    pango_attr_iterator_destroy(attrs);
    out.push_back(Rect(double(cell.x) / PANGO_SCALE, double(baseline + box.y) / PANGO_SCALE,
                       double(box.width) / PANGO_SCALE, double(box.height) / PANGO_SCALE));
  }
  return out;
}

}  // namespace cg
