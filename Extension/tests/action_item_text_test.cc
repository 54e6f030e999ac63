#include "Extension/ActionItemText.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/AttributedStringDocument.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace {

namespace fs = std::filesystem;

std::shared_ptr<const ui::Font> font(const std::string& family, double size, uint32_t traits = 0) {
  auto descriptor = ui::FontDescriptor::withFontAttributes({{ui::kFontFamilyAttribute, family}});
  return ui::Font::withDescriptor(descriptor->withSymbolicTraits(traits), size);
}

std::shared_ptr<const ui::ParagraphStyle> lineSpacing(double spacing) {
  auto style = std::make_shared<ui::ParagraphStyle>();
  style->setLineSpacing(spacing);
  return style;
}

class ActionItemTextTest : public ::testing::Test {
 protected:
  // The note attributes: family, size, colour and line spacing of a note.
  const ns::TextAttributes note_{{ns::kFontAttributeName, font("Helvetica Neue", 21)},
                                 {ns::kForegroundColorAttributeName, ui::Color::withWhite(0.2)},
                                 {ns::kParagraphStyleAttributeName, lineSpacing(4)}};

  static std::shared_ptr<const ui::Font> fontAt(const ns::AttributedString& text, size_t index) {
    return text.attributeAtIndex(ns::kFontAttributeName, index).as<ui::Font>();
  }
  static ns::AttributeValue at(const ns::AttributedString& text, const char* name, size_t index) {
    return text.attributeAtIndex(name, index);
  }
  std::string file(const std::string& name, const std::string& contents) {
    std::string path = device_.path(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }
  static ns::URL fileURL(const std::string& path) { return ns::URL::fileURLWithPath(path); }

  ns::testing::TemporaryDevice device_;
};

TEST_F(ActionItemTextTest, OnlyTheFourExactMarkersMakeAStringHTML) {
  struct Case {
    const char* text;
    bool html;
  };
  const Case cases[] = {{"<div>x</div>", true},        {"a<P>b", true},
                        {"line<BR>break", true},        {"a&NBSP;b", true},
                        {"<b>bold</b> and <i>it</i>", false}, {"self-closing<br/>", false},
                        {"<p class=\"x\">attributes</p>", false}, {"&nbsp", false},
                        {"plain text", false},          {"", false}};
  for (const Case& c : cases) EXPECT_EQ(ActionItemText::looksLikeHTML(c.text), c.html) << c.text;
}

TEST_F(ActionItemTextTest, EachKindOfItemBecomesNoteText) {
  auto serif = "DejaVu Serif";
  auto red = ui::Color::red();
  auto wide = lineSpacing(12);
  // Rich text: the note font's family and size, each run's traits, its own
  // colours and paragraphs.
  ns::AttributedString shared("Plain ", {{ns::kFontAttributeName, font(serif, 9)}, {ns::kParagraphStyleAttributeName, wide}});
  shared.append(ns::AttributedString("Bold ", {{ns::kFontAttributeName, font(serif, 9, ui::kFontTraitBold)},
                                               {ns::kForegroundColorAttributeName, red}}));
  shared.append(ns::AttributedString("Italic", {{ns::kFontAttributeName, font(serif, 30, ui::kFontTraitItalic)}}));
  ns::AttributedString rich = ActionItemText::noteText(shared, note_);
  EXPECT_EQ(rich.string(), "Plain Bold Italic");
  for (size_t i : {0, 6, 11}) {
    EXPECT_EQ(fontAt(rich, i)->familyName(), "Helvetica Neue") << i;
    EXPECT_EQ(fontAt(rich, i)->pointSize(), 21) << i;
  }
  EXPECT_FALSE(fontAt(rich, 0)->isBold());
  EXPECT_TRUE(fontAt(rich, 6)->isBold());
  EXPECT_TRUE(fontAt(rich, 11)->isItalic());
  EXPECT_EQ(at(rich, ns::kForegroundColorAttributeName, 6), ns::AttributeValue(red));
  EXPECT_TRUE(at(rich, ns::kForegroundColorAttributeName, 0).isNil());
  EXPECT_EQ(at(rich, ns::kParagraphStyleAttributeName, 0), ns::AttributeValue(wide));

  // A plain string: as given, case and tags kept, in every note attribute.
  ns::AttributedString plain = ActionItemText::noteText(std::string("Keep <b>Case</b>"), note_);
  EXPECT_EQ(plain, ns::AttributedString("Keep <b>Case</b>", note_));

  // HTML: read over the note attributes, bold kept, the note's paragraphs.
  ns::AttributedString html =
      ActionItemText::noteText(std::string("<P style=\"line-height:30px\">First <B>bold</B></P><div>Second</div>"), note_);
  EXPECT_EQ(html.string(), "First bold\nSecond");
  EXPECT_TRUE(fontAt(html, 6)->isBold());
  EXPECT_EQ(fontAt(html, 6)->pointSize(), 21);
  EXPECT_FALSE(fontAt(html, 0)->isBold());
  for (size_t i : {0, 6, 11}) {
    EXPECT_EQ(at(html, ns::kParagraphStyleAttributeName, i), note_.at(ns::kParagraphStyleAttributeName)) << i;
    EXPECT_EQ(at(html, ns::kForegroundColorAttributeName, i), note_.at(ns::kForegroundColorAttributeName)) << i;
  }

  // Anything else: its description in the note attributes.
  ns::AttributedString bytes = ActionItemText::noteText(ns::Data{1, 2}, note_);
  EXPECT_EQ(bytes, ns::AttributedString("{length = 2, bytes = 0x0102}", note_));
}

TEST_F(ActionItemTextTest, OnlySmallLocalTextFilesAreRead) {
  ns::AttributedString rtfText("Rich file", {{ns::kFontAttributeName, font("DejaVu Serif", 9, ui::kFontTraitBold)}});
  auto rtf = ui::dataFromRange(rtfText, ns::Range{0, rtfText.length()},
                               {{ui::kDocumentTypeDocumentAttribute, ui::kRTFTextDocumentType}});
  std::string rtfd = device_.path("Package.rtfd");
  ASSERT_TRUE(ui::fileWrapperFromRange(rtfText, ns::Range{0, rtfText.length()},
                                       {{ui::kDocumentTypeDocumentAttribute, ui::kRTFDTextDocumentType}})
                  ->write(rtfd, 0, {}));
  std::string fifo = device_.path("pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opened for reading it would wait for a writer
  std::string big = file("big.txt", std::string(ActionItemText::kMaxSharedFileBytes + 1, 'x'));
  std::string justRight = file("limit.txt", std::string(ActionItemText::kMaxSharedFileBytes, 'y'));
  fs::create_directory(device_.path("folder.txt"));

  struct Case {
    std::string url;
    std::string text;  // what the note says
  };
  const Case cases[] = {
      {fileURL(file("notes.TXT", "Plain file")).absoluteString(), "Plain file"},
      {fileURL(file("doc.rtf", std::string(rtf->begin(), rtf->end()))).absoluteString(), "Rich file"},
      {fileURL(file("page.html", "<p>Page <b>text</b></p>")).absoluteString(), "Page text"},
      {fileURL(rtfd).absoluteString(), "Rich file"},
      // Not read: the URL's own text.
      {fileURL(big).absoluteString(), fileURL(big).absoluteString()},
      {fileURL(file("image.png", "\x89PNG....")).absoluteString(), fileURL(device_.path("image.png")).absoluteString()},
      {fileURL(file("noextension", "text")).absoluteString(), fileURL(device_.path("noextension")).absoluteString()},
      {fileURL(fifo).absoluteString(), fileURL(fifo).absoluteString()},
      {fileURL(device_.path("folder.txt")).absoluteString(), fileURL(device_.path("folder.txt")).absoluteString()},
      {fileURL(device_.path("missing.txt")).absoluteString(), fileURL(device_.path("missing.txt")).absoluteString()},
      {"https://example.com/page.html", "https://example.com/page.html"},
      {"http://127.0.0.1:9/notes.txt", "http://127.0.0.1:9/notes.txt"},
  };
  for (const Case& c : cases) {
    ns::AttributedString text = ActionItemText::noteText(*ns::URL::withString(c.url), note_);
    EXPECT_EQ(text.string(), c.text) << c.url;
    EXPECT_EQ(fontAt(text, 0)->familyName(), "Helvetica Neue") << c.url;
    EXPECT_EQ(fontAt(text, 0)->pointSize(), 21) << c.url;
  }
  EXPECT_EQ(ActionItemText::readSharedFile(fileURL(justRight))->length(), ActionItemText::kMaxSharedFileBytes);
  // A read document keeps its traits and takes the note font's family.
  EXPECT_TRUE(fontAt(ActionItemText::noteText(fileURL(rtfd), note_), 0)->isBold());
  // A package too large in total is not read either.
  std::ofstream(fs::path(rtfd) / "padding.bin") << std::string(ActionItemText::kMaxSharedFileBytes, 'p');
  EXPECT_FALSE(ActionItemText::readSharedFile(fileURL(rtfd)));
}

}  // namespace
