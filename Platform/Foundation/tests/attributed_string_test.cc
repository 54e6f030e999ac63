#include "Platform/Foundation/AttributedString.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/Error.h"

namespace ns {
namespace {

// An attribute object compared by its contents, as fonts and colours are.
class Tag : public AttributeObject {
 public:
  explicit Tag(std::string name) : name_(std::move(name)) {}
  bool isEqual(const AttributeObject& other) const override {
    auto* tag = dynamic_cast<const Tag*>(&other);
    return tag && tag->name_ == name_;
  }
  size_t hash() const override { return std::hash<std::string>()(name_); }
  std::string description() const override { return "Tag " + name_; }

 private:
  std::string name_;
};

AttributeValue tag(const std::string& name) { return std::make_shared<Tag>(name); }

// "value@location+length" for each run of `name`, "-" for absent values.
std::string runsOf(const AttributedString& text, const std::string& name) {
  std::string out;
  text.enumerateAttribute(name, Range{0, text.length()}, 0,
                          [&](const AttributeValue& value, Range range, bool*) {
                            if (!out.empty()) out += " ";
                            out += (value.isNil() ? std::string("-") : value.description()) + "@" +
                                   std::to_string(range.location) + "+" +
                                   std::to_string(range.length);
                          });
  return out;
}

TEST(AttributedStringTest, CountsUtf16AndKeepsUtf8) {
  AttributedString text("a\xF0\x9F\x98\x80" "b\xC3\xA9");  // a, an emoji, b, e-acute
  EXPECT_EQ(text.length(), 5u);
  EXPECT_EQ(text.string(), "a\xF0\x9F\x98\x80" "b\xC3\xA9");
  EXPECT_EQ(text.attributedSubstring(Range{3, 2}).string(), "b\xC3\xA9");
  AttributedString broken("x\xFFy");
  EXPECT_EQ(broken.string(), "x\xEF\xBF\xBDy");
}

TEST(AttributedStringTest, RunsAreEnumeratedLongestIncludingAbsent) {
  AttributedString text("0123456789");
  text.addAttribute("A", tag("x"), Range{2, 3});
  text.addAttribute("A", tag("x"), Range{5, 2});  // meets the first: one run
  text.addAttribute("B", 1, Range{4, 1});         // splits runs, not A's
  EXPECT_EQ(runsOf(text, "A"), "-@0+2 Tag x@2+5 -@7+3");
  EXPECT_EQ(runsOf(text, "B"), "-@0+4 1@4+1 -@5+5");

  Range effective;
  EXPECT_EQ(text.attributeAtIndex("A", 3, &effective), tag("x"));
  EXPECT_EQ(effective, (Range{2, 5}));
  text.attributeAtIndex("A", 3, &effective, Range{3, 2});
  EXPECT_EQ(effective, (Range{3, 2}));
  text.attributesAtIndex(4, &effective);
  EXPECT_EQ(effective, (Range{4, 1}));

  std::string reversed;
  text.enumerateAttribute("A", Range{1, 8}, kEnumerationReverse,
                          [&](const AttributeValue&, Range range, bool*) {
                            reversed += std::to_string(range.location) + " ";
                          });
  EXPECT_EQ(reversed, "7 2 1 ");
}

TEST(AttributedStringTest, EqualityIsByValue) {
  EXPECT_EQ(AttributeValue(1.5).value()->doubleValue(), 1.5);
  EXPECT_TRUE(AttributeValue(true).value()->isBool());
  EXPECT_EQ(AttributeValue(1), AttributeValue(true));  // numbers compare by value
  EXPECT_NE(AttributeValue(1), AttributeValue());
  EXPECT_NE(AttributeValue("x"), tag("x"));

  AttributedString a("hello", {{"A", tag("x")}});
  AttributedString b("hello", {{"A", tag("x")}});
  EXPECT_EQ(a, b);
  b.addAttribute("A", tag("y"), Range{1, 1});
  EXPECT_NE(a, b);
  b.addAttribute("A", tag("x"), Range{1, 1});  // back to the same runs
  EXPECT_EQ(a, b);
  b.removeAttribute("A", Range{0, 5});
  EXPECT_NE(a, b);
  EXPECT_EQ(b, AttributedString("hello"));
  EXPECT_NE(AttributedString("hello"), AttributedString("hellO"));
}

TEST(AttributedStringTest, ReplacedCharactersInheritAttributes) {
  struct Case {
    Range range;
    const char* insert;
    const char* expectedRuns;
  };
  // "ab" has A=x, "cd" has A=y.
  const Case cases[] = {
      {{1, 2}, "ZZ", "Tag x@0+3 Tag y@3+1"},  // first replaced character's
      {{2, 0}, "ZZ", "Tag x@0+4 Tag y@4+2"},  // the one before
      {{0, 0}, "ZZ", "Tag x@0+4 Tag y@4+2"},  // the one after, at the start
      {{4, 0}, "Z", "Tag x@0+2 Tag y@2+3"},   // at the end
      {{0, 4}, "", ""},
  };
  for (const Case& c : cases) {
    AttributedString text("ab", {{"A", tag("x")}});
    text.append(AttributedString("cd", {{"A", tag("y")}}));
    text.replaceCharacters(c.range, std::string_view(c.insert));
    EXPECT_EQ(runsOf(text, "A"), c.expectedRuns) << c.range.location << "+" << c.range.length;
  }

  AttributedString text("abc");
  text.replaceCharacters(Range{1, 1}, AttributedString("XY", {{"B", 2}}));
  EXPECT_EQ(text.string(), "aXYc");
  EXPECT_EQ(runsOf(text, "B"), "-@0+1 2@1+2 -@3+1");
  text.insert(text, 1);  // itself
  EXPECT_EQ(text.string(), "aaXYcXYc");
}

TEST(AttributedStringTest, BlockMayChangeTheRunItIsGiven) {
  AttributedString text("aabbcc");
  text.addAttribute("A", tag("x"), Range{2, 2});
  text.beginEditing();
  text.enumerateAttribute("A", Range{0, text.length()}, 0,
                          [&](const AttributeValue& value, Range range, bool*) {
                            text.removeAttribute("A", range);
                            if (value.isNil()) text.addAttribute("A", tag("n"), range);
                          });
  text.endEditing();
  EXPECT_EQ(runsOf(text, "A"), "Tag n@0+2 -@2+2 Tag n@4+2");
  EXPECT_FALSE(text.isEditing());
}

TEST(AttributedStringTest, TextsAreBuiltFromRuns) {
  auto text = AttributedString::withRuns(u"aabbcc", {{2, {{"A", tag("x")}}},
                                                     {2, {{"A", tag("x")}, {"N", AttributeValue()}}},
                                                     {0, {{"A", tag("y")}}},
                                                     {2, {}}});
  EXPECT_EQ(runsOf(text, "A"), "Tag x@0+4 -@4+2");
  Range effective;
  text.attributesAtIndex(0, &effective);
  EXPECT_EQ(effective, (Range{0, 4}));  // equal neighbours merged, nil values dropped
  EXPECT_THROW(AttributedString::withRuns(u"abc", {{2, {}}}), Exception);
  EXPECT_TRUE(AttributedString::withRuns(u"", {}) == AttributedString());
}

TEST(AttributedStringTest, OutOfRangeIsAProgrammingError) {
  AttributedString text("abc");
  EXPECT_THROW(text.attributesAtIndex(3), Exception);
  EXPECT_THROW(text.attributedSubstring(Range{2, 2}), Exception);
  EXPECT_THROW(text.addAttribute("A", 1, Range{4, 0}), Exception);
  EXPECT_THROW(text.replaceCharacters(Range{1, 5}, std::string_view("x")), Exception);
  EXPECT_THROW(text.addAttribute("A", AttributeValue(), Range{0, 1}), Exception);
  EXPECT_THROW(text.endEditing(), Exception);
  EXPECT_NO_THROW(text.addAttribute("A", 1, Range{3, 0}));
  AttributedString empty;
  int calls = 0;
  empty.enumerateAttribute("A", Range{0, 0}, 0, [&](auto&, Range, bool*) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace ns
