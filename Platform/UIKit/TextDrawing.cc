#include "Platform/UIKit/TextDrawing.h"

#include <algorithm>
#include <cmath>

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/TextAttachment.h"

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

namespace {

template <class T>
std::shared_ptr<const T> attribute(const ns::TextAttributes& attributes, const char* name) {
  auto it = attributes.find(name);
  return it == attributes.end() ? nullptr : it->second.as<T>();
}

cg::TextAlign textAlign(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Center: return cg::TextAlign::Center;
    case TextAlignment::Right: return cg::TextAlign::Right;
    case TextAlignment::Justified: return cg::TextAlign::Justified;
    default: return cg::TextAlign::Left;
  }
}

// An attachment's image as drawn inline: its pixels as points, narrowed to
// the width the text has.
struct InlineImage {
  std::shared_ptr<const Image> image;
  Size size;
};

InlineImage inlineImage(const TextAttachment& attachment, double width) {
  InlineImage out;
  out.image = Image::withData(attachment.contents());
  if (out.image) {
    out.size = out.image->size();
  } else if (auto pixels = attachment.imageSize()) {
    out.size = Size{double(pixels->first), double(pixels->second)};
  } else {
    out.size = Size{20, 20};  // a file that is not an image: a small box
  }
  if (width > 0 && out.size.width > width) {
    out.size = Size{width, out.size.height * width / out.size.width};
  }
  return out;
}

// The runs of `range` of the text, with the inline images they hold.
std::vector<cg::TextRun> runsOf(const ns::AttributedString& text, ns::Range range, double width,
                                const TextDrawingOptions& options, std::vector<InlineImage>* images) {
  auto defaultFont = options.defaultFont ? options.defaultFont : Font::systemFont(17);
  std::vector<cg::TextRun> runs;
  text.enumerateAttributes(range, 0, [&](const ns::TextAttributes& attributes, ns::Range part, bool*) {
    auto font = attribute<Font>(attributes, ns::kFontAttributeName);
    auto color = attribute<Color>(attributes, ns::kForegroundColorAttributeName);
    if (!color) color = options.defaultColor;
    cg::TextStyle style = textStyle(font ? *font : *defaultFont, color.get());
    if (auto u = attributes.find(ns::kUnderlineStyleAttributeName); u != attributes.end())
      style.underline = u->second.integerValue() != 0;
    if (auto s = attributes.find(ns::kStrikethroughStyleAttributeName); s != attributes.end())
      style.strikethrough = s->second.integerValue() != 0;
    std::u16string_view units = std::u16string_view(text.utf16()).substr(part.location, part.length);
    auto attachment = attribute<TextAttachment>(attributes, ns::kAttachmentAttributeName);
    if (!attachment || !images) {
      runs.push_back({ns::toUtf8(units), style, {}});
      return;
    }
    // Each attachment character is an object of its own.
    size_t start = 0;
    for (size_t i = 0; i <= units.size(); ++i) {
      if (i < units.size() && units[i] != ns::kAttachmentCharacter) continue;
      if (i > start) runs.push_back({ns::toUtf8(units.substr(start, i - start)), style, {}});
      if (i < units.size()) {
        InlineImage image = inlineImage(*attachment, width);
        runs.push_back({ns::toUtf8(std::u16string(1, ns::kAttachmentCharacter)), style, image.size});
        images->push_back(std::move(image));
      }
      start = i + 1;
    }
  });
  if (runs.empty()) runs.push_back({"", textStyle(*defaultFont, options.defaultColor.get()), {}});
  return runs;
}

std::shared_ptr<const ParagraphStyle> paragraphStyleAt(const ns::AttributedString& text, size_t index) {
  if (index >= text.length()) return nullptr;
  return text.attributeAtIndex(ns::kParagraphStyleAttributeName, index).as<ParagraphStyle>();
}

bool sameStyle(const std::shared_ptr<const ParagraphStyle>& a, const std::shared_ptr<const ParagraphStyle>& b) {
  if (!a || !b) return !a && !b;
  return a->isEqual(*b);
}

}  // namespace

// Paragraphs laid out together: one pango layout, its place and its images.
struct TextBlock::Paragraphs {
  std::unique_ptr<cg::TextLayout> layout;
  size_t start = 0;  // UTF-16 index of the first character
  std::string utf8;  // the characters, for index conversions
  double x = 0, y = 0;
  std::vector<InlineImage> images;
};

TextBlock::TextBlock(const ns::AttributedString& text, double width, const TextDrawingOptions& options)
    : width_(width) {
  const std::u16string& units = text.utf16();
  // Stretches of whole paragraphs with one paragraph style; a style with
  // space around its paragraphs lays each paragraph out on its own. A long
  // text is laid out a few thousand characters at a time, at paragraph
  // ends (pango's time grows with the square of one layout's length); such
  // a stretch goes on where the one before it ended, a line's spacing below.
  constexpr size_t kLayoutChunk = 4096;
  std::vector<ns::Range> stretches;
  std::vector<bool> continues;  // the stretch before it has the same style
  size_t start = 0;
  bool split = false;
  while (start < units.size() || stretches.empty()) {
    auto style = paragraphStyleAt(text, start);
    bool alone = style && (style->paragraphSpacing() > 0 || style->paragraphSpacingBefore() > 0);
    size_t end = start;
    bool full = false;
    while (end < units.size()) {
      size_t newline = units.find(u'\n', end);
      end = newline == std::u16string::npos ? units.size() : newline + 1;
      if (alone || end >= units.size() || !sameStyle(paragraphStyleAt(text, end), style)) break;
      if (end - start >= kLayoutChunk) {
        full = true;
        break;
      }
    }
    stretches.push_back(ns::Range{start, end - start});
    continues.push_back(split);
    split = full;
    if (end == start) break;
    start = end;
  }

  int linesLeft = options.maximumLines;
  double y = 0;
  std::shared_ptr<const ParagraphStyle> previous;
  for (size_t i = 0; i < stretches.size(); ++i) {
    if (options.maximumLines > 0 && linesLeft <= 0) break;
    ns::Range range = stretches[i];
    auto style = paragraphStyleAt(text, range.location);
    // The stretch's own line break ends in the next stretch's space.
    ns::Range shown = range;
    if (i + 1 < stretches.size() && shown.length > 0) --shown.length;
    auto part = std::make_unique<Paragraphs>();
    part->start = range.location;
    double head = style ? style->headIndent() : 0;
    double tail = style ? style->tailIndent() : 0;
    // A tail indent above 0 is measured from the head; 0 or less from the end.
    double right = width <= 0 ? 0 : (tail > 0 ? tail : width + tail);
    double lineWidth = width <= 0 ? 0 : std::max(1.0, right - head);
    cg::ParagraphLayout paragraph;
    paragraph.alignment = textAlign(style && style->alignment() != TextAlignment::Natural ? style->alignment()
                                                                                          : options.alignment);
    if (style) {
      paragraph.lineSpacing = style->lineSpacing();
      paragraph.firstLineIndent = style->firstLineHeadIndent() - head;
    }
    paragraph.lineBreak = options.lineBreak;
    paragraph.maximumLines = options.maximumLines > 0 ? linesLeft : 0;
    auto runs = runsOf(text, shown, lineWidth, options, &part->images);
    for (const auto& run : runs) part->utf8 += run.text;
    part->layout = std::make_unique<cg::TextLayout>(std::move(runs), lineWidth, paragraph);
    if (i > 0 && continues[i]) {
      y += paragraph.lineSpacing;
    } else if (i > 0) {
      if (previous) y += previous->paragraphSpacing();
      if (style) y += style->paragraphSpacingBefore();
    }
    part->x = head;
    part->y = y;
    y += part->layout->size().height;
    linesLeft -= part->layout->lineCount();
    previous = style;
    parts_.push_back(std::move(part));
  }
}

TextBlock::~TextBlock() = default;

Size TextBlock::size() const {
  double w = 0, h = 0;
  for (const auto& part : parts_) {
    Size s = part->layout->size();
    w = std::max(w, part->x + s.width);
    h = std::max(h, part->y + s.height);
  }
  return {w, h};
}

int TextBlock::lineCount() const {
  int n = 0;
  for (const auto& part : parts_) n += part->layout->lineCount();
  return n;
}

void TextBlock::draw(cg::ImageContext& context, Point origin, const Rect& clip) const {
  for (const auto& part : parts_) {
    Point at{origin.x + part->x, origin.y + part->y};
    context.drawText(*part->layout, at, clip);
    std::vector<Rect> boxes = part->layout->inlineBoxes();
    for (size_t i = 0; i < boxes.size() && i < part->images.size(); ++i) {
      const InlineImage& image = part->images[i];
      Rect box = boxes[i].offsetBy(at.x, at.y);
      context.saveState();
      if (!clip.isEmpty()) context.clipToRect(clip);
      if (image.image) {
        image.image->draw(context, box);
      } else {
        context.setStrokeColor(cg::Rgba::gray(0.6));
        context.strokeRect(box.insetBy(0.5, 0.5));
      }
      context.restoreState();
    }
  }
}

Rect TextBlock::caretRect(size_t index) const {
  const Paragraphs* part = nullptr;
  for (const auto& p : parts_) {
    if (p->start <= index) part = p.get();
  }
  if (!part) return Rect(0, 0, 0, 0);
  size_t local = index - part->start;
  size_t byte = ns::utf8OffsetForUtf16Index(part->utf8, local);
  Rect caret = part->layout->caretRect(int(std::min(byte, part->utf8.size())));
  return caret.offsetBy(part->x, part->y);
}

namespace {
// UTF-16 code units of UTF-8 bytes: one per character, two past U+FFFF.
size_t utf16Units(const std::string& utf8, size_t from, size_t to) {
  size_t units = 0;
  for (size_t i = from; i < to && i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}
}  // namespace

std::vector<TextBlock::LineBand> TextBlock::lineBands() const {
  std::vector<LineBand> out;
  for (const auto& part : parts_) {
    size_t byte = 0, index = part->start;
    for (const auto& line : part->layout->lineBands()) {
      index += utf16Units(part->utf8, byte, line.startByte);
      size_t length = utf16Units(part->utf8, line.startByte, line.startByte + line.byteLength);
      out.push_back({index, length, part->y + line.top, part->y + line.bottom});
      index += length;
      byte = line.startByte + line.byteLength;
    }
  }
  return out;
}

std::unique_ptr<cg::TextLayout> layoutText(const ns::AttributedString& text, double width,
                                           const TextDrawingOptions& options) {
  TextAlignment alignment = options.alignment;
  if (auto style = paragraphStyleAt(text, 0); style && style->alignment() != TextAlignment::Natural)
    alignment = style->alignment();
  cg::ParagraphLayout paragraph;
  paragraph.alignment = textAlign(alignment);
  paragraph.maximumLines = options.maximumLines;
  paragraph.lineBreak = options.lineBreak;
  return std::make_unique<cg::TextLayout>(runsOf(text, ns::Range{0, text.length()}, width, options, nullptr), width,
                                          paragraph);
}

Size boundingSize(const ns::AttributedString& text, double width, const TextDrawingOptions& options) {
  return TextBlock(text, width, options).size();
}

Size sizeOfText(const std::string& text, const Font& font, double width) {
  TextDrawingOptions options;
  options.defaultFont = std::make_shared<const Font>(font);
  return boundingSize(ns::AttributedString(text), width, options);
}

void drawText(cg::ImageContext& context, const ns::AttributedString& text, const Rect& rect,
              const TextDrawingOptions& options) {
  TextBlock(text, rect.width(), options).draw(context, rect.origin, rect);
}

}  // namespace ui
