#include "Platform/Foundation/StringsTable.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/PropertyList.h"

namespace ns {
namespace {

Data bytes(std::string_view s) { return Data(s.begin(), s.end()); }

TEST(StringsTable, ParsesTheTextFormat) {
  struct Case {
    const char* what;
    const char* text;
    Dictionary expected;
  } cases[] = {
      {"plain", "\"OK\" = \"OK\";\n\"Cancel\" = \"Abbrechen\";", {{"OK", "OK"}, {"Cancel", "Abbrechen"}}},
      {"comments", "/* Title */\n\"a\" = \"b\"; // trailing\n/* multi\nline */ \"c\"=\"d\";", {{"a", "b"}, {"c", "d"}}},
      {"escapes", R"("k" = "line\nnext \"q\" tab\t back\\ \U00e9 \u20AC";)",
       {{"k", "line\nnext \"q\" tab\t back\\ \u00e9 \u20ac"}}},
      {"surrogate pair", R"("e" = "\UD83D\UDE00";)", {{"e", "\U0001F600"}}},
      {"octal", R"("o" = "\101\102";)", {{"o", "AB"}}},
      {"unquoted tokens", "key_1 = value.2;", {{"key_1", "value.2"}}},
      {"key only", "\"same\";", {{"same", "same"}}},
      {"braces", "{ \"a\" = \"1\"; }", {{"a", "1"}}},
      {"empty", "  \n// nothing\n", {}},
      {"utf8 text", "\"Note\" = \"Notiz \u00fc\";", {{"Note", "Notiz \u00fc"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = parseStringsTable(bytes(c.text));
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, c.expected);
  }
}

TEST(StringsTable, RejectsMalformedText) {
  for (const char* bad : {"\"a\" = \"b\"", "\"a\" = ;", "\"a\" \"b\";", "\"unterminated = \"x\";", "/* open",
                          "{ \"a\" = \"b\";", "\"a\" = \"\\UD83D\";", "= \"b\";"}) {
    SCOPED_TRACE(bad);
    Error error;
    EXPECT_FALSE(parseStringsTable(bytes(bad), &error).has_value());
    EXPECT_EQ(error.domain(), kCocoaErrorDomain);
  }
}

TEST(StringsTable, ReadsUtf16AndPropertyLists) {
  // UTF-16LE with a byte-order mark, as tables are often saved.
  std::u16string text = u"\"Done\" = \"Fertig \u00e4\";";
  Data utf16{0xFF, 0xFE};
  for (char16_t u : text) {
    utf16.push_back(static_cast<uint8_t>(u & 0xFF));
    utf16.push_back(static_cast<uint8_t>(u >> 8));
  }
  EXPECT_EQ(parseStringsTable(utf16), (Dictionary{{"Done", "Fertig \u00e4"}}));

  Dictionary strings{{"A", "Alpha"}, {"B", "Beta"}};
  for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
    auto data = dataFromPropertyList(Value(strings), format, nullptr);
    ASSERT_TRUE(data);
    EXPECT_EQ(parseStringsTable(*data), strings);
  }
  auto array = dataFromPropertyList(Value(Array{Value("x")}), PropertyListFormat::XML, nullptr);
  EXPECT_FALSE(parseStringsTable(*array).has_value());
}

}  // namespace
}  // namespace ns
