#include <gtest/gtest.h>

#include <fstream>

#include "Platform/UIKit/AttributedStringDocument.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/HTMLReader.h"
#include "Platform/UIKit/tests/test_support.h"

namespace ui {
namespace {

ns::Data bytes(const std::string& s) { return ns::Data(s.begin(), s.end()); }

// Each run as "[text]" followed by its marks: b bold, i italic, u
// underline, x strikethrough, @ link.
std::string marked(const ns::AttributedString& text) {
  std::string out;
  text.enumerateAttributes(ns::Range{0, text.length()}, 0, [&](const ns::TextAttributes& a, ns::Range range, bool*) {
    out += "[" + text.attributedSubstring(range).string() + "]";
    if (auto it = a.find(ns::kFontAttributeName); it != a.end()) {
      auto font = it->second.as<Font>();
      if (font->isBold()) out += "b";
      if (font->isItalic()) out += "i";
    }
    if (a.count(ns::kUnderlineStyleAttributeName)) out += "u";
    if (a.count(ns::kStrikethroughStyleAttributeName)) out += "x";
    if (auto it = a.find(ns::kLinkAttributeName); it != a.end()) out += "@" + *it->second.value()->asString();
  });
  return out;
}

TEST(HTMLReaderTest, ReadsTextBlocksAndStylesAsABrowserShowsThem) {
  struct Case {
    const char* html;
    const char* text;
    const char* marks;  // null: not checked
  };
  const Case cases[] = {
      {"plain  text\n across\tlines", "plain text across lines", nullptr},
      {"<p>One</p><p>Two</p>", "One\nTwo", nullptr},
      {"<div>  a <div>b</div> c</div>", "a\nb\nc", nullptr},
      {"line<br>next<br><br>after", "line\nnext\n\nafter", nullptr},
      {"ends<br>", "ends\n", nullptr},
      {"a&nbsp;&amp;&lt;b&gt; &eacute;&#x263A;&#9731;", "a\u00a0&<b> \u00e9\u263a\u2603", nullptr},
      {"<ul><li>milk</li><li>eggs</li></ul>", "\u2022\u00a0milk\n\u2022\u00a0eggs", nullptr},
      {"<pre>  kept\n  as is</pre>", "  kept\n  as is", nullptr},
      {"<b>bold</b> <i>it</i> <u>un</u> <s>gone</s> <a href=\"https://example.com/\">link</a>",
       "bold it un gone link", "[bold]b[ ][it]i[ ][un]u[ ][gone]x[ ][link]@https://example.com/"},
      {"<strong><em>both</em></strong><h1>Head</h1>", "both\nHead", "[both]bi[\n][Head]b"},
      // Nothing that loads, and nothing that is not shown.
      {"<head><title>T</title><style>p{}</style><script>x()</script></head>"
       "<body>shown<img src=\"http://127.0.0.1:1/x.png\" alt=\"alt\"><iframe src=\"http://127.0.0.1:1/\">f</iframe>"
       "</body>",
       "shown", nullptr},
      // Broken markup is read as far as it goes.
      {"<p>open <b>bold <i>both</p> after", "open bold both\nafter", nullptr},
  };
  for (const Case& c : cases) {
    auto text = HTMLReader().read(bytes(c.html), {});
    ASSERT_TRUE(text) << c.html;
    EXPECT_EQ(text->string(), c.text) << c.html;
    if (c.marks) EXPECT_EQ(marked(*text), c.marks) << c.html;
  }
}

TEST(HTMLReaderTest, TakesTheDefaultAttributesAndEncodings) {
  auto font = Font::withName(kDefaultNoteFontFamily, 20);
  ns::TextAttributes defaults{{ns::kFontAttributeName, font}, {ns::kForegroundColorAttributeName, Color::red()}};
  // UTF-16 with a byte-order mark, both orders; Windows-1252 when not UTF-8.
  std::u16string html = u"<b>caf\u00e9</b> ok";
  ns::Data little{0xFF, 0xFE}, big{0xFE, 0xFF};
  for (char16_t c : html) {
    little.insert(little.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
    big.insert(big.end(), {uint8_t(c >> 8), uint8_t(c & 0xFF)});
  }
  for (const ns::Data& data : {little, big, bytes("<b>caf\xE9</b> ok"), bytes("\xEF\xBB\xBF<b>caf\xC3\xA9</b> ok")}) {
    auto text = HTMLReader().read(data, defaults);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "caf\u00e9 ok");
    EXPECT_EQ(marked(*text), "[caf\u00e9]b[ ok]");
    auto plain = text->attributeAtIndex(ns::kFontAttributeName, 5).as<Font>();
    EXPECT_EQ(plain->familyName(), font->familyName());
    EXPECT_EQ(plain->pointSize(), 20);
    EXPECT_EQ(text->attributeAtIndex(ns::kFontAttributeName, 0).as<Font>()->pointSize(), 20);
    EXPECT_EQ(text->attributeAtIndex(ns::kForegroundColorAttributeName, 0), ns::AttributeValue(Color::red()));
  }
  // Without defaults: the document font at 12 points.
  auto text = HTMLReader().read(bytes("x"), {});
  EXPECT_EQ(text->attributeAtIndex(ns::kFontAttributeName, 0).as<Font>()->pointSize(), 12);
  ns::Error error;
  EXPECT_FALSE(HTMLReader().read({}, {}, &error));
  EXPECT_EQ(error.code(), 259);
}

TEST(HTMLReaderTest, DocumentsAreDetectedByTheirStartOrTheirName) {
  struct Case {
    const char* data;
    const char* type;
  };
  const Case cases[] = {{"  <!DOCTYPE html><p>x</p>", kHTMLTextDocumentType},
                        {"\n<HTML><body>x</body></HTML>", kHTMLTextDocumentType},
                        {"<p>x</p>", kPlainTextDocumentType},  // a fragment is text
                        {"{\\rtf1 x}", kRTFTextDocumentType}};
  for (const Case& c : cases) {
    ns::Dictionary attributes;
    ASSERT_TRUE(attributedStringWithData(bytes(c.data), {}, &attributes)) << c.data;
    EXPECT_EQ(*attributes.find(kDocumentTypeDocumentAttribute)->asString(), c.type) << c.data;
  }
  testing::TempDir dir;
  std::string page = dir.path() / "page.HTM";
  std::ofstream(page) << "<p>from a file</p>";
  ns::Dictionary attributes;
  auto text = attributedStringWithURL(ns::URL::fileURLWithPath(page), {}, &attributes);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->string(), "from a file");
  EXPECT_EQ(*attributes.find(kDocumentTypeDocumentAttribute)->asString(), kHTMLTextDocumentType);
}

}  // namespace
}  // namespace ui
