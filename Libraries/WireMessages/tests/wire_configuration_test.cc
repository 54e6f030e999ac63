// The remote configuration and the programs it carries: the two tags read
// without an index, filters nested in audiences, an empty configuration,
// program trees at depth and at the nesting limit.
#include <gtest/gtest.h>

#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;

// MeasurementConfig indexes.
constexpr int32_t kConfigSettings = 3, kConfigAudiences = 5, kConfigPrograms = 8, kConfigConsent = 14;

// A peer's configuration carrying tag 16 and ConsentConfig's tag 5.
constexpr const char* kPeerConfig = R"(
version: 42
settings { name: "measurement.upload.max_bundles" value: "100" }
consent_config {
  defaults { field_1: 1 field_2: 2 }
  field_4: true
  field_5 { field_1: 3 field_2: 4 }
  field_5 { field_1: 5 }
}
field_16 { field_1: 1 field_2: -2 field_3: 3 }
)";

// The same without them, in the repository's schema.
constexpr const char* kKnownConfig = R"(
version: 42
settings { name: "measurement.upload.max_bundles" value: "100" }
consent_config {
  defaults { field_1: 1 field_2: 2 }
  field_4: true
}
)";

TEST(WireConfigurationTest, Tag16AndConsentTag5AreReadAndNeverWritten) {
  CapturedTexts capture;
  ProtocRun peer = encodeText("msrpbtest.PeerConfig", kPeerConfig, "PeerMessages.proto");
  ASSERT_EQ(peer.status, 0);
  auto config = MSRPBMeasurementConfig::initWithBuffer(asData(peer.output));
  ASSERT_TRUE(config);
  EXPECT_EQ(MSRPBMessageGetInt64(config.get(), 0), 42);
  auto settings = MSRPBMessageGetArray<MSRPBSetting>(config.get(), kConfigSettings);
  ASSERT_TRUE(settings && settings->size() == 1u);
  auto setting = MSRPBArrayElementMessage<MSRPBSetting>(settings->front());
  EXPECT_EQ(MSRPBMessageGetString(setting.get(), 0), "measurement.upload.max_bundles");
  EXPECT_EQ(MSRPBMessageGetString(setting.get(), 1), "100");
  auto consent = MSRPBMessageGetMessage<MSRPBConsentConfig>(config.get(), kConfigConsent);
  ASSERT_TRUE(consent);
  EXPECT_TRUE(MSRPBMessageGetBool(consent.get(), 3));
  auto defaults = MSRPBMessageGetArray<MSRPBConsentDefaultEntry>(consent.get(), 0);
  ASSERT_TRUE(defaults && defaults->size() == 1u) << "tag 5's entries are not defaults";
  auto entry = MSRPBArrayElementMessage<MSRPBConsentDefaultEntry>(defaults->front());
  EXPECT_EQ(MSRPBMessageGetInt32(entry.get(), 0), 1);
  EXPECT_EQ(MSRPBMessageGetInt32(entry.get(), 1), 2);

  ProtocRun known = encodeText("MeasurementConfig", kKnownConfig);
  ASSERT_EQ(known.status, 0);
  EXPECT_EQ(config->protoBuffer(), asData(known.output));
  EXPECT_EQ(capture.printed(), "");
}

TEST(WireConfigurationTest, Tag16MustBeAMessageWhileConsentTag5IsNotRead) {
  struct Case {
    const char* name;
    ns::Data bytes;
    bool decodes;
    ns::Data written = {};  // after the version
  };
  const ns::Data version = {0x08, 0x2a};  // version: 42
  auto withVersion = [&](const ns::Data& tail) {
    ns::Data bytes = version;
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  const ns::Data emptyConsent = {0x7a, 0x00};
  const std::vector<Case> cases = {
      {"an empty tag 16", withVersion(delimitedField(16, {})), true},
      {"tag 16 with its three numbers", withVersion(delimitedField(16, {0x08, 0x01, 0x10, 0x02, 0x18, 0x03})), true},
      {"tag 16 with a field it does not know", withVersion(delimitedField(16, {0x22, 0x01, 'z'})), true},
      {"tag 16 whose number is cut", withVersion(delimitedField(16, {0x08, 0xff})), false},
      {"tag 16 whose number is a string", withVersion(delimitedField(16, {0x0a, 0x01, 'a'})), false},
      {"tag 16 as a number", withVersion({0x80, 0x01, 0x05}), false},
      {"tag 16 longer than the input", withVersion({0x82, 0x01, 0x05, 0x08}), false},
      {"consent tag 5 holding no entry", withVersion(delimitedField(15, delimitedField(5, {0xff, 0xff}))), true,
       emptyConsent},
      {"consent tag 5 as a number", withVersion(delimitedField(15, {0x28, 0x07})), true, emptyConsent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedTexts capture;
    auto config = MSRPBMeasurementConfig::initWithBuffer(c.bytes);
    EXPECT_EQ(config != nullptr, c.decodes);
    if (config) {
      EXPECT_EQ(config->protoBuffer(), withVersion(c.written));
      EXPECT_EQ(capture.printed(), "");
    } else {
      EXPECT_EQ(capture.printed().rfind("<ERROR> MeasurementConfig decoder failed: ", 0), 0u) << capture.printed();
    }
  }
}

TEST(WireConfigurationTest, AStringFilterListInAPropertyFilterSurvivesInsideAConfiguration) {
  auto stringFilter = MSRPBStringFilter::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(stringFilter.get(), 0, 4);
  MSRPBMessageSetBool(stringFilter.get(), 2, false);
  MSRPBMessageSetArray(stringFilter.get(), 3, {ns::Value("gold"), ns::Value(""), ns::Value("silver")});
  auto filter = MSRPBFilter::initWithBuffer(std::nullopt);
  MSRPBMessageSetMessage(filter.get(), 0, *stringFilter);
  MSRPBMessageSetBool(filter.get(), 2, true);
  auto propertyFilter = MSRPBPropertyFilter::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(propertyFilter.get(), 0, 17);
  MSRPBMessageSetString(propertyFilter.get(), 1, "tier");
  MSRPBMessageSetMessage(propertyFilter.get(), 2, *filter);
  auto audience = MSRPBAudience::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(audience.get(), 0, 3);
  MSRPBMessageSetArray(audience.get(), 1, {propertyFilter});
  auto config = MSRPBMeasurementConfig::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(config.get(), kConfigAudiences, {audience});

  auto bytes = config->protoBuffer();
  ASSERT_TRUE(bytes);
  ProtocRun expected = encodeText("MeasurementConfig", R"(
audiences {
  audience_id: 3
  property_filters {
    filter_id: 17
    property_name: "tier"
    filter {
      string_filter { match_type: 4 case_sensitive: false expression_list: ["gold", "", "silver"] }
      complement: true
    }
  }
})");
  ASSERT_EQ(expected.status, 0);
  EXPECT_EQ(*bytes, asData(expected.output));

  auto back = MSRPBMeasurementConfig::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  auto audiences = MSRPBMessageGetArray<MSRPBAudience>(back.get(), kConfigAudiences);
  ASSERT_TRUE(audiences && audiences->size() == 1u);
  auto audienceBack = MSRPBArrayElementMessage<MSRPBAudience>(audiences->front());
  EXPECT_EQ(MSRPBMessageGetInt32(audienceBack.get(), 0), 3);
  EXPECT_EQ(MSRPBMessageGetArray(audienceBack.get(), 2), MSRPBArray{});
  auto propertyFilters = MSRPBMessageGetArray<MSRPBPropertyFilter>(audienceBack.get(), 1);
  ASSERT_TRUE(propertyFilters && propertyFilters->size() == 1u);
  auto propertyFilterBack = MSRPBArrayElementMessage<MSRPBPropertyFilter>(propertyFilters->front());
  EXPECT_EQ(MSRPBMessageGetInt32(propertyFilterBack.get(), 0), 17);
  EXPECT_EQ(MSRPBMessageGetString(propertyFilterBack.get(), 1), "tier");
  auto filterBack = MSRPBMessageGetMessage<MSRPBFilter>(propertyFilterBack.get(), 2);
  ASSERT_TRUE(filterBack);
  EXPECT_TRUE(MSRPBMessageGetBool(filterBack.get(), 2));
  EXPECT_FALSE(MSRPBMessageGetMessage<MSRPBNumberFilter>(filterBack.get(), 1));
  auto stringFilterBack = MSRPBMessageGetMessage<MSRPBStringFilter>(filterBack.get(), 0);
  ASSERT_TRUE(stringFilterBack);
  EXPECT_EQ(MSRPBMessageGetInt32(stringFilterBack.get(), 0), 4);
  EXPECT_FALSE(MSRPBMessageHasField(stringFilterBack.get(), 1));
  EXPECT_TRUE(MSRPBMessageHasField(stringFilterBack.get(), 2));
  EXPECT_EQ(MSRPBMessageGetArray(stringFilterBack.get(), 3),
            (MSRPBArray{ns::Value("gold"), ns::Value(""), ns::Value("silver")}));
  EXPECT_EQ(back->protoBuffer(), bytes);
}

TEST(WireConfigurationTest, AnEmptyConfigurationHasEveryRepeatedFieldEmptyAndNothingSet) {
  for (const auto& config : {MSRPBMeasurementConfig::initWithBuffer(ns::Data{}),
                             MSRPBMeasurementConfig::initWithBuffer(std::nullopt)}) {
    ASSERT_TRUE(config);
    const MSRPBMessageTable& table = config->messageTable();
    for (int32_t index = 0; index < table.fieldCount; ++index) {
      SCOPED_TRACE(index);
      if (table.kinds[index] & MSRPBKindRepeated) {
        EXPECT_TRUE(MSRPBMessageHasField(config.get(), index));
        EXPECT_EQ(MSRPBMessageGetArray(config.get(), index, anyMessage), MSRPBArray{});
      } else {
        EXPECT_FALSE(MSRPBMessageHasField(config.get(), index));
      }
    }
    EXPECT_EQ(config->protoBuffer(), ns::Data{});
  }
}

// RuntimeEntity indexes.
constexpr int32_t kEntityType = 0, kEntityChildren = 1, kEntityStatement = 2, kEntityString = 3, kEntityBool = 4,
                  kEntityNumber = 5;

// An entity of `levels` levels with two children at each but the last;
// each entity's fields tell its level and place.
std::shared_ptr<MSRPBRuntimeEntity> entityTree(int level, int levels, const std::string& place) {
  auto entity = MSRPBRuntimeEntity::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(entity.get(), kEntityType, level);
  MSRPBMessageSetString(entity.get(), kEntityStatement, "statement" + place);
  MSRPBMessageSetString(entity.get(), kEntityString, "string" + place);
  MSRPBMessageSetBool(entity.get(), kEntityBool, level % 2 == 0);
  MSRPBMessageSetDouble(entity.get(), kEntityNumber, level + 0.5);
  if (level + 1 < levels) {
    MSRPBMessageSetArray(entity.get(), kEntityChildren,
                         {entityTree(level + 1, levels, place + ".0"), entityTree(level + 1, levels, place + ".1")});
  }
  return entity;
}

// The number of entities of the tree whose fields are the ones entityTree
// gave them.
int checkedEntities(const MSRPBRuntimeEntity* entity, int level, int levels, const std::string& place) {
  SCOPED_TRACE(place);
  EXPECT_EQ(MSRPBMessageGetInt32(entity, kEntityType), level);
  EXPECT_EQ(MSRPBMessageGetString(entity, kEntityStatement), "statement" + place);
  EXPECT_EQ(MSRPBMessageGetString(entity, kEntityString), "string" + place);
  EXPECT_TRUE(MSRPBMessageHasField(entity, kEntityBool));
  EXPECT_EQ(MSRPBMessageGetBool(entity, kEntityBool), level % 2 == 0);
  EXPECT_EQ(MSRPBMessageGetDouble(entity, kEntityNumber), level + 0.5);
  auto children = MSRPBMessageGetArray<MSRPBRuntimeEntity>(entity, kEntityChildren);
  if (!children) return 0;
  EXPECT_EQ(children->size(), level + 1 < levels ? 2u : 0u);
  int count = 1;
  for (size_t i = 0; i < children->size(); ++i) {
    auto child = MSRPBArrayElementMessage<MSRPBRuntimeEntity>((*children)[i]);
    if (child) count += checkedEntities(child.get(), level + 1, levels, place + "." + std::to_string(i));
  }
  return count;
}

TEST(WireConfigurationTest, AnEntityTreeFiveLevelsDeepKeepsEveryLevelInAProgram) {
  constexpr int kLevels = 5;
  auto activity = MSRPBOgtActivity::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(activity.get(), 0, "rule");
  MSRPBMessageSetArray(activity.get(), 1, {entityTree(0, kLevels, "a")});
  auto activities = MSRPBOgtActivities::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(activities.get(), 0, {activity});
  auto program = MSRPBProgram::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(program.get(), 0, {entityTree(0, kLevels, "i")});
  MSRPBMessageSetMessage(program.get(), 1, *activities);
  auto config = MSRPBMeasurementConfig::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(config.get(), kConfigPrograms, {program});
  auto bytes = config->protoBuffer();
  ASSERT_TRUE(bytes);

  // protoc reads the same tree and writes the same bytes.
  ProtocRun text = decodeText("MeasurementConfig", *bytes);
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.output.find("string_value: \"stringi.1.0.1.1\""), std::string::npos) << text.output;
  EXPECT_EQ(encodeText("MeasurementConfig", text.output).output, asText(*bytes));

  auto back = MSRPBMeasurementConfig::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  auto programs = MSRPBMessageGetArray<MSRPBProgram>(back.get(), kConfigPrograms);
  ASSERT_TRUE(programs && programs->size() == 1u);
  auto programBack = MSRPBArrayElementMessage<MSRPBProgram>(programs->front());
  auto instructions = MSRPBMessageGetArray<MSRPBRuntimeEntity>(programBack.get(), 0);
  ASSERT_TRUE(instructions && instructions->size() == 1u);
  EXPECT_EQ(checkedEntities(MSRPBArrayElementMessage<MSRPBRuntimeEntity>(instructions->front()).get(), 0, kLevels,
                            "i"),
            31);
  auto activitiesBack = MSRPBMessageGetMessage<MSRPBOgtActivities>(programBack.get(), 1);
  ASSERT_TRUE(activitiesBack);
  auto activityList = MSRPBMessageGetArray<MSRPBOgtActivity>(activitiesBack.get(), 0);
  ASSERT_TRUE(activityList && activityList->size() == 1u);
  auto activityBack = MSRPBArrayElementMessage<MSRPBOgtActivity>(activityList->front());
  EXPECT_EQ(MSRPBMessageGetString(activityBack.get(), 0), "rule");
  auto data = MSRPBMessageGetArray<MSRPBRuntimeEntity>(activityBack.get(), 1);
  ASSERT_TRUE(data && data->size() == 1u);
  EXPECT_EQ(checkedEntities(MSRPBArrayElementMessage<MSRPBRuntimeEntity>(data->front()).get(), 0, kLevels, "a"), 31);
}

TEST(WireConfigurationTest, AProgramWithoutActivitiesAnswersNilForThem) {
  struct Case {
    const char* name;
    const char* text;
    bool activities;
  };
  const Case cases[] = {
      {"instructions only", "instructions { type: 1 string_value: \"x\" }", false},
      {"nothing at all", "", false},
      {"empty activities", "instructions { type: 1 } activities {}", true},
      {"activities with one", "activities { activities { name: \"rule\" } }", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProtocRun encoded = encodeText("Program", c.text);
    ASSERT_EQ(encoded.status, 0);
    auto program = MSRPBProgram::initWithBuffer(asData(encoded.output));
    ASSERT_TRUE(program);
    EXPECT_EQ(MSRPBMessageHasField(program.get(), 1), c.activities);
    EXPECT_EQ(MSRPBMessageGetMessage<MSRPBOgtActivities>(program.get(), 1) != nullptr, c.activities);
    EXPECT_EQ(program->protoBuffer(), asData(encoded.output));
  }
}

// A configuration whose one program's first statement has `levels` levels
// of children below it; the innermost entity's string value is "x".
ns::Data configWithProgramDepth(int levels) {
  ns::Data innermost = {0x22, 0x01, 'x'};
  return delimitedField(9, delimitedField(1, selfNestedChain(2, innermost, levels)));
}

// A configuration is level 0, its program level 1, the statement level 2.
TEST(WireConfigurationTest, AProgramTreeIsReadToTheNestingLimitAndRefusedWholePastIt) {
  CapturedTexts capture;
  const int deepest = MSRPBMaxNestingDepth - 2;
  auto config = MSRPBMeasurementConfig::initWithBuffer(configWithProgramDepth(deepest));
  ASSERT_TRUE(config);
  EXPECT_EQ(capture.printed(), "");
  EXPECT_EQ(config->protoBuffer(), configWithProgramDepth(deepest));
  auto programs = MSRPBMessageGetArray<MSRPBProgram>(config.get(), kConfigPrograms);
  ASSERT_TRUE(programs && programs->size() == 1u);
  auto statements =
      MSRPBMessageGetArray<MSRPBRuntimeEntity>(MSRPBArrayElementMessage<MSRPBProgram>(programs->front()).get(), 0);
  ASSERT_TRUE(statements && statements->size() == 1u);
  auto entity = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(statements->front());
  for (int level = 0; level < deepest; ++level) {
    auto children = MSRPBMessageGetArray<MSRPBRuntimeEntity>(entity.get(), kEntityChildren);
    ASSERT_TRUE(children && children->size() == 1u) << level;
    entity = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(children->front());
  }
  EXPECT_EQ(MSRPBMessageGetString(entity.get(), kEntityString), "x");

  EXPECT_FALSE(MSRPBMeasurementConfig::initWithBuffer(configWithProgramDepth(deepest + 1)));
  std::string printed = capture.printed();
  EXPECT_EQ(printed.substr(0, printed.find('\n') + 1),
            "<ERROR> RuntimeEntity decoder failed: nested deeper than the nesting limit\n");
  EXPECT_EQ(printed.substr(printed.rfind("<ERROR>")),
            "<ERROR> MeasurementConfig decoder failed: nested deeper than the nesting limit\n");
}

}  // namespace
