// The engine's values and events, and how an event becomes its upload
// message and back (the message read by protoc as a second reader).
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Core/MSRLogNames.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"
#include "Platform/Runtime/Runtime.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {
namespace {

class MeasurementValuesTest : public ::testing::Test {
 protected:
  // protoc's text of an encoded message of the upload schema.
  static std::string decodedEvent(const MSRPBEvent& message) { return decoded(message, "Event"); }
  static std::string decoded(const NANOMessageBase& message, const std::string& type) {
    std::string path = ns::FileManager::defaultManager().temporaryDirectory().path() + "/event.bin";
    ns::Data bytes = message.protoBuffer().value_or(ns::Data{});
    writeFile(path, std::string(bytes.begin(), bytes.end()));
    std::string out;
    run(std::string(MSRP_PROTOC) + " -I" + shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
            " --decode=msrpb." + type + " UploadMessages.proto < " + shellQuoted(path) + " 2>&1",
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
  // A public event may not name a parameter "_o" at all; an internal one's is replaced.
  auto event = MSREvent::initWithOrigin(
      "app", false, "purchase", 1700000000.25, 0,
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

class MSRValueTest : public MeasurementValuesTest {};
class MSREventTest : public MeasurementValuesTest {};
class MSRUserAttributeTest : public MeasurementValuesTest {};
class MSREventAggregatesTest : public MeasurementValuesTest {};

TEST_F(MSRValueTest, EqualValuesHashAlike) {
  std::vector<MSRValue> values = {MSRValue::initWithInt64(1), MSRValue::initWithDouble(1.0),
                                  MSRValue::initWithDouble(0.0), MSRValue::initWithDouble(-0.0),
                                  MSRValue::initWithString("1"), MSRValue::initWithArray({})};
  for (const auto& a : values) {
    for (const auto& b : values) {
      if (a == b) EXPECT_EQ(a.hash(), b.hash()) << a.description() << " " << b.description();
    }
  }
  EXPECT_EQ(MSRValue::initWithDouble(0.0), MSRValue::initWithDouble(-0.0));
  EXPECT_NE(MSRValue::initWithInt64(1).hash(), MSRValue::initWithDouble(1.0).hash());
}

TEST_F(MSREventTest, InvalidOriginsAndNamesMakeNoEvent) {
  struct Case {
    const char* origin;
    bool isPublic;
    const char* name;
    bool made;
  } cases[] = {
      {"app", true, "level_up", true},   {"app+ztm", true, "level_up", true}, {"ap p", true, "level_up", false},
      {"+ztm", true, "level_up", false}, {"app", true, "first_open", false},  {"app", false, "_f", true},
      {"app", false, "a-b", false},      {"auto", true, "screen_view", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MSREvent::initWithOrigin(c.origin, c.isPublic, c.name, 1, 0, {}) != nullptr, c.made)
        << c.origin << " " << c.name;
  }
}

TEST_F(MSREventTest, FlagsLiveAmongTheParameters) {
  auto event = MSREvent::initWithOrigin("app", true, "shop", 1, 0, {});
  ASSERT_NE(event, nullptr);
  event->setConversion(false);
  EXPECT_EQ(event->parameters().count("_err"), 0u) << "no \"_c\" to clear";
  event->setConversion(true);
  EXPECT_TRUE(event->isConversion());
  event->setConversion(false);
  EXPECT_EQ(event->parameters().at("_err"), MSRValue::initWithInt64(10));
  event->setConversion(true);
  EXPECT_EQ(event->parameters().count("_err"), 0u) << "the conversion limit error goes again";

  auto priced = MSREvent::initWithOrigin("app", true, "shop", 1, 0,
                                         {{"value", MSRValue::initWithDouble(9.99)},
                                          {"currency", MSRValue::initWithString("US1")}});
  priced->setConversion(true);
  EXPECT_FALSE(priced->isConversion());
  EXPECT_EQ(priced->parameters().count("_c"), 0u);
  EXPECT_EQ(priced->parameters().count("value"), 0u);
  EXPECT_EQ(priced->parameters().at("_err"), MSRValue::initWithInt64(19));

  event->setRealtime(true);
  event->setDebug(true);
  EXPECT_TRUE(event->isRealtime());
  EXPECT_TRUE(event->isDebug());
  event->setDebug(false);
  EXPECT_FALSE(event->isDebug());
  auto oddRealtime = MSREvent::initWithOrigin("app", false, "_e", 1, 0, {{"_r", MSRValue::initWithString("1")}});
  monitor_.clear();
  EXPECT_FALSE(oddRealtime->isRealtime());
  EXPECT_EQ(monitor_.codes(), std::vector<int64_t>{16006});
}

TEST_F(MSREventTest, ScreenParametersAreAddedOnlyWholeAndValid) {
  using Screen = std::map<std::string, MSRValueCandidate>;
  const std::string tooLong(101, 'x');
  struct Case {
    const char* what;
    Screen screen;
    MSRValueMap own;           // the event's own parameters
    bool added;
    std::vector<int64_t> codes;  // monitor messages, the validator's first
    MSRValueMap expected;      // the screen parameters the event then holds
  } cases[] = {
      {"all three", {{"_si", ns::Value(7)}, {"_sc", ns::Value("Cart")}, {"_sn", MSRValue::initWithString("Pay")}},
       {}, true, {}, {{"_si", MSRValue::initWithInt64(7)}, {"_sc", MSRValue::initWithString("Cart")},
                      {"_sn", MSRValue::initWithString("Pay")}}},
      {"the id alone", {{"_si", MSRValue::initWithInt64(-3)}}, {}, true, {}, {{"_si", MSRValue::initWithInt64(-3)}}},
      {"empty", {}, {}, false, {}, {}},
      {"no id", {{"_sc", ns::Value("Cart")}}, {}, false, {}, {}},
      {"the event has a screen already", {{"_si", ns::Value(7)}}, {{"_sn", MSRValue::initWithString("Home")}},
       false, {}, {{"_sn", MSRValue::initWithString("Home")}}},
      {"an id that is text", {{"_si", ns::Value("7")}}, {}, false, {}, {}},
      {"a class too long", {{"_si", ns::Value(7)}, {"_sc", ns::Value(tooLong)}}, {}, false, {13000, 16003}, {}},
      {"an empty name", {{"_si", ns::Value(7)}, {"_sn", ns::Value("")}}, {}, false, {13001, 16004}, {}},
      {"a class that is a number", {{"_si", ns::Value(7)}, {"_sc", ns::Value(5)}}, {}, false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto event = MSREvent::initWithOrigin("app", false, "_vs", 1, 0, c.own);
    ASSERT_NE(event, nullptr);
    monitor_.clear();
    EXPECT_EQ(event->addScreenParameters(c.screen), c.added);
    EXPECT_EQ(monitor_.codes(), c.codes);
    MSRValueMap screen;
    for (const char* key : {"_si", "_sc", "_sn"})
      if (event->parameters().count(key)) screen.emplace(key, event->parameters().at(key));
    EXPECT_EQ(screen, c.expected);
  }
}

TEST_F(MSREventTest, TimesOutOfRangeSaturateInTheMessage) {
  struct Case {
    double timestamp;
    const char* field;  // protoc's line, or none
  } cases[] = {
      {std::nan(""), nullptr},  // 0 is not above zero: no field
      {1e300, "timestamp_millis: 9223372036854775807\n"},
      {-1e300, nullptr},
      {1.5, "timestamp_millis: 1500\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.timestamp);
    auto event = MSREvent::initWithOrigin("app", false, "_e", c.timestamp, 0, {});
    ASSERT_NE(event, nullptr);
    std::string text = decodedEvent(*event->protoEvent());
    EXPECT_EQ(text.find("timestamp_millis") != std::string::npos, c.field != nullptr) << text;
    if (c.field) EXPECT_NE(text.find(c.field), std::string::npos) << text;
  }
  // A previous time far in the future still has a field, at the largest value.
  auto event = MSREvent::initWithOrigin("app", false, "_e", 1, 1e300, {});
  EXPECT_NE(decodedEvent(*event->protoEvent()).find("previous_timestamp_millis: 9223372036854775807"),
            std::string::npos);
}

TEST_F(MSRUserAttributeTest, RulesAndMessage) {
  EXPECT_NE(MSRUserAttribute::initWithOrigin("app", "_id", MSRValue::initWithString(std::string(256, 'x')), 0), nullptr);
  EXPECT_EQ(MSRUserAttribute::initWithOrigin("app", "_fot", MSRValue::initWithString(std::string(37, 'x')), 0), nullptr);
  EXPECT_EQ(MSRUserAttribute::initWithOrigin("app", "a-b", MSRValue::initWithInt64(1), 0), nullptr);
  auto attribute = MSRUserAttribute::initWithOrigin("app", "level", MSRValue::initWithDouble(2.5), 1.2345);
  EXPECT_EQ(decoded(*attribute->protoUserAttribute(), "UserAttribute"),
            "set_timestamp_millis: 1234\nname: \"level\"\ndouble_value: 2.5\n");
  auto far = MSRUserAttribute::initWithOrigin("app", "n", MSRValue::initWithInt64(3), std::nan(""));
  EXPECT_EQ(decoded(*far->protoUserAttribute(), "UserAttribute"),
            "set_timestamp_millis: 0\nname: \"n\"\nint_value: 3\n");
}

TEST_F(MSREventAggregatesTest, TheNameFollowsTheEventNameRule) {
  EXPECT_NE(MSREventAggregates::initWithName("_e", 0, 0, 0, 1), nullptr);
  EXPECT_EQ(MSREventAggregates::initWithName("a-b", 0, 0, 0, 1), nullptr);
  EXPECT_EQ(MSREventAggregates::initWithName(std::string(41, 'a'), 0, 0, 0, 1), nullptr);
}

TEST_F(MSREventTest, AnEditingProgramSeesPublicNames) {
  using nlohmann::json;
  // Copies "n" to "count" and records the event name the program saw.
  json cb = json::parse(R"(["51", "f", ["7", "e"],
    ["2", ["15", "e"], "setParamValue", ["7", "count", ["2", ["15", "e"], "getParamValue", ["7", "n"]]]],
    ["2", ["15", "e"], "setParamValue", ["7", "seen", ["2", ["15", "e"], "getEventName", ["7"]]]],
    ["36", 0]])");
  MSRPEventEditing engine;
  ns::Error error;
  engine.loadProgram(*msrptest::editingProgram(
                         {{"activities", {{{"name", "rule"}, {"data", {{"8", "type", "edit", "cb", cb}}}}}}}),
                     error);
  ASSERT_TRUE(error.domain().empty()) << error.domain();
  auto event = MSREvent::initWithOrigin("auto", false, "_vs", 5, 0, {{"n", MSRValue::initWithInt64(3)}});
  ASSERT_TRUE(engine.handleEvent(event->editEvent(), error)) << error.domain();
  auto back = MSREvent::eventFromEditEvent(engine.eventContext().outputEvent());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->name(), "_vs");
  EXPECT_EQ(back->origin(), "auto");
  EXPECT_EQ(back->timestamp(), 5);
  EXPECT_EQ(back->parameters().at("count"), MSRValue::initWithDouble(3)) << "the program's numbers are doubles";
  EXPECT_EQ(back->parameters().at("seen"), MSRValue::initWithString("screen_view"));
}

TEST_F(MSREventTest, DebugModeNamesInternalNamesInLogs) {
  MSRValueMap parameters{{"_err", MSRValue::initWithInt64(5)}, {"B", MSRValue::initWithInt64(2)},
                         {"a", MSRValue::initWithInt64(1)}};
  MSRMeasurement::monitor()->setDebugModeEnabled(false);
  EXPECT_EQ(MSREventNameForLog("_cmp"), "_cmp");
  EXPECT_EQ(MSRUserPropertyNameForLog("_exp_1"), "_exp_1");
  EXPECT_EQ(MSRDictionaryDescriptionForLog(parameters).find("ParameterLimitReached"), std::string::npos);

  rt::registerClass(std::make_shared<rt::Class>("VOZIzizuzove"));
  MSRMeasurement::monitor()->setDebugModeEnabled(true);
  std::string campaign = MSREventNameForLog("_cmp");
  EXPECT_TRUE(campaign == "dozaveve_campaign (_cmp)" || campaign == "za_campaign (_cmp)") << campaign;
  EXPECT_EQ(MSREventNameForLog("_s"), "session_start (_s)");
  EXPECT_EQ(MSREventNameForLog("level_up"), "level_up");
  EXPECT_EQ(MSRUserPropertyNameForLog("_exp_1"), "experiment_id (_exp_1)");
  EXPECT_EQ(MSRDictionaryDescriptionForLog(parameters),
            "{\n    a = 1;\n    B = 2;\n    za_error (_err) = ParameterLimitReached (5);\n}");
  MSRMeasurement::monitor()->setDebugModeEnabled(false);
  rt::unregisterClass("VOZIzizuzove");
}

}  // namespace
}  // namespace msr_testing
