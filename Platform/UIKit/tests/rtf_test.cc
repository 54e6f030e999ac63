#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "Platform/UIKit/AttributedStringDocument.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/RTFReader.h"
#include "Platform/UIKit/RTFWriter.h"
#include "Platform/UIKit/TextAttachment.h"
#include "Platform/UIKit/tests/test_support.h"

namespace ui {
namespace {

using ui::testing::commandOutput;
using ui::testing::fixturePath;
using ui::testing::TempDir;

std::shared_ptr<const Font> noteFont(uint32_t traits, double size,
                                     const std::string& family = kDefaultNoteFontFamily) {
  auto descriptor = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, family}});
  return Font::withDescriptor(descriptor->withSymbolicTraits(traits), size);
}

ns::AttributedString piece(const std::string& text, ns::TextAttributes attributes) {
  return ns::AttributedString(text, attributes);
}

// Each run as "[text]" and its formatting: b, i, u<style>, s<size>, c<rrggbb>.
std::string formatting(const ns::AttributedString& text) {
  std::string out;
  text.enumerateAttributes(ns::Range{0, text.length()}, 0,
                           [&](const ns::TextAttributes& attributes, ns::Range range, bool*) {
    out += "[" + text.attributedSubstring(range).string() + "]";
    if (auto it = attributes.find(ns::kFontAttributeName); it != attributes.end()) {
      auto font = it->second.as<Font>();
      if (font->isBold()) out += "b";
      if (font->isItalic()) out += "i";
      if (font->pointSize() != 12) {
        std::ostringstream size;
        size << font->pointSize();
        out += "s" + size.str();
      }
    } else {
      out += "nofont";
    }
    if (auto it = attributes.find(ns::kUnderlineStyleAttributeName); it != attributes.end())
      out += "u" + std::to_string(it->second.integerValue());
    if (auto it = attributes.find(ns::kForegroundColorAttributeName); it != attributes.end()) {
      auto c = it->second.as<Color>();
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02x%02x%02x", int(std::lround(c->redComponent() * 255)),
                    int(std::lround(c->greenComponent() * 255)),
                    int(std::lround(c->blueComponent() * 255)));
      out += std::string("c") + hex;
    }
  });
  return out;
}

// A note as the editor makes it: the note font and colour, line spacing 4,
// and formatted runs.
ns::AttributedString sampleNote() {
  auto style = std::make_shared<ParagraphStyle>();
  style->setLineSpacing(4.0);
  ns::TextAttributes base{{ns::kFontAttributeName, noteFont(0, 17)},
                          {ns::kForegroundColorAttributeName, Color::withWhite(0.2)},
                          {ns::kParagraphStyleAttributeName, std::shared_ptr<const ParagraphStyle>(style)}};
  auto with = [&](ns::TextAttributes changes) {
    ns::TextAttributes attributes = base;
    for (auto& [name, value] : changes) attributes[name] = value;
    return attributes;
  };
  ns::AttributedString note("Shopping list\n", with({{ns::kFontAttributeName, noteFont(kFontTraitBold, 22)}}));
  note.append(piece("Milk, ", base));
  note.append(piece("eggs", with({{ns::kFontAttributeName, noteFont(kFontTraitItalic, 17)}})));
  note.append(piece(" and ", base));
  note.append(piece("bread", with({{ns::kFontAttributeName, noteFont(kFontTraitBold | kFontTraitItalic, 17)},
                                   {ns::kUnderlineStyleAttributeName, 1}})));
  note.append(piece("\nCaf\xC3\xA9 \xE2\x82\xAC" "5 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\t{braces} \\ back\n",
                    with({{ns::kForegroundColorAttributeName, Color::withRGBA(1, 0, 0)}})));
  note.append(piece("Small print", with({{ns::kFontAttributeName, noteFont(0, 9.5)}})));
  return note;
}

std::string rtfOf(const ns::AttributedString& text) {
  auto data = dataFromRange(text, ns::Range{0, text.length()},
                            {{kDocumentTypeDocumentAttribute, kRTFTextDocumentType}});
  EXPECT_TRUE(data);
  return std::string(data->begin(), data->end());
}

std::optional<ns::AttributedString> readRTF(std::string_view rtf, ns::Error* error = nullptr) {
  return RTFReader().read(rtf, error);
}

TEST(RTFTest, OwnDocumentsRoundTripExactly) {
  ns::AttributedString note = sampleNote();
  std::string rtf = rtfOf(note);
  for (unsigned char c : rtf) ASSERT_LT(c, 0x80) << "the document is 7-bit";
  auto read = readRTF(rtf);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->string(), note.string());
  EXPECT_EQ(formatting(*read), formatting(note));
  EXPECT_TRUE(*read == note) << read->description() << "\n----\n" << note.description();

  // A part of the text keeps the formatting of that part.
  ns::Range middle{14, 20};
  auto part = readRTF(RTFWriter().write(note, middle));
  EXPECT_TRUE(*part == note.attributedSubstring(middle));
}

TEST(RTFTest, TextWithoutAttributesGetsTheDocumentFont) {
  auto read = readRTF(rtfOf(ns::AttributedString("plain\ntext")));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->string(), "plain\ntext");
  auto font = read->attributeAtIndex(ns::kFontAttributeName, 0).as<Font>();
  ASSERT_TRUE(font);
  EXPECT_EQ(font->familyName(), kDefaultDocumentFontFamily);
  EXPECT_EQ(font->pointSize(), 12);
  EXPECT_EQ(readRTF(rtfOf(ns::AttributedString()))->length(), 0u);
}

TEST(RTFTest, OtherProgramsReadOurDocuments) {
  // unrtf's text mode writes "?" for every character outside ASCII and
  // spaces for tabs, so its note keeps to ASCII; Unicode is shown by the
  // round trip and by documents of other writers below.
  TempDir dir;
  ns::AttributedString note = sampleNote();
  note.deleteCharacters(ns::Range{35, 14});
  ASSERT_EQ(note.string(), "Shopping list\nMilk, eggs and bread\n{braces} \\ back\nSmall print");
  std::string path = dir.path() / "note.rtf";
  std::ofstream(path) << rtfOf(note);
  EXPECT_NE(commandOutput("file -b '" + path + "'").find("Rich Text Format data"), std::string::npos);

  // unrtf prints a header, a rule, then the text; paragraphs end in newlines.
  std::string plain = commandOutput("unrtf --text '" + path + "' 2>/dev/null");
  ASSERT_FALSE(plain.empty()) << "unrtf is missing (scripts/install-deps installs it)";
  size_t rule = plain.find("-----------------\n");
  ASSERT_NE(rule, std::string::npos) << plain;
  plain = plain.substr(rule + 18);
  std::string expected = note.string();
  while (!plain.empty() && plain.back() == '\n') plain.pop_back();
  EXPECT_EQ(plain, expected);
}

TEST(RTFTest, WordProcessorDocumentsKeepTextAndRuns) {
  auto load = [](const std::string& name) {
    std::ifstream in(fixturePath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  auto styles = readRTF(load("wordprocessor-styles.rtf"));
  ASSERT_TRUE(styles);
  EXPECT_EQ(formatting(*styles),
            "[Plain start ][bold words]b[ then ][italic words]i[ and ][both]bi[.\n][Underlined]u1"
            "[ and ][big text]s18[ and ][red]cff0000[.\n]");
  auto style = styles->attributeAtIndex(ns::kParagraphStyleAttributeName, 0).as<ParagraphStyle>();
  ASSERT_TRUE(style);
  EXPECT_EQ(style->paragraphSpacing(), 7.0);  // \sa140
  EXPECT_EQ(style->alignment(), TextAlignment::Left);

  auto unicode = readRTF(load("wordprocessor-unicode.rtf"));
  ASSERT_TRUE(unicode);
  EXPECT_EQ(unicode->string(),
            "Caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC" "5 \xE2\x80\x94 Stra\xC3\x9F" "e\n"
            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E and \xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9"
            "\xCE\xBA\xCE\xAC \xF0\x9F\x98\x80\n");
  EXPECT_TRUE(unicode->attributeAtIndex(ns::kFontAttributeName, 34).as<Font>()->isBold());
}

TEST(RTFTest, ControlWordsOfOtherWritersAreUnderstood) {
  struct Case {
    const char* rtf;
    const char* text;
  };
  const Case cases[] = {
      {R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80)", "caf\xC3\xA9 \xE2\x82\xAC"},
      {R"({\rtf1\ansi\ansicpg1251 \'c4\'e0})", "\xD0\x94\xD0\xB0"},
      {R"({\rtf1\ansi{\fonttbl\f0\fcharset204 X;}\f0 \'c4})", "\xD0\x94"},
      {R"({\rtf1\mac \'8e})", "\xC3\xA9"},
      {R"({\rtf1\uc2 \u233\'65\'65x\u-3913 ??})", "\xC3\xA9x\xEF\x82\xB7"},
      {R"({\rtf1 a\~b\_c\-d\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})",
       "a\xC2\xA0" "b\xE2\x80\x91" "cd\xE2\x80\x94\xE2\x80\x93\xE2\x80\xA2\xE2\x80\x98\xE2\x80\x99"
       "\xE2\x80\x9C\xE2\x80\x9D"},
      {"{\\rtf1 one\\\ntwo\\line three\\tab four}", "one\ntwo\xE2\x80\xA8three\tfour"},
      {R"({\rtf1{\*\unknown hidden}{\info{\title T}}{\stylesheet{\s0 Normal;}}shown\unknownword5 !})",
       "shown!"},
      {R"({\rtf1{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", "link"},
      {R"({\rtf1 \{braces\} and \\})", "{braces} and \\"},
      {R"({\rtf1 text} trailing garbage)", "text"},
  };
  for (const Case& c : cases) {
    auto read = readRTF(c.rtf);
    ASSERT_TRUE(read) << c.rtf;
    EXPECT_EQ(read->string(), c.text) << c.rtf;
  }
}

TEST(RTFTest, FontTablesMayNameFacesByTheirPostScriptNames) {
  // As the phone platform's own writer puts it: faces by name, an extended
  // colour table, tab stops and other words we do not need.
  const char* rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
      "\\cocoatextscaling0\\cocoaplatform1{\\fonttbl\\f0\\fnil\\fcharset0 HelveticaNeue-Bold;"
      "\\f1\\fnil\\fcharset0 HelveticaNeue;\\f2\\fnil\\fcharset0 HelveticaNeue-Italic;}\n"
      "{\\colortbl;\\red255\\green255\\blue255;\\red51\\green51\\blue51;}\n"
      "{\\*\\expandedcolortbl;;\\csgray\\c20000;}\n"
      "\\deftab720\n"
      "\\pard\\pardeftab720\\slleading80\\partightenfactor0\n\n"
      "\\f0\\b\\fs34 \\cf2 Title\\\n"
      "\\f1\\b0 body \n\\f2\\i slanted}";
  auto read = readRTF(rtf);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->string(), "Title\nbody slanted");
  auto title = read->attributeAtIndex(ns::kFontAttributeName, 0).as<Font>();
  auto body = read->attributeAtIndex(ns::kFontAttributeName, 7).as<Font>();
  auto slanted = read->attributeAtIndex(ns::kFontAttributeName, 11).as<Font>();
  EXPECT_TRUE(title->isEqual(*noteFont(kFontTraitBold, 17)));
  EXPECT_TRUE(body->isEqual(*noteFont(0, 17)));
  EXPECT_TRUE(slanted->isEqual(*noteFont(kFontTraitItalic, 17)));
  EXPECT_EQ(body->familyName(), "Helvetica Neue");
  EXPECT_TRUE(read->attributeAtIndex(ns::kForegroundColorAttributeName, 8).as<Color>()->isEqual(*Color::withWhite(0.2)));
  EXPECT_EQ(read->attributeAtIndex(ns::kParagraphStyleAttributeName, 8).as<ParagraphStyle>()->lineSpacing(), 4.0);
}

TEST(RTFTest, LongNotesRoundTrip) {
  // Many runs and paragraphs: reading and writing stay linear.
  ns::AttributedString note;
  for (int i = 0; i < 20000; ++i) {
    uint32_t traits = i % 3 == 0 ? kFontTraitBold : i % 3 == 1 ? kFontTraitItalic : 0;
    note.append(ns::AttributedString(i % 10 == 9 ? "line\n" : "word ",
                                     {{ns::kFontAttributeName, noteFont(traits, 12 + i % 5)}}));
  }
  auto read = readRTF(rtfOf(note));
  ASSERT_TRUE(read);
  EXPECT_TRUE(*read == note);
}

TEST(RTFTest, MalformedDocumentsNeverCrash) {
  ns::Error error;
  EXPECT_FALSE(readRTF("not rtf at all", &error));
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
  EXPECT_EQ(error.code(), 259);
  EXPECT_FALSE(readRTF(""));

  // Every truncation of a real document reads as a prefix of its text.
  std::string rtf = rtfOf(sampleNote());
  std::string full = sampleNote().string();
  for (size_t n = 5; n < rtf.size(); ++n) {
    auto read = readRTF(std::string_view(rtf).substr(0, n));
    ASSERT_TRUE(read) << n;
    std::u16string got = read->utf16(), all = sampleNote().utf16();
    ASSERT_LE(got.size(), all.size()) << n;
    EXPECT_EQ(got, all.substr(0, got.size())) << n;
  }

  const std::string hostile[] = {
      "{\\rtf1 before" + std::string(200000, '{') + "deep" + std::string(200000, '}') + " after}",
      "{\\rtf1 \\u-99999999999999 \\fs99999999999 \\f99 x\\cf99 y\\uc99999 \\u65 z}",
      "{\\rtf1 {\\pict\\pngblip\\bin999999 ab}}",
      "{\\rtf1 {\\pict\\pngblip zz 0 1 2}}",
      "{\\rtf1 \\'",
      "{\\rtf1 \\'4",
      "{\\rtf1 \\",
      "{\\rtf1{\\fonttbl{\\f0 unterminated",
      "{\\rtf1{\\colortbl\\red999;}\\cf1 x}",
      "{\\rtf1 }}}}}}}}}}",
      "{\\rtf1 {{\\NeXTGraphic missing.png}\\'ac}}",
      std::string("{\\rtf1 nul\0byte", 15),
  };
  for (const std::string& doc : hostile) EXPECT_NO_THROW(readRTF(doc)) << doc.substr(0, 40);
  EXPECT_EQ(readRTF(hostile[0])->string(), "before after");  // nesting that deep is skipped

  // Indents at the ends of the number range are clamped, not overflowed,
  // and what is read writes back within the same bounds.
  for (const char* doc : {"{\\rtf1\\li2147483647\\fi2147483647\\ri2147483647 wide\\par}",
                          "{\\rtf1\\li-2147483647\\fi-2147483647\\ri-2147483647 narrow\\par}"}) {
    SCOPED_TRACE(doc);
    auto read = readRTF(doc);
    ASSERT_TRUE(read);
    auto paragraph = read->attributeAtIndex(ns::kParagraphStyleAttributeName, 0).as<ParagraphStyle>();
    ASSERT_TRUE(paragraph);
    const double limit = double(1 << 24) / 20.0;
    EXPECT_EQ(std::abs(paragraph->headIndent()), limit);
    EXPECT_EQ(std::abs(paragraph->firstLineHeadIndent()), 2 * limit);
    auto again = readRTF(rtfOf(*read));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->string(), read->string());
  }

  std::mt19937 random(20240305);
  for (int round = 0; round < 300; ++round) {
    std::string doc = "{\\rtf1 ";
    size_t length = random() % 400;
    const char alphabet[] = "{}\\'*abcu0123456789- ;\n\x80\xff";
    for (size_t i = 0; i < length; ++i)
      doc += random() % 4 == 0 ? static_cast<char>(random() % 256)
                               : alphabet[random() % (sizeof alphabet - 1)];
    EXPECT_NO_THROW(readRTF(doc));
  }
}

TEST(RTFTest, AttachmentsTravelInlineAndInPackages) {
  ns::Data png = ui::testing::smallPNG();
  ns::AttributedString note("Photo: ", {{ns::kFontAttributeName, noteFont(0, 17)}});
  ns::AttributedString picture(std::u16string(1, ns::kAttachmentCharacter),
                               {{ns::kFontAttributeName, noteFont(0, 17)},
                                {ns::kAttachmentAttributeName, TextAttachment::withPNG(png)}});
  note.append(picture);
  note.append(ns::AttributedString(" and ", {{ns::kFontAttributeName, noteFont(0, 17)}}));
  note.append(picture);
  EXPECT_EQ(TextAttachment::withPNG(png)->imageSize(), std::make_pair(2, 3));

  // Inline: the picture data is in the RTF itself.
  auto inlineRead = readRTF(rtfOf(note));
  ASSERT_TRUE(inlineRead);
  EXPECT_TRUE(*inlineRead == note) << inlineRead->description();

  // Package: TXT.rtf refers to one file per attachment.
  auto package = fileWrapperFromRange(note, ns::Range{0, note.length()},
                                      {{kDocumentTypeDocumentAttribute, kRTFDTextDocumentType}});
  ASSERT_TRUE(package && package->isDirectory());
  std::vector<std::string> names;
  for (const auto& [name, file] : package->fileWrappers()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Attachment 2.png", "Attachment.png", "TXT.rtf"}));
  EXPECT_EQ(package->fileWrappers().at("Attachment.png").regularFileContents(), png);

  TempDir dir;
  ns::URL url = ns::URL::fileURLWithPath((dir.path() / "note.rtfd").string());
  ASSERT_TRUE(package->write(url.path(), ns::kFileWrapperWritingAtomic, {}));
  std::string txt = commandOutput("cat '" + url.path() + "/TXT.rtf'");
  EXPECT_NE(txt.find("\\NeXTGraphic Attachment.png"), std::string::npos);
  EXPECT_NE(commandOutput("file -b '" + url.path() + "/TXT.rtf'").find("Rich Text Format"),
            std::string::npos);

  ns::Dictionary documentAttributes;
  ns::Error error;
  auto read = attributedStringWithURL(url, {}, &documentAttributes, &error);
  ASSERT_TRUE(read) << error.description();
  EXPECT_TRUE(*read == note) << read->description();
  EXPECT_EQ(documentAttributes.find(kDocumentTypeDocumentAttribute)->stringValue(), kRTFDTextDocumentType);
}

TEST(RTFTest, DocumentsAreDetectedByTheirContents) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string contents;
    const char* type;
    const char* text;
  };
  const Case cases[] = {
      {"a.rtf", "{\\rtf1 rich}", kRTFTextDocumentType, "rich"},
      {"b.txt", "plain \xC3\xA9", kPlainTextDocumentType, "plain \xC3\xA9"},
      {"c.txt", std::string("\xFF\xFEh\0i\0", 6), kPlainTextDocumentType, "hi"},
      {"d.txt", "caf\xE9", kPlainTextDocumentType, "caf\xC3\xA9"},  // Windows-1252
  };
  for (const Case& c : cases) {
    std::string path = dir.path() / c.name;
    std::ofstream(path, std::ios::binary) << c.contents;
    ns::Dictionary attributes;
    auto read = attributedStringWithURL(ns::URL::fileURLWithPath(path), {}, &attributes);
    ASSERT_TRUE(read) << c.name;
    EXPECT_EQ(read->string(), c.text) << c.name;
    EXPECT_EQ(attributes.find(kDocumentTypeDocumentAttribute)->stringValue(), c.type) << c.name;
  }
  ns::Error error;
  EXPECT_FALSE(attributedStringWithURL(ns::URL::fileURLWithPath((dir.path() / "none.rtf").string()),
                                       {}, nullptr, &error));
  EXPECT_EQ(error.code(), 260);
  std::filesystem::create_directory(dir.path() / "empty.rtfd");
  EXPECT_FALSE(attributedStringWithURL(ns::URL::fileURLWithPath((dir.path() / "empty.rtfd").string()),
                                       {}, nullptr, &error));
  EXPECT_EQ(error.code(), 259);
}

}  // namespace
}  // namespace ui
