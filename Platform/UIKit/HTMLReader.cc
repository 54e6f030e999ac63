#include "Platform/UIKit/HTMLReader.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <unicode/ucnv.h>

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "Platform/Foundation/StringUtf16.h"
#include "Platform/UIKit/Font.h"

namespace ui {

namespace {

constexpr int kFileReadCorruptFileError = 259;
// Deeper markup is read as flat text: no document a person writes nests
// this far, and the walk must not run out of stack.
constexpr int kMaxDepth = 200;

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

bool isBlock(std::string_view n) {
  return isOneOf(n, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "li", "dl", "dt", "dd",
                     "blockquote", "pre", "table", "tr", "section", "article", "header", "footer", "nav",
                     "aside", "address", "hr", "form", "fieldset", "figure", "figcaption", "main", "center",
                     "body", "html"});
}

// Never shown, or shown only by loading something.
bool isDropped(std::string_view n) {
  return isOneOf(n, {"head", "title", "script", "style", "template", "noscript", "iframe", "frame", "frameset",
                     "object", "embed", "img", "picture", "svg", "canvas", "video", "audio", "link", "meta",
                     "base", "input", "select", "textarea", "button"});
}

// The document as UTF-8, by the rules in the header.
std::string utf8Document(const ns::Data& data) {
  std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
  if (bytes.size() >= 2 && ((uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) ||
                            (uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF))) {
    bool little = uint8_t(bytes[0]) == 0xFF;
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = uint8_t(bytes[little ? i : i + 1]), hi = uint8_t(bytes[little ? i + 1 : i]);
      text.push_back(char16_t(lo | (hi << 8)));
    }
    return ns::toUtf8(text);
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (ns::isValidUtf8(bytes)) return std::string(bytes);
  UErrorCode status = U_ZERO_ERROR;
  std::string out(bytes.size() * 3 + 1, '\0');
  int32_t n = ucnv_convert("UTF-8", "windows-1252", out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
  return out;
}

struct Style {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  bool preformatted = false;
  std::string link;
};

// Collects the text and its runs while the tree is walked.
class TextBuilder {
 public:
  TextBuilder(const ns::TextAttributes& defaults, const FontCatalog& catalog) : defaults_(defaults), catalog_(catalog) {
    if (auto font = defaults.find(ns::kFontAttributeName); font != defaults.end()) baseFont_ = font->second.as<Font>();
    if (!baseFont_) baseFont_ = Font::withName(kDefaultDocumentFontFamily, 12, catalog);
  }

  void text(std::string_view utf8, const Style& style) {
    std::u16string chars = ns::toUtf16(utf8);
    for (char16_t c : chars) {
      bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
      if (style.preformatted) {
        if (c == u'\r') continue;
        put(std::u16string(1, c), style);
        continue;
      }
      if (space) {
        // The space keeps the style of the text it stood in.
        if (!atLineStart_ && !pendingSpace_) {
          pendingSpace_ = true;
          pendingSpaceStyle_ = style;
        }
        continue;
      }
      if (pendingSpace_) put(u" ", pendingSpaceStyle_);
      put(std::u16string(1, c), style);
    }
  }
  // A line break of its own (<br>): always one more.
  void lineBreak(const Style& style) {
    put(u"\n", style);
    endsWithBlockEdge_ = false;
  }
  // The edge of a block: the text goes on on a new line, never an empty one.
  void blockEdge(const Style& style) {
    if (!text_.empty() && !atLineStart_) {
      put(u"\n", style);
      endsWithBlockEdge_ = true;
    }
    pendingSpace_ = false;
  }

  // The text, without the line break that only closes the last block.
  ns::AttributedString result() {
    if (endsWithBlockEdge_ && atLineStart_) {
      text_.pop_back();
      if (--runs_.back().length == 0) runs_.pop_back();
    }
    return ns::AttributedString::withRuns(std::move(text_), std::move(runs_));
  }

 private:
  void put(const std::u16string& chars, const Style& style) {
    pendingSpace_ = false;
    endsWithBlockEdge_ = false;
    text_ += chars;
    atLineStart_ = chars.back() == u'\n';
    ns::TextAttributes attributes = attributesFor(style);
    if (!runs_.empty() && runs_.back().attributes == attributes) runs_.back().length += chars.size();
    else runs_.push_back(ns::AttributedString::Run{chars.size(), std::move(attributes)});
  }

  ns::TextAttributes attributesFor(const Style& style) {
    auto key = std::make_tuple(style.bold, style.italic, style.underline, style.strikethrough, style.link);
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    ns::TextAttributes attributes = defaults_;
    uint32_t traits = (style.bold ? kFontTraitBold : 0) | (style.italic ? kFontTraitItalic : 0);
    if (baseFont_) {
      std::shared_ptr<const Font> font = baseFont_;
      if (traits) {
        // By family, so that the face follows the traits.
        auto family = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, baseFont_->familyName()}});
        if (family) {
          auto styled = Font::withDescriptor(family->withSymbolicTraits(baseFont_->symbolicTraits() | traits),
                                             baseFont_->pointSize(), catalog_);
          if (styled) font = styled;
        }
      }
      attributes[ns::kFontAttributeName] = font;
    }
    if (style.underline) attributes[ns::kUnderlineStyleAttributeName] = 1;
    if (style.strikethrough) attributes[ns::kStrikethroughStyleAttributeName] = 1;
    if (!style.link.empty()) attributes[ns::kLinkAttributeName] = style.link;
    cache_.emplace(key, attributes);
    return attributes;
  }

  const ns::TextAttributes& defaults_;
  const FontCatalog& catalog_;
  std::shared_ptr<const Font> baseFont_;
  std::u16string text_;
  std::vector<ns::AttributedString::Run> runs_;
  bool atLineStart_ = true;
  bool pendingSpace_ = false;
  bool endsWithBlockEdge_ = false;
  Style pendingSpaceStyle_;
  std::map<std::tuple<bool, bool, bool, bool, std::string>, ns::TextAttributes> cache_;
};

std::string attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value) return {};
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

void walk(xmlNode* first, Style style, TextBuilder& out, int depth) {
  for (xmlNode* node = first; node; node = node->next) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content) out.text(reinterpret_cast<const char*>(node->content), style);
      continue;
    }
    if (node->type != XML_ELEMENT_NODE || !node->name) continue;
    std::string_view name(reinterpret_cast<const char*>(node->name));
    if (isDropped(name)) continue;
    if (name == "br") {
      out.lineBreak(style);
      continue;
    }
    Style inner = style;
    if (isOneOf(name, {"b", "strong", "th", "h1", "h2", "h3", "h4", "h5", "h6"})) inner.bold = true;
    if (isOneOf(name, {"i", "em", "cite", "var", "dfn"})) inner.italic = true;
    if (isOneOf(name, {"u", "ins"})) inner.underline = true;
    if (isOneOf(name, {"s", "strike", "del"})) inner.strikethrough = true;
    if (name == "pre") inner.preformatted = true;
    if (name == "a") {
      std::string href = attribute(node, "href");
      if (!href.empty()) inner.link = href;
    }
    bool block = isBlock(name);
    if (block) out.blockEdge(style);
    if (name == "li") out.text("\xE2\x80\xA2\xC2\xA0", style);  // "• "
    if (name == "td" || name == "th") out.text(" ", style);
    if (depth < kMaxDepth) walk(node->children, inner, out, depth + 1);
    if (block) out.blockEdge(style);
  }
}

}  // namespace

std::optional<ns::AttributedString> HTMLReader::read(const ns::Data& document,
                                                     const ns::TextAttributes& defaultAttributes,
                                                     ns::Error* error) const {
  static std::once_flag initialized;
  std::call_once(initialized, [] { xmlInitParser(); });
  std::string utf8 = utf8Document(document);
  // No network, no messages on standard error, and whatever the markup, a tree.
  int options = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER;
  std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
      htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options), xmlFreeDoc);
  if (!doc) {
    ns::setError(error, ns::Error::withDescription(
                            ns::kCocoaErrorDomain, kFileReadCorruptFileError,
                            "The file couldn\u2019t be opened because it isn\u2019t in the correct format."));
    return std::nullopt;
  }
  TextBuilder out(defaultAttributes, catalog_);
  walk(xmlDocGetRootElement(doc.get()), Style{}, out, 0);
  return out.result();
}

bool HTMLReader::looksLikeHTML(std::string_view data) {
  if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);
  size_t start = data.find_first_not_of(" \t\r\n\f");
  if (start == std::string_view::npos) return false;
  std::string head;
  for (char c : data.substr(start, 14)) head.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return head.starts_with("<!doctype html") || head.starts_with("<html");
}

}  // namespace ui
