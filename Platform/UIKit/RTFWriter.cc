#include "Platform/UIKit/RTFWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/FontCatalog.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace ui {

namespace {

constexpr double kDefaultSize = 12.0;

long twips(double points) { return std::lround(points * 20); }

// The character formatting RTF can state, compared to emit only changes.
struct CharFormat {
  size_t font = 0;
  long halfPoints = 24;
  bool bold = false, italic = false, strike = false;
  int underline = 0;  // the platform's underline style number
  size_t color = 0;   // 0: automatic
  bool operator==(const CharFormat&) const = default;
};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb rgbOf(const Color& color) {
  auto c = [](double v) { return static_cast<int>(std::lround(v * 255)); };
  return Rgb{c(color.redComponent()), c(color.greenComponent()), c(color.blueComponent())};
}

// Escapes text of a font name or the body; `ascii` is appended as is.
void appendEscaped(std::string& out, std::u16string_view text) {
  for (char16_t c : text) {
    switch (c) {
      case u'\\': out += "\\\\"; break;
      case u'{': out += "\\{"; break;
      case u'}': out += "\\}"; break;
      case u'\t': out += "\\tab "; break;
      case u'\n':
      case u'\r':
      case 0x2029: out += "\\par\n"; break;
      case 0x2028: out += "\\line "; break;
      case 0x00A0: out += "\\~"; break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          out += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
        }
    }
  }
}

std::u16string widen(const std::string& ascii) {
  return ns::AttributedString(ascii).utf16();
}

std::string hex(const ns::Data& data) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(data.size() * 2 + data.size() / 64);
  for (size_t i = 0; i < data.size(); ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
    if (i % 64 == 63) out += '\n';
  }
  return out;
}

std::string paragraphControls(const ParagraphStyle& style) {
  std::string out = "\\pard";
  switch (style.alignment()) {
    case TextAlignment::Left: out += "\\ql"; break;
    case TextAlignment::Center: out += "\\qc"; break;
    case TextAlignment::Right: out += "\\qr"; break;
    case TextAlignment::Justified: out += "\\qj"; break;
    case TextAlignment::Natural: break;
  }
  auto add = [&](const char* word, double points) {
    if (long t = twips(points)) out += std::string("\\") + word + std::to_string(t);
  };
  add("li", style.headIndent());
  add("fi", style.firstLineHeadIndent() - style.headIndent());
  if (style.tailIndent() < 0) add("ri", -style.tailIndent());
  add("sb", style.paragraphSpacingBefore());
  add("sa", style.paragraphSpacing());
  add("slleading", style.lineSpacing());
  return out;
}

bool isParagraphEnd(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x2029; }

}  // namespace

std::string RTFWriter::attachmentName(const TextAttachment& attachment) {
  std::string name;
  for (char c : attachment.preferredFilename())  // the name stands in RTF text
    name += (c == '\\' || c == '{' || c == '}' || c == ';' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
  if (name.empty() || name == "TXT.rtf") name = "Attachment" + name;
  std::string stem = name, extension;
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    stem = name.substr(0, dot);
    extension = name.substr(dot);
  }
  for (int n = 2; usedNames_.contains(name); ++n) name = stem + " " + std::to_string(n) + extension;
  usedNames_.insert(name);
  return name;
}

std::string RTFWriter::write(const ns::AttributedString& text, ns::Range range) {
  attachments_.clear();
  usedNames_.clear();
  ns::AttributedString part = text.attributedSubstring(range);
  const std::u16string& chars = part.utf16();

  // Tables first: every family and colour the runs use.
  std::vector<std::string> fonts;
  std::vector<Rgb> colors;
  auto fontIndex = [&](const std::string& family) {
    for (size_t i = 0; i < fonts.size(); ++i)
      if (fonts[i] == family) return i;
    fonts.push_back(family);
    return fonts.size() - 1;
  };
  auto colorIndex = [&](const Rgb& rgb) {
    for (size_t i = 0; i < colors.size(); ++i)
      if (colors[i] == rgb) return i + 1;
    colors.push_back(rgb);
    return colors.size();
  };
  auto formatOf = [&](const ns::TextAttributes& attributes) {
    CharFormat format;
    auto font = attributes.contains(ns::kFontAttributeName)
                    ? attributes.at(ns::kFontAttributeName).as<Font>()
                    : nullptr;
    format.font = fontIndex(font ? font->familyName() : kDefaultDocumentFontFamily);
    format.halfPoints = std::lround((font ? font->pointSize() : kDefaultSize) * 2);
    format.bold = font && font->isBold();
    format.italic = font && font->isItalic();
    if (auto it = attributes.find(ns::kUnderlineStyleAttributeName); it != attributes.end())
      format.underline = static_cast<int>(it->second.integerValue());
    if (auto it = attributes.find(ns::kStrikethroughStyleAttributeName); it != attributes.end())
      format.strike = it->second.integerValue() != 0;
    if (auto it = attributes.find(ns::kForegroundColorAttributeName); it != attributes.end())
      if (auto color = it->second.as<Color>()) format.color = colorIndex(rgbOf(*color));
    return format;
  };
  part.enumerateAttributes(ns::Range{0, part.length()}, 0,
                           [&](const ns::TextAttributes& attributes, ns::Range, bool*) {
                             formatOf(attributes);
                           });
  if (fonts.empty()) fonts.push_back(kDefaultDocumentFontFamily);

  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
  for (size_t i = 0; i < fonts.size(); ++i) {
    out += "\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
    appendEscaped(out, widen(fonts[i]));
    out += ";";
  }
  out += "}\n{\\colortbl;";
  for (const Rgb& c : colors)
    out += "\\red" + std::to_string(c.r) + "\\green" + std::to_string(c.g) + "\\blue" +
           std::to_string(c.b) + ";";
  out += "}\n";

  CharFormat current;  // the reader's defaults: \f0 (\deff0), \fs24, all off
  std::optional<ParagraphStyle> paragraph;
  bool paragraphStart = true;
  auto emitText = [&](std::u16string_view slice,
                      const std::shared_ptr<const TextAttachment>& attachment) {
    if (!attachment) return appendEscaped(out, slice);
    size_t from = 0;
    for (size_t i = 0; i <= slice.size(); ++i) {
      if (i < slice.size() && slice[i] != ns::kAttachmentCharacter) continue;
      appendEscaped(out, slice.substr(from, i - from));
      from = i + 1;
      if (i == slice.size()) break;
      auto size = attachment->imageSize();
      int w = size ? size->first : 0, h = size ? size->second : 0;
      if (mode_ == Attachments::PackageFiles) {
        std::string name = attachmentName(*attachment);
        attachments_.emplace_back(name, attachment);
        out += "{{\\NeXTGraphic " + name + " \\width" + std::to_string(w * 20) + " \\height" +
               std::to_string(h * 20) + "}\\uc0\\u65532 }";
      } else if (attachment->fileType() == kPNGFileType || attachment->fileType() == kJPEGFileType) {
        out += std::string("{\\pict") +
               (attachment->fileType() == kPNGFileType ? "\\pngblip" : "\\jpegblip") + "\\picw" +
               std::to_string(w) + "\\pich" + std::to_string(h) + "\\picwgoal" +
               std::to_string(w * 20) + "\\pichgoal" + std::to_string(h * 20) + "\n" +
               hex(attachment->contents()) + "}";
      }
      // Other attachments have no inline form in RTF: they are left out.
    }
  };
  part.enumerateAttributes(ns::Range{0, part.length()}, 0, [&](const ns::TextAttributes& attributes,
                                                               ns::Range run, bool*) {
    CharFormat format = formatOf(attributes);
    std::shared_ptr<const ParagraphStyle> style;
    if (auto it = attributes.find(ns::kParagraphStyleAttributeName); it != attributes.end())
      style = it->second.as<ParagraphStyle>();
    std::shared_ptr<const TextAttachment> attachment;
    if (auto it = attributes.find(ns::kAttachmentAttributeName); it != attributes.end())
      attachment = it->second.as<TextAttachment>();

    for (size_t i = run.location; i < run.end();) {
      if (paragraphStart) {  // a paragraph's style is the one at its first character
        ParagraphStyle wanted = style ? *style : ParagraphStyle();
        if (!paragraph || !paragraph->isEqual(wanted)) {
          out += paragraphControls(wanted) + "\n";
          paragraph = wanted;
        }
        paragraphStart = false;
      }
      std::string words;
      if (format.font != current.font) words += "\\f" + std::to_string(format.font);
      if (format.halfPoints != current.halfPoints) words += "\\fs" + std::to_string(format.halfPoints);
      if (format.bold != current.bold) words += format.bold ? "\\b" : "\\b0";
      if (format.italic != current.italic) words += format.italic ? "\\i" : "\\i0";
      if (format.underline != current.underline) {
        int kind = format.underline & 0xF;
        words += format.underline == 0 ? "\\ulnone" : kind == 9 ? "\\uldb" : kind == 2 ? "\\ulth" : "\\ul";
      }
      if (format.strike != current.strike) words += format.strike ? "\\strike" : "\\strike0";
      if (format.color != current.color) words += "\\cf" + std::to_string(format.color);
      if (!words.empty()) out += words + " ";
      current = format;

      size_t j = i;
      while (j < run.end() && !isParagraphEnd(chars[j])) ++j;
      if (j < run.end()) {
        ++j;
        paragraphStart = true;
      }
      emitText(std::u16string_view(chars.data() + i, j - i), attachment);
      i = j;
    }
  });
  out += "}";
  return out;
}

}  // namespace ui
