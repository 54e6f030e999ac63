// Each measurement message against protoc: its table is the documented one,
// every field set to a value of its own is written under its tag in
// ascending order, protoc reads the bytes over the repository's schema and
// writes them back identically, and our decoder puts every value back at
// its index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;

constexpr int32_t S = MSRPBKindSingular;
constexpr int32_t R = MSRPBKindRepeated;
constexpr int32_t kBool = MSRPBKindBool, kEnum = MSRPBKindEnum, kInt32 = MSRPBKindInt32, kUInt32 = MSRPBKindUInt32,
                  kInt64 = MSRPBKindInt64, kUInt64 = MSRPBKindUInt64, kFloat = MSRPBKindFloat,
                  kDouble = MSRPBKindDouble, kString = MSRPBKindString, kMessage = MSRPBKindMessage;

struct ExpectedField {
  uint32_t tag;
  int32_t kind;
  const char* element = nullptr;  // a message field's message, where given
};

// The messages' fields in index order: tag, label and type.
const std::map<std::string, std::vector<ExpectedField>>& documentedTables() {
  static const std::map<std::string, std::vector<ExpectedField>> tables = {
      {"MeasurementBatch", {{1, R | kMessage}, {7, S | kString}}},
      {"MeasurementBundle",
       {{1, S | kInt32},   {2, R | kMessage},  {3, R | kMessage},  {4, S | kInt64},   {5, S | kInt64},
        {6, S | kInt64},   {26, S | kInt64},   {7, S | kInt64},    {8, S | kString},  {9, S | kString},
        {10, S | kString}, {11, S | kString},  {12, S | kInt32},   {13, S | kString}, {14, S | kString},
        {15, S | kInt64},  {16, S | kString},  {17, S | kInt64},   {18, S | kInt64},  {19, S | kString},
        {27, S | kString}, {20, S | kBool},    {21, S | kString},  {22, S | kInt64},  {23, S | kInt32},
        {24, S | kString}, {25, S | kString},  {28, S | kBool},    {29, R | kMessage}, {30, S | kString},
        {31, S | kInt32},  {32, S | kInt32},   {33, S | kInt32},   {34, S | kString}, {35, S | kInt64},
        {39, S | kInt32},  {41, S | kString},  {45, R | kUInt32},  {47, S | kInt64},  {50, S | kString},
        {52, S | kString}, {53, S | kEnum},    {55, S | kBool},    {63, S | kString}, {64, R | kString},
        {65, S | kString}, {67, S | kInt64},   {71, S | kString},  {72, S | kBool},   {73, S | kString},
        {75, S | kString}}},
      {"Event", {{1, R | kMessage}, {2, S | kString}, {3, S | kInt64}, {4, S | kInt64}, {5, S | kInt32}}},
      {"EventParam",
       {{1, S | kString}, {2, S | kString}, {3, S | kInt64}, {4, S | kFloat}, {5, S | kDouble}, {6, R | kMessage}}},
      {"UserAttribute",
       {{1, S | kInt64}, {2, S | kString}, {3, S | kString}, {4, S | kInt64}, {5, S | kFloat}, {6, S | kDouble}}},
      {"AudienceLeafFilterResult", {{1, S | kInt32}, {2, S | kMessage}, {3, S | kMessage}, {4, S | kBool}}},
      {"ResultData", {{1, R | kUInt64}, {2, R | kUInt64}, {3, R | kMessage}, {4, R | kMessage}}},
      {"DynamicFilterResultTimestamp", {{1, S | kInt32}, {2, S | kInt64}}},
      {"SequenceFilterResultTimestamp", {{1, S | kInt32}, {2, R | kInt64}}},

      {"MeasurementConfig",
       {{1, S | kInt64},
        {2, S | kString},
        {3, S | kInt32},
        {4, R | kMessage, "Setting"},
        {5, R | kMessage, "EventConfig"},
        {6, R | kMessage, "Audience"},
        {7, S | kString},
        {8, S | kBool},
        {9, R | kMessage, "Program"},
        {10, R | kMessage, "DataControl"},
        {11, S | kString},
        {12, S | kString},
        {13, S | kString},
        {14, S | kString},
        {15, S | kMessage, "ConsentConfig"}}},
      {"Setting", {{1, S | kString}, {2, S | kString}}},
      {"EventConfig", {{1, S | kString}, {2, S | kBool}, {3, S | kBool}, {4, S | kInt32}}},
      {"DataControl", {{1, S | kString}, {2, R | kMessage, "Region"}, {3, S | kBool}}},
      {"Region", {{1, S | kString}, {2, S | kString}}},
      {"ConsentConfig",
       {{1, R | kMessage, "ConsentDefaultEntry"},
        {2, R | kMessage, "ConsentDelegationEntry"},
        {3, R | kMessage, "CorePlatformServiceEntry"},
        {4, S | kBool}}},
      {"ConsentDefaultEntry", {{1, S | kEnum}, {2, S | kEnum}}},
      {"ConsentDelegationEntry", {{1, S | kEnum}, {2, S | kEnum}}},
      {"CorePlatformServiceEntry", {{1, S | kString}, {2, S | kString}}},
      {"Audience",
       {{1, S | kInt32},
        {2, R | kMessage, "PropertyFilter"},
        {3, R | kMessage, "EventFilter"},
        {4, S | kBool},
        {5, S | kBool}}},
      {"EventFilter",
       {{1, S | kInt32},
        {2, S | kString},
        {3, R | kMessage, "Filter"},
        {4, S | kBool},
        {5, S | kMessage, "NumberFilter"},
        {6, S | kBool},
        {7, S | kBool},
        {8, S | kBool}}},
      {"PropertyFilter",
       {{1, S | kInt32}, {2, S | kString}, {3, S | kMessage, "Filter"}, {4, S | kBool}, {5, S | kBool}, {6, S | kBool}}},
      {"Filter",
       {{1, S | kMessage, "StringFilter"}, {2, S | kMessage, "NumberFilter"}, {3, S | kBool}, {4, S | kString}}},
      {"NumberFilter", {{1, S | kEnum}, {2, S | kBool}, {3, S | kString}, {4, S | kString}, {5, S | kString}}},
      {"StringFilter", {{1, S | kEnum}, {2, S | kString}, {3, S | kBool}, {4, R | kString}}},

      {"Program", {{1, R | kMessage, "RuntimeEntity"}, {2, S | kMessage, "OgtActivities"}}},
      {"RuntimeEntity",
       {{1, S | kEnum},
        {2, R | kMessage, "RuntimeEntity"},
        {3, S | kString},
        {4, S | kString},
        {5, S | kBool},
        {6, S | kDouble}}},
      {"OgtActivities", {{1, R | kMessage, "OgtActivity"}}},
      {"OgtActivity", {{1, S | kString}, {2, R | kMessage, "RuntimeEntity"}}},

      {"ExperimentRequest", {{1, S | kMessage, "AppProperty"}, {2, R | kMessage, "ClientProperty"}}},
      {"AppProperty",
       {{1, S | kString}, {2, S | kString}, {3, S | kString}, {4, S | kString}, {5, S | kString}, {6, S | kBool},
        {7, S | kInt64}}},
      {"ClientProperty",
       {{1, S | kString}, {2, S | kString}, {3, S | kInt64}, {4, S | kString}, {5, R | kMessage, "CustomProperty"}}},
      {"CustomProperty", {{1, S | kString}, {2, S | kString}}},
      {"ExperimentResponse", {{1, R | kMessage, "Snapshot"}, {2, R | kMessage, "SdkResponse"}}},
      {"Snapshot", {{1, S | kString}, {2, R | kMessage, "Experiment"}}},
      {"Experiment", {{1, S | kInt32}, {2, R | kMessage, "Flag"}}},
      {"Flag", {{1, S | kString}, {2, S | kInt64}, {3, S | kString}, {4, S | kDouble}, {5, S | kBool}}},
      {"SdkResponse", {{1, S | kString}, {2, S | kEnum}, {3, S | kMessage, "Snapshot"}}},
      {"SkAdNetworkConversionValueRequest",
       {{1, S | kInt64}, {2, S | kString}, {3, S | kString}, {4, S | kString}, {5, S | kInt64}, {6, S | kInt64}}},
      {"SkAdNetworkConversionValueResponse",
       {{1, S | kEnum}, {2, S | kString}, {3, S | kInt32}, {4, S | kEnum}, {5, S | kBool}, {6, S | kInt64},
        {7, S | kInt64}, {8, S | kInt64}}},
  };
  return tables;
}

// What protoc's raw text prints for the filled value of a singular field.
std::string rawValue(int32_t kind, int32_t index) {
  char text[64];
  switch (MSRPBKindType(kind)) {
    case MSRPBKindBool: return "1";
    case MSRPBKindEnum:
    case MSRPBKindInt32: return std::to_string(int32For(index));
    case MSRPBKindInt64: return std::to_string(int64For(index));
    case MSRPBKindString: return "\"" + stringFor(index) + "\"";
    case MSRPBKindFloat: {
      float value = floatFor(index);
      uint32_t bits;
      std::memcpy(&bits, &value, sizeof(bits));
      std::snprintf(text, sizeof(text), "0x%08" PRIx32, bits);
      return text;
    }
    case MSRPBKindDouble: {
      double value = doubleFor(index);
      uint64_t bits;
      std::memcpy(&bits, &value, sizeof(bits));
      std::snprintf(text, sizeof(text), "0x%016" PRIx64, bits);
      return text;
    }
  }
  return "{";
}

// Every field of a message filled by fillMessage(levels) reads back so.
void expectFilled(const NANOMessageBase* message, int levels) {
  const MSRPBMessageTable& table = message->messageTable();
  SCOPED_TRACE(table.name);
  for (int32_t index = 0; index < table.fieldCount; ++index) {
    SCOPED_TRACE(index);
    const MSRPBFieldEntry& entry = table.fields[index];
    int32_t type = MSRPBKindType(entry.kind);
    if (entry.kind & MSRPBKindRepeated) {
      auto array = MSRPBMessageGetArray(message, index, anyMessage);
      ASSERT_TRUE(array);
      if (type == MSRPBKindMessage && levels == 0) {
        EXPECT_TRUE(array->empty());
        continue;
      }
      ASSERT_EQ(array->size(), 2u);
      for (int32_t n = 0; n < 2; ++n) {
        const MSRPBArrayElement& element = (*array)[n];
        if (type == MSRPBKindMessage) {
          auto nested = MSRPBArrayElementMessage<NANOMessageBase>(element);
          ASSERT_TRUE(nested);
          expectFilled(nested.get(), levels - 1);
        } else if (type == MSRPBKindString) {
          EXPECT_EQ(std::get<ns::Value>(element), ns::Value(stringFor(index) + "." + std::to_string(n)));
        } else if (type == MSRPBKindUInt32) {
          EXPECT_EQ(std::get<ns::Value>(element).integerValue(), int32For(index) + n);
        } else {
          EXPECT_EQ(std::get<ns::Value>(element).integerValue(), int64For(index) + n);
        }
      }
      continue;
    }
    switch (type) {
      case MSRPBKindBool: EXPECT_TRUE(MSRPBMessageGetBool(message, index)); break;
      case MSRPBKindEnum:
      case MSRPBKindInt32: EXPECT_EQ(MSRPBMessageGetInt32(message, index), int32For(index)); break;
      case MSRPBKindInt64: EXPECT_EQ(MSRPBMessageGetInt64(message, index), int64For(index)); break;
      case MSRPBKindDouble: EXPECT_EQ(MSRPBMessageGetDouble(message, index), doubleFor(index)); break;
      case MSRPBKindString: EXPECT_EQ(MSRPBMessageGetString(message, index), stringFor(index)); break;
      case MSRPBKindFloat: {
        float value = 0;
        ASSERT_TRUE(message->messageInfo()->fields[index]);
        std::memcpy(&value, message->messageInfo()->fields[index], sizeof(value));
        EXPECT_EQ(value, floatFor(index));
        break;
      }
      case MSRPBKindMessage: {
        EXPECT_EQ(MSRPBMessageHasField(message, index), levels > 0);
        const MSRPBMessageInfo* nested = MSRPBMessageGetMessageInfo(message, index);
        if (nested) expectFilled(anyMessage(nested).get(), levels - 1);
        break;
      }
    }
  }
}

TEST(WireSchemaTest, EveryTableIsTheDocumentedOneAndMatchesItsSchema) {
  ASSERT_EQ(allClasses().size(), documentedTables().size());
  for (const auto& messageClass : allClasses()) {
    const MSRPBMessageTable& table = *messageClass.table;
    SCOPED_TRACE(table.name);
    const auto& expected = documentedTables().at(table.name);
    ASSERT_EQ(table.fieldCount, static_cast<int32_t>(expected.size()));
    for (int32_t index = 0; index < table.fieldCount; ++index) {
      EXPECT_EQ(table.fields[index].tag, expected[index].tag) << "index " << index;
      EXPECT_EQ(table.kinds[index], expected[index].kind) << "index " << index;
      if (expected[index].element) {
        ASSERT_TRUE(table.fields[index].element) << "index " << index;
        EXPECT_STREQ(table.fields[index].element->name, expected[index].element) << "index " << index;
      }
    }
    EXPECT_EQ(MSRPBCheckMessageTable(table), "");
    auto message = messageClass.make();
    EXPECT_STREQ(message->messageID(), table.name);
  }
}

TEST(WireSchemaTest, EveryFieldIsWrittenUnderItsTagInAscendingOrderAndReadsBack) {
  for (const auto& messageClass : allClasses()) {
    const MSRPBMessageTable& table = *messageClass.table;
    SCOPED_TRACE(table.name);
    auto message = messageClass.make();
    fillMessage(message.get(), 1);
    auto bytes = message->protoBuffer();
    ASSERT_TRUE(bytes);

    // Under each tag, singular fields once, repeated ones twice, ascending.
    std::vector<uint32_t> expectedTags;
    std::map<uint32_t, std::string> expectedValues;
    for (int32_t index = 0; index < table.fieldCount; ++index) {
      const MSRPBFieldEntry& entry = table.fields[index];
      expectedTags.push_back(entry.tag);
      if (entry.kind & MSRPBKindRepeated) {
        expectedTags.push_back(entry.tag);
      } else {
        expectedValues[entry.tag] = rawValue(entry.kind, index);
      }
    }
    std::sort(expectedTags.begin(), expectedTags.end());
    ProtocRun raw = decodeRaw(*bytes);
    ASSERT_EQ(raw.status, 0);
    EXPECT_EQ(topLevelTags(raw.output), expectedTags) << raw.output;
    for (const auto& [tag, value] : expectedValues) {
      std::string line = "\n" + std::to_string(tag) + ": " + value + "\n";
      if (value == "{") {
        // A sub-message whose own fields are all left empty is empty,
        // which protoc's raw text shows as an empty string.
        std::string empty = "\n" + std::to_string(tag) + ": \"\"\n";
        line = "\n" + std::to_string(tag) + " {\n";
        if (("\n" + raw.output).find(empty) != std::string::npos) line = empty;
      }
      EXPECT_NE(("\n" + raw.output).find(line), std::string::npos) << line << raw.output;
    }

    // protoc reads them over the schema and writes the same bytes.
    ProtocRun text = decodeText(table.name, *bytes);
    ASSERT_EQ(text.status, 0);
    ProtocRun again = encodeText(table.name, text.output);
    ASSERT_EQ(again.status, 0);
    EXPECT_EQ(again.output, asText(*bytes));

    // So does our decoder, with every value at its index.
    auto back = messageClass.decode(asData(again.output));
    ASSERT_TRUE(back);
    expectFilled(back.get(), 1);
    EXPECT_EQ(back->protoBuffer(), bytes);
  }
}

TEST(WireSchemaTest, BundleWritesIndex26BeforeIndex6AndReadsEachBackAtItsIndex) {
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt64(bundle.get(), 6, 6006);
  MSRPBMessageSetString(bundle.get(), 26, "zmp");
  MSRPBMessageSetString(bundle.get(), 20, "vendor");
  MSRPBMessageSetBool(bundle.get(), 21, false);
  auto bytes = bundle->protoBuffer();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(decodeRaw(*bytes).output, "20: 0\n25: \"zmp\"\n26: 6006\n27: \"vendor\"\n");

  auto back = MSRPBMeasurementBundle::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(MSRPBMessageGetInt64(back.get(), 6), 6006);
  EXPECT_EQ(MSRPBMessageGetString(back.get(), 26), "zmp");
  EXPECT_EQ(MSRPBMessageGetString(back.get(), 20), "vendor");
  EXPECT_TRUE(MSRPBMessageHasField(back.get(), 21));
  EXPECT_FALSE(MSRPBMessageGetBool(back.get(), 21));
  for (int32_t index : {0, 3, 5, 7, 24, 27}) EXPECT_FALSE(MSRPBMessageHasField(back.get(), index)) << index;
}

}  // namespace
