#include "Platform/UIKit/RTFReader.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace ui {

namespace {

constexpr size_t kMaxDepth = 512;  // deeper groups are skipped whole
constexpr int kFileReadCorruptFileError = 259;
// Indents in twips: far wider than any page, and small enough that the
// first line's indent (left plus first) and the points written back stay
// within an int.
constexpr int kMaxIndent = 1 << 24;

enum class Destination { Text, Skip, FontTable, ColorTable, Picture, NeXTGraphic };

struct CharFormat {
  int font = -1;  // -1: the document's default font
  int halfPoints = 24;
  bool bold = false, italic = false, strike = false;
  int underline = 0;
  int color = 0;
  bool operator==(const CharFormat&) const = default;
};

struct ParagraphFormat {
  TextAlignment alignment = TextAlignment::Natural;
  int leftIndent = 0, firstIndent = 0, rightIndent = 0;  // twips
  int spaceBefore = 0, spaceAfter = 0, leading = 0;
  bool operator==(const ParagraphFormat&) const = default;
};

struct Group {
  Destination destination = Destination::Text;
  CharFormat chars;
  ParagraphFormat paragraph;
  int unicodeSkip = 1;        // \uc
  bool dropText = false;      // the placeholder beside a package attachment
  bool ignorableNext = false;  // saw \* as the group's first control
  bool first = true;          // nothing read in this group yet
};

struct FontEntry {
  std::u16string name;
  int charset = -1;
  bool complete = false;  // its ";" was read
};

struct Picture {
  std::string type;  // public.png / public.jpeg, empty for formats we do not keep
  ns::Data data;
  int nibble = -1;
};

// Code page for a \fcharset number; 0 for "the document's".
int codePageForCharset(int charset) {
  switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;
  }
}

std::u16string decode(const std::string& bytes, int codePage) {
  std::string name = codePage == 10000 ? "macintosh"
                     : codePage == 437 || codePage == 850 ? "ibm-" + std::to_string(codePage)
                                                          : "windows-" + std::to_string(codePage);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    converter = ucnv_open("windows-1252", &status);
  }
  std::u16string out;
  if (U_SUCCESS(status) && converter) {
    out.resize(bytes.size() * 2 + 2);
    int32_t n = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &status);
    out.resize(U_SUCCESS(status) ? n : 0);
  }
  if (converter) ucnv_close(converter);
  if (out.empty() && !bytes.empty())  // no converter: Latin-1 keeps every byte visible
    for (unsigned char c : bytes) out += static_cast<char16_t>(c);
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isSkippedDestination(std::string_view word) {
  static const char* const words[] = {
      "author", "bkmkend", "bkmkstart", "buptim", "colorschememapping", "comment", "company",
      "creatim", "datastore", "doccomm", "docvar", "expandedcolortbl", "filetbl", "fldinst",
      "footer", "footerf", "footerl", "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc",
      "generator", "header", "headerf", "headerl", "headerr", "info", "keywords", "latentstyles",
      "listoverridetable", "listtable", "mmathPr", "nonshppict", "object", "operator", "pgdsctbl",
      "printim", "private", "revtbl", "revtim", "rsidtbl", "stylesheet", "subject", "tc",
      "themedata", "title", "txe", "userprops", "xe", "xmlnstbl", "aftncn", "aftnsep", "aftnsepc"};
  return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return word == w; });
}

// One special character per control word; 0 when the word is not one.
char16_t specialCharacter(std::string_view word) {
  static const std::pair<const char*, char16_t> table[] = {
      {"par", u'\n'},       {"sect", u'\n'},      {"page", u'\n'},      {"row", u'\n'},
      {"line", 0x2028},     {"tab", u'\t'},       {"cell", u'\t'},      {"emdash", 0x2014},
      {"endash", 0x2013},   {"emspace", 0x2003},  {"enspace", 0x2002},  {"qmspace", 0x2005},
      {"bullet", 0x2022},   {"lquote", 0x2018},   {"rquote", 0x2019},   {"ldblquote", 0x201C},
      {"rdblquote", 0x201D}};
  for (const auto& [name, c] : table)
    if (word == name) return c;
  return 0;
}

class Parser {
 public:
  Parser(std::string_view input, const FontCatalog& catalog, const RTFReader::AttachmentLookup& lookup)
      : in_(input), catalog_(catalog), lookup_(lookup) {}

  ns::AttributedString run();

 private:
  Group& top() { return stack_.back(); }
  bool skipping() const {
    return overflow_ > 0 || stack_.empty() || stack_.back().destination == Destination::Skip;
  }

  void openGroup();
  void closeGroup();
  void controlWord(std::string_view word, bool hasParam, int param);
  void controlSymbol(char c);
  void byte(unsigned char c);       // literal text byte or \'hh
  void character(char16_t c);       // decoded text
  void flushBytes();
  void endParagraph();
  void attach(std::shared_ptr<const TextAttachment> attachment);
  int currentCodePage() const;
  std::shared_ptr<const Font> fontFor(const CharFormat& format);

  std::string_view in_;
  size_t pos_ = 0;
  const FontCatalog& catalog_;
  const RTFReader::AttachmentLookup& lookup_;

  std::vector<Group> stack_;
  size_t overflow_ = 0;  // groups past kMaxDepth
  int unicodeSkipLeft_ = 0;
  int codePage_ = 1252;
  int defaultFont_ = 0;
  std::map<int, FontEntry> fonts_;
  int fontBeingRead_ = 0;
  std::vector<std::optional<ns::AttributeValue>> colors_;  // nullopt: automatic
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colorGiven_ = false;
  Picture picture_;
  std::string graphicName_;
  std::string pendingBytes_;  // undecoded code-page bytes
  bool done_ = false;        // the document's group closed

  // Output.
  std::u16string text_;
  std::vector<std::pair<size_t, CharFormat>> runs_;  // length, format
  std::vector<std::pair<size_t, std::shared_ptr<const TextAttachment>>> attachments_;
  std::vector<std::pair<ns::Range, ParagraphFormat>> paragraphs_;
  size_t paragraphStart_ = 0;
  std::map<std::tuple<int, int, bool, bool>, std::shared_ptr<const Font>> fontCache_;
};

int Parser::currentCodePage() const {
  if (!stack_.empty()) {
    int font = stack_.back().chars.font < 0 ? defaultFont_ : stack_.back().chars.font;
    if (auto it = fonts_.find(font); it != fonts_.end())
      if (int page = codePageForCharset(it->second.charset)) return page;
  }
  return codePage_;
}

void Parser::flushBytes() {
  if (pendingBytes_.empty()) return;
  std::string bytes;
  bytes.swap(pendingBytes_);
  Group& group = top();
  if (group.destination == Destination::FontTable) {
    FontEntry& entry = fonts_[fontBeingRead_];
    int page = codePageForCharset(entry.charset);
    if (!entry.complete) entry.name += decode(bytes, page ? page : codePage_);
    return;
  }
  for (char16_t c : decode(bytes, currentCodePage())) character(c);
}

void Parser::byte(unsigned char c) {
  if (skipping()) return;
  if (unicodeSkipLeft_ > 0) {
    --unicodeSkipLeft_;
    return;
  }
  Group& group = top();
  switch (group.destination) {
    case Destination::Picture: {
      int v = hexValue(static_cast<char>(c));
      if (v < 0) return;
      if (picture_.nibble < 0) {
        picture_.nibble = v;
      } else {
        picture_.data.push_back(static_cast<uint8_t>(picture_.nibble << 4 | v));
        picture_.nibble = -1;
      }
      return;
    }
    case Destination::FontTable:
      if (c == ';') {
        flushBytes();
        fonts_[fontBeingRead_].complete = true;
        return;
      }
      pendingBytes_ += static_cast<char>(c);
      return;
    case Destination::ColorTable:
      if (c == ';') {
        if (colorGiven_)
          colors_.emplace_back(ns::AttributeValue(
              Color::withRGBA(red_ / 255.0, green_ / 255.0, blue_ / 255.0)));
        else
          colors_.emplace_back(std::nullopt);
        red_ = green_ = blue_ = 0;
        colorGiven_ = false;
      }
      return;
    case Destination::NeXTGraphic:
      graphicName_ += static_cast<char>(c);
      return;
    case Destination::Text:
      if (c < 0x20) return;  // line breaks of the file, stray controls
      pendingBytes_ += static_cast<char>(c);
      return;
    case Destination::Skip:
      return;
  }
}

void Parser::character(char16_t c) {
  if (skipping()) return;
  if (top().destination == Destination::FontTable) {
    FontEntry& entry = fonts_[fontBeingRead_];
    if (!entry.complete) entry.name += c;
    return;
  }
  if (top().destination != Destination::Text || top().dropText) return;
  const CharFormat& format = top().chars;
  if (!runs_.empty() && runs_.back().second == format)
    ++runs_.back().first;
  else
    runs_.emplace_back(1, format);
  text_ += c;
  if (c == u'\n') endParagraph();
}

void Parser::attach(std::shared_ptr<const TextAttachment> attachment) {
  if (!attachment) return;
  Group saved = top();
  top().destination = Destination::Text;
  top().dropText = false;
  attachments_.emplace_back(text_.size(), std::move(attachment));
  character(ns::kAttachmentCharacter);
  top() = saved;
}

void Parser::endParagraph() {
  const ParagraphFormat& format = top().paragraph;
  if (text_.size() > paragraphStart_ && !(format == ParagraphFormat()))
    paragraphs_.emplace_back(ns::Range{paragraphStart_, text_.size() - paragraphStart_}, format);
  paragraphStart_ = text_.size();
}

void Parser::openGroup() {
  flushBytes();
  unicodeSkipLeft_ = 0;
  if (overflow_ > 0 || stack_.size() >= kMaxDepth) {
    ++overflow_;
    return;
  }
  Group group = stack_.empty() ? Group() : top();
  // Groups inside picture data or an attachment reference are their properties.
  if (group.destination == Destination::Picture || group.destination == Destination::NeXTGraphic)
    group.destination = Destination::Skip;
  group.ignorableNext = false;
  group.first = true;
  group.dropText = false;
  stack_.push_back(group);
}

void Parser::closeGroup() {
  flushBytes();
  unicodeSkipLeft_ = 0;
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (stack_.empty()) return;
  Group closing = top();
  if (stack_.size() == 1) {  // the document's group: the end
    flushBytes();
    endParagraph();
    done_ = true;
    return;
  }
  stack_.pop_back();
  if (closing.destination == Destination::Picture && top().destination != Destination::Picture) {
    if (!picture_.type.empty() && !picture_.data.empty())
      attach(std::make_shared<const TextAttachment>(std::move(picture_.data), picture_.type));
    picture_ = Picture();
  }
  if (closing.destination == Destination::NeXTGraphic &&
      top().destination != Destination::NeXTGraphic) {
    std::string name = graphicName_;
    graphicName_.clear();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.erase(0, 1);
    if (lookup_ && !name.empty()) attach(lookup_(name));
    top().dropText = true;  // the rest of the enclosing group is its placeholder
  }
}

void Parser::controlSymbol(char c) {
  if (c == '*') {
    if (!stack_.empty()) top().ignorableNext = true;
    return;
  }
  if (c == '\'') {
    // \'hh: two hex digits, a byte in the current code page.
    int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
    int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
    if (hi < 0 || lo < 0) return;
    pos_ += 2;
    if (!skipping() && top().destination == Destination::Picture) return;
    byte(static_cast<unsigned char>(hi << 4 | lo));
    return;
  }
  if (c == '\\' || c == '{' || c == '}') {
    byte(static_cast<unsigned char>(c));
    return;
  }
  flushBytes();
  if (unicodeSkipLeft_ > 0) {
    --unicodeSkipLeft_;
    return;
  }
  switch (c) {
    case '~': character(0x00A0); break;
    case '_': character(0x2011); break;
    case '\n':
    case '\r': character(u'\n'); break;  // "\" at a line end is \par
    default: break;                     // \- optional hyphen, \: index, others
  }
}

std::shared_ptr<const Font> Parser::fontFor(const CharFormat& format) {
  int index = format.font < 0 ? defaultFont_ : format.font;
  auto key = std::make_tuple(index, format.halfPoints, format.bold, format.italic);
  if (auto it = fontCache_.find(key); it != fontCache_.end()) return it->second;
  double size = format.halfPoints > 0 ? format.halfPoints / 2.0 : 12.0;
  std::string family = kDefaultDocumentFontFamily;
  uint32_t traits = 0;
  if (auto it = fonts_.find(index); it != fonts_.end()) {
    // The table may name a family or one face of it ("HelveticaNeue-Bold").
    std::string name = ns::AttributedString(it->second.name).string();
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (auto named = catalog_.faceNamed(name)) {
      family = named->family;
      traits = named->face.symbolicTraits();
    }
  }
  if (format.bold) traits |= kFontTraitBold;
  if (format.italic) traits |= kFontTraitItalic;
  auto descriptor = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, family}});
  std::shared_ptr<const Font> font = Font::withDescriptor(descriptor->withSymbolicTraits(traits), size, catalog_);
  fontCache_[key] = font;
  return font;
}

void Parser::controlWord(std::string_view word, bool hasParam, int param) {
  flushBytes();
  if (overflow_ > 0 || stack_.empty()) return;
  Group& group = top();
  bool first = group.first;
  group.first = false;
  bool ignorable = group.ignorableNext;
  group.ignorableNext = false;
  if (group.destination == Destination::Skip) return;

  // Unicode: the character, then its fallback is skipped.
  if (word == "u" && hasParam) {
    if (unicodeSkipLeft_ > 0) {
      --unicodeSkipLeft_;
      return;
    }
    character(static_cast<char16_t>(param < 0 ? param + 65536 : param));
    unicodeSkipLeft_ = group.unicodeSkip;
    return;
  }
  if (unicodeSkipLeft_ > 0) {
    --unicodeSkipLeft_;
    return;
  }
  if (word == "uc") {
    group.unicodeSkip = std::clamp(param, 0, 16);
    return;
  }

  // Destinations.
  if (word == "fonttbl") return void(group.destination = Destination::FontTable);
  if (word == "colortbl") return void(group.destination = Destination::ColorTable);
  if (word == "pict") {
    group.destination = Destination::Picture;
    picture_ = Picture();
    return;
  }
  if (word == "NeXTGraphic") {
    group.destination = Destination::NeXTGraphic;
    graphicName_.clear();
    return;
  }
  if (word == "shppict" || word == "fldrslt" || word == "field") return;  // their text counts
  if (isSkippedDestination(word) || (ignorable && first)) {
    group.destination = Destination::Skip;
    return;
  }

  switch (group.destination) {
    case Destination::FontTable:
      if (word == "f") fontBeingRead_ = param;
      else if (word == "fcharset") fonts_[fontBeingRead_].charset = param;
      return;
    case Destination::ColorTable:
      if (word == "red") red_ = std::clamp(param, 0, 255), colorGiven_ = true;
      else if (word == "green") green_ = std::clamp(param, 0, 255), colorGiven_ = true;
      else if (word == "blue") blue_ = std::clamp(param, 0, 255), colorGiven_ = true;
      return;
    case Destination::Picture:
      if (word == "pngblip") picture_.type = kPNGFileType;
      else if (word == "jpegblip") picture_.type = kJPEGFileType;
      else if (word == "bin" && hasParam && param > 0) {  // raw bytes follow
        size_t n = std::min(static_cast<size_t>(param), in_.size() - pos_);
        picture_.data.insert(picture_.data.end(), in_.begin() + pos_, in_.begin() + pos_ + n);
        pos_ += n;
      }
      return;
    case Destination::NeXTGraphic:
    case Destination::Skip:
      return;
    case Destination::Text:
      break;
  }

  if (char16_t c = specialCharacter(word)) {
    character(c);
    return;
  }
  CharFormat& chars = group.chars;
  ParagraphFormat& paragraph = group.paragraph;
  bool on = !hasParam || param != 0;
  if (word == "bin" && hasParam && param > 0) {
    pos_ += std::min(static_cast<size_t>(param), in_.size() - pos_);
  } else if (word == "ansi") {
    codePage_ = 1252;
  } else if (word == "mac") {
    codePage_ = 10000;
  } else if (word == "pc") {
    codePage_ = 437;
  } else if (word == "pca") {
    codePage_ = 850;
  } else if (word == "ansicpg" && hasParam && param > 0) {
    codePage_ = param;
  } else if (word == "deff" && hasParam) {
    defaultFont_ = param;
  } else if (word == "plain") {
    chars = CharFormat();
  } else if (word == "f" && hasParam) {
    chars.font = param;
  } else if (word == "fs" && hasParam) {
    chars.halfPoints = param > 0 ? std::min(param, 3276) : 24;
  } else if (word == "b") {
    chars.bold = on;
  } else if (word == "i") {
    chars.italic = on;
  } else if (word == "ul" || word == "ulw" || word == "uld" || word == "uldash" ||
             word == "ulwave" || word == "uldashd" || word == "uldashdd") {
    chars.underline = on ? 1 : 0;
  } else if (word == "uldb") {
    chars.underline = on ? 9 : 0;
  } else if (word == "ulth") {
    chars.underline = on ? 2 : 0;
  } else if (word == "ulnone") {
    chars.underline = 0;
  } else if (word == "strike" || word == "striked") {
    chars.strike = on;
  } else if (word == "cf") {
    chars.color = hasParam ? param : 0;
  } else if (word == "pard") {
    paragraph = ParagraphFormat();
  } else if (word == "ql") {
    paragraph.alignment = TextAlignment::Left;
  } else if (word == "qc") {
    paragraph.alignment = TextAlignment::Center;
  } else if (word == "qr") {
    paragraph.alignment = TextAlignment::Right;
  } else if (word == "qj") {
    paragraph.alignment = TextAlignment::Justified;
  } else if (word == "li") {
    paragraph.leftIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
  } else if (word == "fi") {
    paragraph.firstIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
  } else if (word == "ri") {
    paragraph.rightIndent = std::clamp(param, -kMaxIndent, kMaxIndent);
  } else if (word == "sb") {
    paragraph.spaceBefore = std::max(param, 0);
  } else if (word == "sa") {
    paragraph.spaceAfter = std::max(param, 0);
  } else if (word == "slleading") {
    paragraph.leading = std::max(param, 0);
  }
  // Anything else is a word we do not need.
}

ns::AttributedString Parser::run() {
  while (pos_ < in_.size()) {
    char c = in_[pos_++];
    if (c == '{') {
      openGroup();
    } else if (c == '}') {
      closeGroup();
      if (done_) break;
    } else if (c == '\\') {
      if (pos_ >= in_.size()) break;
      char next = in_[pos_];
      if (std::isalpha(static_cast<unsigned char>(next))) {
        size_t start = pos_;
        while (pos_ < in_.size() && pos_ - start < 32 && std::isalpha(static_cast<unsigned char>(in_[pos_])))
          ++pos_;
        std::string_view word = in_.substr(start, pos_ - start);
        bool hasParam = false, negative = false;
        long long value = 0;
        if (pos_ + 1 == in_.size() && in_[pos_] == '-') break;  // cut off before its number
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            std::isdigit(static_cast<unsigned char>(in_[pos_ + 1]))) {
          negative = true;
          ++pos_;
        }
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
          hasParam = true;
          if (value < INT_MAX) value = value * 10 + (in_[pos_] - '0');
          ++pos_;
        }
        if (pos_ >= in_.size()) break;  // cut off: the word or its number may be incomplete
        if (in_[pos_] == ' ') ++pos_;   // the delimiter
        value = std::min<long long>(value, INT_MAX);
        int param = static_cast<int>(negative ? -value : value);
        controlWord(word, hasParam, param);
      } else {
        ++pos_;
        controlSymbol(next);
      }
    } else {
      byte(static_cast<unsigned char>(c));
    }
  }
  if (!done_ && !stack_.empty()) {  // truncated: keep what was read
    flushBytes();
    endParagraph();
  }

  // Build the text in one step: the character runs cut further at paragraph
  // and attachment boundaries.
  auto styleOf = [](const ParagraphFormat& format) {
    auto style = std::make_shared<ParagraphStyle>();
    style->setAlignment(format.alignment);
    style->setHeadIndent(format.leftIndent / 20.0);
    style->setFirstLineHeadIndent((format.leftIndent + format.firstIndent) / 20.0);
    if (format.rightIndent) style->setTailIndent(-format.rightIndent / 20.0);
    style->setParagraphSpacingBefore(format.spaceBefore / 20.0);
    style->setParagraphSpacing(format.spaceAfter / 20.0);
    style->setLineSpacing(format.leading / 20.0);
    return std::shared_ptr<const ParagraphStyle>(std::move(style));
  };
  std::vector<ns::AttributedString::Run> pieces;
  size_t runIndex = 0, runStart = 0, paragraphIndex = 0, attachmentIndex = 0;
  std::shared_ptr<const ParagraphStyle> style;
  size_t styleFor = SIZE_MAX;
  for (size_t at = 0; at < text_.size();) {
    while (runStart + runs_[runIndex].first <= at) runStart += runs_[runIndex++].first;
    const CharFormat& format = runs_[runIndex].second;
    size_t end = runStart + runs_[runIndex].first;
    ns::TextAttributes attributes;
    if (auto font = fontFor(format)) attributes[ns::kFontAttributeName] = font;
    if (format.underline) attributes[ns::kUnderlineStyleAttributeName] = format.underline;
    if (format.strike) attributes[ns::kStrikethroughStyleAttributeName] = 1;
    // \cf counts the table's entries from 0; the first is usually "automatic".
    if (format.color > 0 && static_cast<size_t>(format.color) < colors_.size())
      if (const auto& entry = colors_[static_cast<size_t>(format.color)])
        attributes[ns::kForegroundColorAttributeName] = *entry;

    while (paragraphIndex < paragraphs_.size() && paragraphs_[paragraphIndex].first.end() <= at)
      ++paragraphIndex;
    if (paragraphIndex < paragraphs_.size()) {
      ns::Range paragraph = paragraphs_[paragraphIndex].first;
      if (paragraph.location <= at) {
        if (styleFor != paragraphIndex) {
          style = styleOf(paragraphs_[paragraphIndex].second);
          styleFor = paragraphIndex;
        }
        attributes[ns::kParagraphStyleAttributeName] = style;
        end = std::min(end, paragraph.end());
      } else {
        end = std::min(end, paragraph.location);
      }
    }
    while (attachmentIndex < attachments_.size() && attachments_[attachmentIndex].first < at)
      ++attachmentIndex;
    if (attachmentIndex < attachments_.size()) {
      if (attachments_[attachmentIndex].first == at) {
        attributes[ns::kAttachmentAttributeName] = attachments_[attachmentIndex].second;
        end = at + 1;
      } else {
        end = std::min(end, attachments_[attachmentIndex].first);
      }
    }
    pieces.push_back(ns::AttributedString::Run{end - at, std::move(attributes)});
    at = end;
  }
  return ns::AttributedString::withRuns(text_, std::move(pieces));
}

}  // namespace

bool RTFReader::looksLikeRTF(std::string_view data) {
  size_t at = 0;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") at = 3;
  while (at < data.size() && std::isspace(static_cast<unsigned char>(data[at]))) ++at;
  return data.substr(at, 5) == "{\\rtf";
}

std::optional<ns::AttributedString> RTFReader::read(std::string_view document, ns::Error* error) {
  if (!looksLikeRTF(document)) {
    ns::setError(error, ns::Error::withDescription(
                            ns::kCocoaErrorDomain, kFileReadCorruptFileError,
                            "The file couldn\u2019t be opened because it isn\u2019t in the correct format."));
    return std::nullopt;
  }
  size_t start = document.find('{');
  Parser parser(document.substr(start), catalog_, lookup_);
  return parser.run();
}

}  // namespace ui
