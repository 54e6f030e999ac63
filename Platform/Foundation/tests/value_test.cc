#include <gtest/gtest.h>

#include "Platform/Foundation/Value.h"

namespace ns {
namespace {

TEST(DictionaryTest, KeepsInsertionOrderAndReplacesInPlace) {
  Dictionary d;
  d.set("b", 1);
  d.set("a", 2);
  d.set("c", 3);
  d.set("a", 4);
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(d.find("a")->integerValue(), 4);
  EXPECT_TRUE(d.remove("b"));
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(d.find("c")->integerValue(), 3);
  EXPECT_EQ(d.find("b"), nullptr);
}

// Small maps are searched in order and large ones through an index; a map
// that grows past the small size and shrinks back answers the same all along.
TEST(DictionaryTest, GrowingAndShrinkingAcrossTheIndexedSize) {
  Dictionary d;
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) {
    keys.push_back("key number " + std::to_string(i));
    d.set(keys.back(), i);
    d.set(keys.front(), -i);  // replaced in place, never added again
    ASSERT_EQ(d.size(), keys.size());
    for (size_t k = 1; k < keys.size(); ++k) ASSERT_EQ(d.find(keys[k])->integerValue(), static_cast<int64_t>(k));
    ASSERT_EQ(d.find(keys.front())->integerValue(), -i);
    ASSERT_EQ(d.find("absent"), nullptr);
  }
  EXPECT_EQ(d.keys(), keys);
  Dictionary copy = d;
  for (int i = 39; i >= 1; i -= 2) {
    EXPECT_TRUE(d.remove(keys[static_cast<size_t>(i)]));
    EXPECT_FALSE(d.contains(keys[static_cast<size_t>(i)]));
    EXPECT_EQ(d.find(keys[static_cast<size_t>(i) - 1])->integerValue(), i == 1 ? -39 : i - 1);
  }
  EXPECT_EQ(d.size(), 20u);
  d["late"] = Value(7);
  EXPECT_EQ(d.keys().back(), "late");
  EXPECT_EQ(copy.size(), 40u);
  EXPECT_EQ(copy.find(keys[39])->integerValue(), 39);
  EXPECT_FALSE(copy == d);
}

TEST(ValueTest, NullIsDistinctFromAbsent) {
  Dictionary d{{"k", Value()}};
  ASSERT_NE(d.find("k"), nullptr);
  EXPECT_TRUE(d.find("k")->isNull());
  EXPECT_EQ(d.find("missing"), nullptr);
}

TEST(ValueTest, NumbersRememberTheirKind) {
  EXPECT_EQ(Value(true).numberKind(), Value::NumberKind::Bool);
  EXPECT_EQ(Value(3).numberKind(), Value::NumberKind::Int);
  EXPECT_EQ(Value(3.0f).numberKind(), Value::NumberKind::Float);
  EXPECT_EQ(Value(3.0).numberKind(), Value::NumberKind::Double);
  EXPECT_EQ(Value(uint64_t(18446744073709551615ull)).unsignedValue(), 18446744073709551615ull);
  EXPECT_EQ(Value(1), Value(1.0));
  EXPECT_EQ(Value(true), Value(1));
  EXPECT_FALSE(Value(uint64_t(18446744073709551615ull)) == Value(-1));
}

TEST(ValueTest, DeepCopyAndEquality) {
  Value v(Dictionary{{"list", Value(Array{Value(1), Value("two"), Value(Data{1, 2})})}});
  Value copy = v;
  copy.asDictionary()->find("list")->asArray()->push_back(Value(3));
  EXPECT_FALSE(v == copy);
  EXPECT_EQ(v.find("list")->asArray()->size(), 3u);
  // Dictionary equality ignores order.
  EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", 2}}), Value(Dictionary{{"b", 2}, {"a", 1}}));
}

struct StringNumberCase {
  const char* text;
  int64_t integer;
  double real;
  bool boolean;
};

TEST(ValueTest, StringToNumberRules) {
  const StringNumberCase cases[] = {
      {"42", 42, 42, true},
      {"  -17abc", -17, -17, true},
      {"abc", 0, 0, false},
      {"", 0, 0, false},
      {"+3.75", 3, 3.75, true},
      {"99999999999999999999", INT64_MAX, 1e20, true},
      {"-99999999999999999999", INT64_MIN, -1e20, true},
      {"YES", 0, 0, true},
      {"yes", 0, 0, true},
      {"true", 0, 0, true},
      {"NO", 0, 0, false},
      {"0", 0, 0, false},
      {"007", 7, 7, true},
      {" t", 0, 0, true},
  };
  for (const auto& c : cases) {
    Value v(c.text);
    EXPECT_EQ(v.integerValue(), c.integer) << c.text;
    EXPECT_DOUBLE_EQ(v.doubleValue(), c.real) << c.text;
    EXPECT_EQ(v.boolValue(), c.boolean) << c.text;
  }
}

}  // namespace
}  // namespace ns
