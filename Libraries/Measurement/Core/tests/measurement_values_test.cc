// The engine's values and events, and how an event becomes its upload
// message and back (the message read by protoc as a second reader).
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {
namespace {

class MeasurementValuesTest : public ::testing::Test {
 protected:
  // protoc's text of an encoded Event.
  static std::string decodedEvent(const MSRPBEvent& message) {
    std::string path = ns::FileManager::defaultManager().temporaryDirectory().path() + "/event.bin";
    ns::Data bytes = message.protoBuffer().value_or(ns::Data{});
    writeFile(path, std::string(bytes.begin(), bytes.end()));
    std::string out;
    run(std::string(MSRP_PROTOC) + " -I" + shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
            " --decode=msrpb.Event UploadMessages.proto < " + shellQuoted(path) + " 2>&1",
        &out);
    return out;
  }

  ns::testing::TemporaryDevice device_;
  MonitorRecorder monitor_;
};

TEST_F(MeasurementValuesTest, ValuesFromObjects) {
  struct Case {
    const char* name;
    ns::Value object;
    std::optional<MSRValue> value;
  } cases[] = {
      {"a string", ns::Value("pie"), MSRValue::initWithString("pie")},
      {"an integer", ns::Value(7), MSRValue::initWithInt64(7)},
      {"a bool", ns::Value(true), MSRValue::initWithInt64(1)},
      {"a whole double", ns::Value(2.0), MSRValue::initWithDouble(2.0)},
      {"a float", ns::Value(1.5f), MSRValue::initWithDouble(1.5)},
      {"data", ns::Value(ns::Data{1}), std::nullopt},
      {"null", ns::Value(), std::nullopt},
      {"an array, not allowed", ns::Value(ns::Array{ns::Dictionary{{"a", 1}}}), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor_.clear();
    EXPECT_EQ(MSRValue::valueFromObject(c.object), c.value);
    EXPECT_EQ(monitor_.codes(), c.value ? std::vector<int64_t>{} : std::vector<int64_t>{35001});
  }
  monitor_.clear();
  EXPECT_EQ(MSRValue::valueFromObject(nullptr), std::nullopt);
  EXPECT_EQ(monitor_.codes(), std::vector<int64_t>{35000});

  auto array = MSRValue::valueFromObject(ns::Value(ns::Array{ns::Dictionary{{"id", "sku"}, {"n", 2}}}), true);
  ASSERT_TRUE(array && array->isArray());
  EXPECT_EQ(array->arrayValue()->front().at("n"), MSRValue::initWithInt64(2));
  EXPECT_NE(MSRValue::initWithInt64(1), MSRValue::initWithDouble(1.0));
  EXPECT_EQ(MSRValue::initWithString("x").int64Value(), 0) << "another type reads as the neutral value";
  EXPECT_EQ(MSRValue::initWithDouble(1).stringValue(), std::nullopt);
}

TEST_F(MeasurementValuesTest, AnEventCarriesItsOriginInItsMessage) {
  auto event = MSREvent::initWithOrigin(
      "app", true, "purchase", 1700000000.25, 0,
      {{"_o", MSRValue::initWithString("spoofed")},
       {"value", MSRValue::initWithDouble(9.5)},
       {"items", MSRValue::initWithArray({{{"id", MSRValue::initWithString("sku")}, {"n", MSRValue::initWithInt64(2)}}})}});
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->parameters().at("_o"), MSRValue::initWithString("app")) << "the real origin wins";
  auto message = event->protoEvent();
  EXPECT_EQ(decodedEvent(*message),
            "params {\n  name: \"_o\"\n  string_value: \"app\"\n}\n"
            "params {\n  name: \"items\"\n  param_value {\n    param_value {\n      name: \"id\"\n"
            "      string_value: \"sku\"\n    }\n    param_value {\n      name: \"n\"\n      int_value: 2\n    }\n  }\n}\n"
            "params {\n  name: \"value\"\n  double_value: 9.5\n}\n"
            "name: \"purchase\"\ntimestamp_millis: 1700000000250\n")
      << "no previous timestamp when it is 0";

  auto back = MSREvent::initWithEventProto(*message);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->origin(), "app");
  EXPECT_EQ(back->name(), "purchase");
  EXPECT_EQ(back->timestamp(), 1700000000.25);
  EXPECT_EQ(back->previousTimestamp(), 0);
  EXPECT_EQ(back->parameters(), (MSRValueMap{{"_o", MSRValue::initWithString("app")},
                                             {"value", MSRValue::initWithDouble(9.5)}}))
      << "array parameters do not come back";
  EXPECT_TRUE(monitor_.contains(15002));

  // Without "_o" the message is no event.
  MSRPBMessageSetArray(message.get(), 0, MSRPBArray{});
  EXPECT_EQ(MSREvent::initWithEventProto(*message), nullptr);
  EXPECT_EQ(MSREvent::initWithOrigin("", false, "e", 1, 0, {}), nullptr);
  EXPECT_EQ(MSREvent::initWithOrigin("app", false, "", 1, 0, {}), nullptr);
}

TEST_F(MeasurementValuesTest, ReservedPrefixesAndUserAttributes) {
  struct Case {
    const char* name;
    bool reserved;
  } cases[] = {{"dozaveve_x", true}, {"zorori_", true}, {"za_y", true},    {"Za_y", false},
               {"za", false},        {"xza_y", false},  {"_ltv_USD", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(MSRDataTypeValidator::hasReservedPrefixes(c.name), c.reserved) << c.name;

  auto attribute = MSRUserAttribute::initWithOrigin("app", "favorite_food", MSRValue::initWithString("pie"), 5.0);
  ASSERT_NE(attribute, nullptr);
  EXPECT_TRUE(attribute->isPublic());
  EXPECT_FALSE(MSRUserAttribute::initWithOrigin("app", "_fot", MSRValue::initWithInt64(1), 0)->isPublic());
  EXPECT_EQ(MSRUserAttribute::initWithOrigin("app", "", MSRValue::initWithInt64(1), 0), nullptr);
  EXPECT_EQ(MSRUserAttribute::initWithOrigin("app", "list", MSRValue::initWithArray({}), 0), nullptr);
}

}  // namespace
}  // namespace msr_testing
