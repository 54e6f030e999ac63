// Flags as values and values as flags, and what the flag routines tell the
// measurement log when they refuse.
#include <gtest/gtest.h>

#include "Libraries/WireMessages/MSRPBFlagRoutines.h"
#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;
using Kind = ns::Value::NumberKind;

constexpr int32_t kName = 0, kInteger = 1, kString = 2, kDouble = 3, kBool = 4;

// Installs a sink that keeps every measurement log message while it lives.
class RecordedMeasurementLog {
 public:
  RecordedMeasurementLog() {
    MSRPBSetMeasurementLogSink([this](const MSRPBMeasurementLogMessage& message) {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    });
  }
  ~RecordedMeasurementLog() { MSRPBSetMeasurementLogSink(nullptr); }
  std::vector<MSRPBMeasurementLogMessage> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<MSRPBMeasurementLogMessage> messages_;
};

TEST(WireFlagTest, ValuesBecomeFlagsAndReadBackOrAreRefusedWithTheirType) {
  struct Case {
    const char* name;
    std::optional<ns::Value> flagName;
    std::optional<ns::Value> value;
    int32_t index;                  // where the value goes; -1: refused
    ns::Value readBack;             // MSRPBFlagValue of the flag
    Kind kind = Kind::None;         // the read value's number kind
    int64_t code = 0;               // the refusal's code
    std::optional<ns::Value> context = std::nullopt;
  };
  const ns::Value date = ns::Value(ns::Date(1700000000.0));
  const Case cases[] = {
      {"an integer reads back as the integer", ns::Value("f"), ns::Value(7), kInteger, ns::Value(7), Kind::Int},
      {"a double reads back as the double", ns::Value("f"), ns::Value(2.5), kDouble, ns::Value(2.5), Kind::Double},
      {"a float goes where doubles go", ns::Value("f"), ns::Value(2.5f), kDouble, ns::Value(2.5), Kind::Double},
      {"YES goes where integers go", ns::Value("f"), ns::Value(true), kInteger, ns::Value(1), Kind::Int},
      {"NO likewise", ns::Value("f"), ns::Value(false), kInteger, ns::Value(0), Kind::Int},
      {"a negative integer", ns::Value("f"), ns::Value(-9000000000LL), kInteger, ns::Value(-9000000000LL),
       Kind::Int},
      {"an unsigned integer keeps its bits", ns::Value("f"), ns::Value(~0ull), kInteger, ns::Value(-1), Kind::Int},
      {"a string", ns::Value("f"), ns::Value("blue"), kString, ns::Value("blue")},
      {"an empty string", ns::Value("f"), ns::Value(""), kString, ns::Value("")},
      {"a date is neither number nor string", ns::Value("f"), date, -1, {}, Kind::None, 850002, ns::Value("NSDate")},
      {"data is no value", ns::Value("f"), ns::Value(ns::Data{1}), -1, {}, Kind::None, 850002, ns::Value("NSData")},
      {"null is no value", ns::Value("f"), ns::Value(), -1, {}, Kind::None, 850002, ns::Value("NSNull")},
      {"a nil value", ns::Value("f"), std::nullopt, -1, {}, Kind::None, 850002, ns::Value()},
      {"a nil name", std::nullopt, ns::Value(7), -1, {}, Kind::None, 850000, std::nullopt},
      {"a name that is a number", ns::Value(5), ns::Value(7), -1, {}, Kind::None, 850001, ns::Value("NSNumber")},
      {"a name that is a date", date, ns::Value(7), -1, {}, Kind::None, 850001, ns::Value("NSDate")},
      {"the name is checked first", std::nullopt, std::nullopt, -1, {}, Kind::None, 850000, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordedMeasurementLog log;
    std::shared_ptr<MSRPBFlag> flag = MSRPBFlagWithNameAndValue(c.flagName, c.value);
    if (c.index < 0) {
      EXPECT_FALSE(flag);
      auto messages = log.messages();
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].level, 1);
      EXPECT_EQ(messages[0].code, c.code);
      const char* texts[] = {"Flag name must not be nil", "Flag name must be a string", "Flag value is invalid"};
      EXPECT_EQ(messages[0].text, texts[c.code - 850000]);
      EXPECT_EQ(messages[0].context.has_value(), c.context.has_value());
      if (messages[0].context && c.context) {
        EXPECT_EQ(messages[0].context->type(), c.context->type());
        EXPECT_EQ(*messages[0].context, *c.context);
      }
      continue;
    }
    ASSERT_TRUE(flag);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(MSRPBMessageGetString(flag.get(), kName), "f");
    for (int32_t index : {kInteger, kString, kDouble, kBool}) {
      EXPECT_EQ(MSRPBMessageHasField(flag.get(), index), index == c.index) << index;
    }
    // Through the wire and back, as snapshots are stored.
    auto bytes = flag->protoBuffer();
    ASSERT_TRUE(bytes);
    auto back = MSRPBFlag::initWithBuffer(*bytes);
    ASSERT_TRUE(back);
    std::optional<ns::Value> value = MSRPBFlagValue(back.get());
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type(), c.readBack.type());
    EXPECT_EQ(*value, c.readBack);
    EXPECT_EQ(value->numberKind(), c.kind);
  }
}

TEST(WireFlagTest, TheFirstSetFieldOfIntegerDoubleStringAndBoolIsTheValue) {
  struct Case {
    const char* name;
    std::function<void(MSRPBFlag*)> set;
    std::optional<ns::Value> value;
    Kind kind = Kind::None;
  };
  const Case cases[] = {
      {"integer before double",
       [](MSRPBFlag* f) {
         MSRPBMessageSetDouble(f, kDouble, 3.5);
         MSRPBMessageSetInt64(f, kInteger, 3);
       },
       ns::Value(3), Kind::Int},
      {"integer before everything",
       [](MSRPBFlag* f) {
         MSRPBMessageSetInt64(f, kInteger, 0);
         MSRPBMessageSetString(f, kString, "s");
         MSRPBMessageSetDouble(f, kDouble, 1.0);
         MSRPBMessageSetBool(f, kBool, true);
       },
       ns::Value(0), Kind::Int},
      {"double before string",
       [](MSRPBFlag* f) {
         MSRPBMessageSetString(f, kString, "s");
         MSRPBMessageSetDouble(f, kDouble, -0.5);
       },
       ns::Value(-0.5), Kind::Double},
      {"string before bool",
       [](MSRPBFlag* f) {
         MSRPBMessageSetBool(f, kBool, true);
         MSRPBMessageSetString(f, kString, "s");
       },
       ns::Value("s")},
      {"bool alone", [](MSRPBFlag* f) { MSRPBMessageSetBool(f, kBool, true); }, ns::Value(true), Kind::Bool},
      {"a string that is not UTF-8 reads as no value",
       [](MSRPBFlag* f) { MSRPBFieldSetString(&f->messageInfo()->fields[kString], (const uint8_t*)"\xff", 1); },
       std::nullopt},
      {"a name alone is no value", [](MSRPBFlag* f) { MSRPBMessageSetString(f, kName, "f"); }, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto flag = MSRPBFlag::initWithBuffer(std::nullopt);
    c.set(flag.get());
    std::optional<ns::Value> value = MSRPBFlagValue(flag.get());
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (!value) continue;
    EXPECT_EQ(value->type(), c.value->type());
    EXPECT_EQ(*value, *c.value);
    EXPECT_EQ(value->numberKind(), c.kind);
  }
  EXPECT_FALSE(MSRPBFlagValue(nullptr));
}

TEST(WireFlagTest, WithoutASinkRefusalsGoToTheSystemLog) {
  CapturedTexts capture;
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(std::nullopt, ns::Value(1)));
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(ns::Value("f"), ns::Value(ns::Date(0.0))));
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(ns::Value("f"), std::nullopt));
  EXPECT_EQ(capture.logged(), (std::vector<std::string>{"[I-ACS850000] Flag name must not be nil",
                                                        "[I-ACS850002] Flag value is invalid: NSDate",
                                                        "[I-ACS850002] Flag value is invalid: (nil)"}));
  EXPECT_EQ(capture.printed(), "");
}

}  // namespace
