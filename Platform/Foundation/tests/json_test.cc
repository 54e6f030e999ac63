#include "Platform/Foundation/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace ns {
namespace {

using ns::testing::runCommand;
using ns::testing::TempDir;
using ns::testing::writeText;

std::string compact(const Value& v, JsonWritingOptions options = {}) {
  Error error;
  auto text = jsonStringFromObject(v, &error, options);
  EXPECT_TRUE(text) << error.description();
  return text.value_or("<error>");
}

TEST(JsonTest, ReadingAndWritingBackGivesTheSameText) {
  // Texts already in the writer's canonical form.
  const char* texts[] = {
      R"({"zeta":1,"alpha":[true,false,null],"mid":{"y":"x","b":{}}})",
      R"([1,-2,1.5,-0.25,3.0,1e+100,9223372036854775807,-9223372036854775808,18446744073709551615])",
      R"(["caf\u00e9 \/ \"q\" \\ \n\t\r\b\f \u0001",[]])",
      R"(["é😀"])",
  };
  for (const char* text : texts) {
    Error error;
    auto value = jsonObjectFromString(text, &error);
    ASSERT_TRUE(value) << text << ": " << error.description();
    auto back = jsonStringFromObject(*value, &error);
    ASSERT_TRUE(back) << text;
    // \u00e9 and \u0001 come back as the platform writes them: raw UTF-8 and \u0001.
    std::string expected = text;
    if (auto at = expected.find("\\u00e9"); at != std::string::npos) expected.replace(at, 6, "\xC3\xA9");
    EXPECT_EQ(*back, expected);
  }
}

TEST(JsonTest, NumbersKeepTheirKind) {
  auto value = jsonObjectFromString("[1, 1.0, 1e2, -0, 18446744073709551615, 0.1]", nullptr);
  ASSERT_TRUE(value);
  const Array& a = *value->asArray();
  EXPECT_TRUE(a[0].isInteger());
  EXPECT_TRUE(a[1].isReal());
  EXPECT_TRUE(a[2].isReal());
  EXPECT_EQ(a[2].doubleValue(), 100.0);
  EXPECT_TRUE(a[3].isInteger());
  EXPECT_TRUE(a[4].isUnsigned());
  EXPECT_EQ(a[4].unsignedValue(), 18446744073709551615ull);
  EXPECT_EQ(compact(Value(Array{Value(0.1f), Value(0.1), Value(2.0f)})), "[0.1,0.1,2.0]");
}

TEST(JsonTest, WritingOptions) {
  Value value(Dictionary{
      {"b", Value(Array{Value(1), Value(Dictionary{{"z", Value(1)}, {"y", Value("a/b")}})})},
      {"a", Value(Dictionary{})},
      {"c", Value(Array{})},
  });
  EXPECT_EQ(compact(value), R"({"b":[1,{"z":1,"y":"a\/b"}],"a":{},"c":[]})");
  EXPECT_EQ(compact(value, {.sortedKeys = true}), R"({"a":{},"b":[1,{"y":"a\/b","z":1}],"c":[]})");
  EXPECT_EQ(compact(value, {.withoutEscapingSlashes = true}), R"({"b":[1,{"z":1,"y":"a/b"}],"a":{},"c":[]})");
  EXPECT_EQ(compact(value, {.prettyPrinted = true, .sortedKeys = true}),
            "{\n"
            "  \"a\" : {},\n"
            "  \"b\" : [\n"
            "    1,\n"
            "    {\n"
            "      \"y\" : \"a\\/b\",\n"
            "      \"z\" : 1\n"
            "    }\n"
            "  ],\n"
            "  \"c\" : []\n"
            "}");
}

TEST(JsonTest, BadJsonIsAnErrorNeverAThrow) {
  std::vector<std::string> inputs = {
      "",
      "   ",
      "{",
      "[1,]",
      "{'a':1}",
      "{\"a\" 1}",
      "[1] trailing",
      "[\"\xFF\"]",
      "[NaN]",
      "[01]",
      "\"unterminated",
      std::string(100000, '['),
      "42",  // a fragment, not allowed by default
      "\"text\"",
  };
  for (const auto& input : inputs) {
    Error error;
    EXPECT_FALSE(jsonObjectFromString(input, &error)) << input.substr(0, 40);
    EXPECT_EQ(error.domain(), kCocoaErrorDomain);
    EXPECT_EQ(error.code(), kJsonReadCorruptError);
    EXPECT_TRUE(error.userInfo().contains("NSDebugDescription"));
  }
  auto fragment = jsonObjectFromString(" 42 ", nullptr, {.fragmentsAllowed = true});
  ASSERT_TRUE(fragment);
  EXPECT_EQ(*fragment, Value(42));
  EXPECT_TRUE(jsonObjectFromString("null", nullptr, {.fragmentsAllowed = true})->isNull());
}

TEST(JsonTest, ValuesWithoutAJsonFormAreWriteErrors) {
  struct Case {
    const char* name;
    Value value;
  };
  std::vector<Case> cases = {
      {"data", Value(Array{Value(Data{1})})},
      {"date", Value(Dictionary{{"d", Value(Date(1))}})},
      {"nan", Value(Array{Value(std::nan(""))})},
      {"infinity", Value(Array{Value(std::numeric_limits<double>::infinity())})},
      {"invalid UTF-8", Value(Array{Value(std::string("\xC3"))})},
      {"invalid UTF-8 key", Value(Dictionary{{"\xED\xA0\x80", Value(1)}})},
      {"top-level string", Value("text")},
      {"top-level null", Value()},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(dataFromJsonObject(c.value, &error)) << c.name;
    EXPECT_EQ(error.code(), kJsonWriteInvalidError) << c.name;
    EXPECT_FALSE(isValidJsonObject(c.value)) << c.name;
  }
  EXPECT_EQ(*jsonStringFromObject(Value("a"), nullptr, {.fragmentsAllowed = true}), "\"a\"");
  EXPECT_TRUE(isValidJsonObject(Value(Array{Value(), Value(1), Value("x")})));
}

TEST(JsonTest, PythonReadsWhatWeWriteInOrder) {
  TempDir dir;
  Value value(Dictionary{
      {"url", Value("https://example.invalid/a")},
      {"text", Value("line\n\"quoted\" caf\xC3\xA9 \xF0\x9F\x98\x80 \x01")},
      {"numbers", Value(Array{Value(-1), Value(2.5), Value(true), Value()})},
  });
  for (bool pretty : {false, true}) {
    auto text = jsonStringFromObject(value, nullptr, {.prettyPrinted = pretty});
    ASSERT_TRUE(text);
    writeText(dir.file("in.json"), *text);
    int status = 0;
    std::string out = runCommand(
        "python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1]))))' '" + dir.file("in.json") +
            "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out,
              "{\"url\": \"https://example.invalid/a\", "
              "\"text\": \"line\\n\\\"quoted\\\" caf\\u00e9 \\ud83d\\ude00 \\u0001\", "
              "\"numbers\": [-1, 2.5, true, null]}\n");
  }
}

}  // namespace
}  // namespace ns
