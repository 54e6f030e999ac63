#include "Platform/UIKit/TextDrawing.h"

namespace ui {

cg::Rgba rgba(const Color& c) { return {c.redComponent(), c.greenComponent(), c.blueComponent(), c.alpha()}; }

cg::TextStyle textStyle(const Font& font, const Color* color) {
  cg::TextStyle style;
  style.family = font.face().family.empty() ? "DejaVu Sans" : font.face().family;
  style.size = font.pointSize();
  style.bold = font.isBold();
  style.italic = font.isItalic();
  if (color) style.color = rgba(*color);
  return style;
}

std::unique_ptr<cg::TextLayout> layoutText(const ns::AttributedString& text, double width,
                                           const TextDrawingOptions& options) {
  auto defaultFont = options.defaultFont ? options.defaultFont : Font::systemFont(17);
  std::vector<cg::TextRun> runs;
  TextAlignment alignment = options.alignment;
  bool first = true;
  text.enumerateAttributes(ns::Range{0, text.length()}, 0,
                           [&](const ns::TextAttributes& attributes, ns::Range range, bool*) {
                             auto find = [&](const char* name) -> const ns::AttributeValue* {
                               auto it = attributes.find(name);
                               return it == attributes.end() ? nullptr : &it->second;
                             };
                             std::shared_ptr<const Font> font = defaultFont;
                             if (auto* f = find(ns::kFontAttributeName)) {
                               if (auto typed = f->as<Font>()) font = typed;
                             }
                             std::shared_ptr<const Color> color = options.defaultColor;
                             if (auto* c = find(ns::kForegroundColorAttributeName)) {
                               if (auto typed = c->as<Color>()) color = typed;
                             }
                             cg::TextStyle style = textStyle(*font, color.get());
                             if (auto* u = find(ns::kUnderlineStyleAttributeName)) style.underline = u->integerValue() != 0;
                             if (auto* s = find(ns::kStrikethroughStyleAttributeName))
                               style.strikethrough = s->integerValue() != 0;
                             if (first) {
                               if (auto* p = find(ns::kParagraphStyleAttributeName)) {
                                 if (auto ps = p->as<ParagraphStyle>()) alignment = ps->alignment();
                               }
                               first = false;
                             }
                             std::u16string part = text.utf16().substr(range.location, range.length);
                             ns::AttributedString piece(part);
                             runs.push_back({piece.string(), style});
                           });
  if (runs.empty()) runs.push_back({"", textStyle(*defaultFont, options.defaultColor.get())});
  cg::ParagraphLayout paragraph;
  switch (alignment) {
    case TextAlignment::Center: paragraph.alignment = cg::TextAlign::Center; break;
    case TextAlignment::Right: paragraph.alignment = cg::TextAlign::Right; break;
    case TextAlignment::Justified: paragraph.alignment = cg::TextAlign::Justified; break;
    default: paragraph.alignment = cg::TextAlign::Left; break;
  }
  paragraph.maximumLines = options.maximumLines;
  paragraph.lineBreak = options.lineBreak;
  return std::make_unique<cg::TextLayout>(std::move(runs), width, paragraph);
}

Size boundingSize(const ns::AttributedString& text, double width, const TextDrawingOptions& options) {
  return layoutText(text, width, options)->size();
}

Size sizeOfText(const std::string& text, const Font& font, double width) {
  TextDrawingOptions options;
  options.defaultFont = std::make_shared<const Font>(font);
  return boundingSize(ns::AttributedString(text), width, options);
}

void drawText(cg::ImageContext& context, const ns::AttributedString& text, const Rect& rect,
              const TextDrawingOptions& options) {
  auto layout = layoutText(text, rect.width(), options);
  context.drawText(*layout, rect.origin, rect);
}

}  // namespace ui
