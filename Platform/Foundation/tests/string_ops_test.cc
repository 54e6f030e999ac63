#include <gtest/gtest.h>

#include <random>

#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringOps.h"

namespace ns {
namespace {

TEST(TrimTest, WhitespaceAndNewlines) {
  struct Case {
    std::string in;
    std::string both;        // white space and newlines trimmed
    std::string spacesOnly;  // white space trimmed
  } cases[] = {
      {"  a b  ", "a b", "a b"},
      {"\n\t a\nb \r\n", "a\nb", "\n\t a\nb \r\n"},
      {"\xC2\xA0\xE3\x80\x80x\xE2\x80\x83", "x", "x"},  // no-break, ideographic, em space
      {"\xE2\x80\xA8x\xE2\x80\xA9\xC2\x85", "x", "\xE2\x80\xA8x\xE2\x80\xA9\xC2\x85"},
      {"\x0B\x0C" "x", "x", "\x0B\x0C" "x"},  // vertical tab and form feed are newlines
      {" \n ", "", "\n"},
      {"", "", ""},
      {"\xE2\x80\x8B" "a", "\xE2\x80\x8B" "a", "\xE2\x80\x8B" "a"},  // zero-width space is not Zs
      {" \xFF ", "\xFF", "\xFF"},  // invalid bytes stop trimming, never crash
  };
  for (const auto& c : cases) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines(c.in), c.both) << c.in;
    EXPECT_EQ(trimmingWhitespace(c.in), c.spacesOnly) << c.in;
  }
}

TEST(ComponentsTest, SplitsAndJoins) {
  using V = std::vector<std::string>;
  struct Case {
    std::string text, separator;
    V parts;
  } cases[] = {
      {"a,b,c", ",", {"a", "b", "c"}},
      {",a,,b,", ",", {"", "a", "", "b", ""}},
      {"abc", ",", {"abc"}},
      {"", ",", {""}},
      {"a--b--", "--", {"a", "b", ""}},
      {"a,b", "", {"a,b"}},
      {"x\xC3\xA9y\xC3\xA9z", "\xC3\xA9", {"x", "y", "z"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(componentsSeparatedByString(c.text, c.separator), c.parts) << c.text;
    if (!c.separator.empty()) {
      EXPECT_EQ(componentsJoinedByString(c.parts, c.separator), c.text);
    }
  }
  EXPECT_EQ(componentsSeparatedByCharacters("a b\nc", isWhitespaceOrNewline), (V{"a", "b", "c"}));
  EXPECT_EQ(componentsSeparatedByCharacters("a  b", isWhitespace), (V{"a", "", "b"}));
}

TEST(AffixTest, PrefixSuffixAndReplace) {
  EXPECT_TRUE(hasPrefix("NotesToImport/x", "NotesToImport"));
  EXPECT_FALSE(hasPrefix("abc", ""));
  EXPECT_FALSE(hasSuffix("abc", ""));
  EXPECT_TRUE(hasSuffix("file.plist", ".plist"));
  EXPECT_FALSE(hasSuffix("st", "list"));
  EXPECT_EQ(replacingOccurrences("a-b-c", "-", ""), "abc");
  EXPECT_EQ(replacingOccurrences("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replacingOccurrences("abc", "", "x"), "abc");
  EXPECT_EQ(replacingOccurrences("a\\b\\c", "\\", "/"), "a/b/c");
}

TEST(CaseTest, MappingsUseFullUnicodeRules) {
  struct Case {
    std::string in, lower, upper, capitalized;
  } cases[] = {
      {"Hello World", "hello world", "HELLO WORLD", "Hello World"},
      {"hELLO-wORLD x", "hello-world x", "HELLO-WORLD X", "Hello-world X"},
      {"stra\xC3\x9F" "e", "stra\xC3\x9F" "e", "STRASSE", "Stra\xC3\x9F" "e"},
      {"\xC3\x89T\xC3\x89 \xC3\xA0", "\xC3\xA9t\xC3\xA9 \xC3\xA0", "\xC3\x89T\xC3\x89 \xC3\x80",
       "\xC3\x89t\xC3\xA9 \xC3\x80"},
      {"one\ntwo\tthree", "one\ntwo\tthree", "ONE\nTWO\tTHREE", "One\nTwo\tThree"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lowercaseString(c.in), c.lower) << c.in;
    EXPECT_EQ(uppercaseString(c.in), c.upper) << c.in;
    EXPECT_EQ(capitalizedString(c.in), c.capitalized) << c.in;
  }
  // The locale matters for the Turkish i.
  EXPECT_EQ(uppercaseString("i", "tr_TR"), "\xC4\xB0");
  EXPECT_EQ(lowercaseString("I", "tr_TR"), "\xC4\xB1");
  EXPECT_EQ(uppercaseString("i"), "I");
}

// The UTF-16 forms keep a lone surrogate, where UTF-8 has none to keep.
TEST(Utf16FormsTest, KeepLoneSurrogates) {
  std::u16string lone = u" \xD83Dx\n";
  EXPECT_EQ(trimmingWhitespaceAndNewlines(std::u16string_view(lone)), u"\xD83Dx");
  EXPECT_EQ(uppercaseString(std::u16string_view(lone)), u" \xD83DX\n");
  EXPECT_EQ(lowercaseString(std::u16string_view(u"I\xDE00"), "tr_TR"), u"\u0131\xDE00");
  EXPECT_EQ(componentsSeparatedByString(std::u16string_view(u"a\xD83D" u"b\xD83D"), std::u16string_view(u"\xD83D")),
            (std::vector<std::u16string>{u"a", u"b", u""}));
}

// Splitting finds separators in one pass, as the search at every position
// did: random texts over two letters, and a separator that nearly matches
// everywhere in a long text.
TEST(Utf16FormsTest, SplittingAgreesWithSearchingAtEveryPosition) {
  std::mt19937 random(74);
  auto draw = [&](size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += "ab"[random() % 2];
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text = draw(random() % 40);
    std::string separator = draw(1 + random() % 4);
    std::vector<std::string> expected;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + separator.size()) {
      expected.push_back(text.substr(from, at - from));
    }
    expected.push_back(text.substr(from));
    EXPECT_EQ(componentsSeparatedByString(text, separator), expected) << text << " / " << separator;
    std::vector<std::u16string> wide;
    for (const std::string& piece : expected) wide.emplace_back(piece.begin(), piece.end());
    EXPECT_EQ(componentsSeparatedByString(std::u16string_view(std::u16string(text.begin(), text.end())),
                                          std::u16string_view(std::u16string(separator.begin(), separator.end()))),
              wide);
  }
  std::string text(1048576, 'a');
  std::string separator(524287, 'a');
  separator += 'b';
  EXPECT_EQ(componentsSeparatedByString(text, separator), (std::vector<std::string>{text}));
}

}  // namespace
}  // namespace ns
