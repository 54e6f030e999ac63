// The runtime's rules at their edges: what is written for empty, zero and
// cleared values, what is read from duplicated, packed, negative and
// oversized input, and what peers write (made with protoc).
#include <gtest/gtest.h>

#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;

ns::Data bytesOf(std::initializer_list<int> values) {
  ns::Data data;
  for (int value : values) data.push_back(static_cast<uint8_t>(value));
  return data;
}

// A length-delimited field: tag, varint length, the bytes.
ns::Data delimited(uint32_t tag, const std::string& bytes) { return delimitedField(tag, asData(bytes)); }

TEST(WireEdgeCasesTest, WhatIsWrittenForEmptyZeroAndClearedValues) {
  struct Case {
    const char* name;
    std::function<std::shared_ptr<NANOMessageBase>()> make;
    ns::Data expected;
  };
  const std::vector<Case> cases = {
      {"nil data gives an empty message, written as nothing",
       [] { return MSRPBEvent::initWithBuffer(std::nullopt); }, {}},
      {"empty data likewise", [] { return MSRPBEvent::initWithBuffer(ns::Data{}); }, {}},
      {"int32 set to 0 writes its tag and a zero",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetInt32(event.get(), 4, 0);
         return event;
       },
       bytesOf({0x28, 0x00})},
      {"a cleared int32 writes nothing",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetInt32(event.get(), 4, 7);
         MSRPBMessageClearField(event.get(), 4);
         return event;
       },
       {}},
      {"NO is written",
       [] {
         auto result = MSRPBAudienceLeafFilterResult::initWithBuffer(std::nullopt);
         MSRPBMessageSetBool(result.get(), 3, false);
         return result;
       },
       bytesOf({0x20, 0x00})},
      {"the empty string writes its tag and a zero length",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetString(event.get(), 1, "");
         return event;
       },
       bytesOf({0x12, 0x00})},
      {"a string set to nil is cleared",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetString(event.get(), 1, "x");
         MSRPBMessageSetString(event.get(), 1, std::nullopt);
         return event;
       },
       {}},
      {"a repeated field set to an empty array is not written",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetArray(event.get(), 0, {});
         return event;
       },
       {}},
      {"int32 -1 takes ten bytes",
       [] {
         auto event = MSRPBEvent::initWithBuffer(std::nullopt);
         MSRPBMessageSetInt32(event.get(), 4, -1);
         return event;
       },
       bytesOf({0x28, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01})},
      {"enum -1 takes five: the unsigned 32-bit value",
       [] {
         auto bundle = MSRPBMeasurementBundle::initWithBuffer(std::nullopt);
         MSRPBMessageSetInt32(bundle.get(), 41, -1);
         return bundle;
       },
       bytesOf({0xa8, 0x03, 0xff, 0xff, 0xff, 0xff, 0x0f})},
      {"a batch without bundles but with index 1 writes tag 7 alone",
       [] {
         auto batch = MSRPBMeasurementBatch::initWithBuffer(std::nullopt);
         MSRPBMessageSetString(batch.get(), 1, "b");
         return batch;
       },
       bytesOf({0x3a, 0x01, 'b'})},
      {"repeated integers are written unpacked, one tag each",
       [] {
         auto data = MSRPBResultData::initWithBuffer(std::nullopt);
         MSRPBMessageSetArray(data.get(), 0, {ns::Value(1), ns::Value(300)});
         return data;
       },
       bytesOf({0x08, 0x01, 0x08, 0xac, 0x02})},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    auto message = testCase.make();
    ASSERT_TRUE(message);
    auto bytes = message->protoBuffer();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, testCase.expected);
  }
}

TEST(WireEdgeCasesTest, HasFieldIsYesForEveryRepeatedFieldAndFollowsSetAndClearOtherwise) {
  auto event = MSRPBEvent::initWithBuffer(std::nullopt);
  EXPECT_TRUE(MSRPBMessageHasField(event.get(), 0));
  EXPECT_FALSE(MSRPBMessageHasField(event.get(), 1));
  MSRPBMessageSetString(event.get(), 1, "");
  EXPECT_TRUE(MSRPBMessageHasField(event.get(), 1));
  MSRPBMessageClearField(event.get(), 1);
  EXPECT_FALSE(MSRPBMessageHasField(event.get(), 1));
  EXPECT_EQ(MSRPBMessageGetString(event.get(), 1), std::nullopt);
  EXPECT_EQ(MSRPBMessageGetInt64(event.get(), 2), 0);
}

TEST(WireEdgeCasesTest, WhatIsReadFromDuplicatedNegativeAndPeerWrittenInput) {
  auto capture = std::make_unique<CapturedTexts>();
  // A string twice keeps the first; a number twice the last (the codec's).
  ns::Data twice = bytesOf({0x12, 0x01, 'a', 0x18, 0x01, 0x12, 0x01, 'b', 0x18, 0x02});
  auto event = MSRPBEvent::initWithBuffer(twice);
  ASSERT_TRUE(event);
  EXPECT_EQ(MSRPBMessageGetString(event.get(), 1), "a");
  EXPECT_EQ(MSRPBMessageGetInt64(event.get(), 2), 2);

  // A peer's int32 -1 and enum -1 (ten bytes each), and our five-byte enum.
  ProtocRun peer = encodeText("MeasurementBundle", "timezone_offset_minutes: -1\n", "");
  ASSERT_EQ(peer.status, 0);
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(asData(peer.output));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(MSRPBMessageGetInt32(bundle.get(), 12), -1);
  ProtocRun peerEnum = encodeText("msrpbtest.PeerBundle", "tracking_authorization_status: MINUS_ONE\n",
                                  "PeerMessages.proto");
  ASSERT_EQ(peerEnum.status, 0);
  EXPECT_EQ(peerEnum.output.size(), 12u);  // tag of two bytes, ten bytes of value
  bundle = MSRPBMeasurementBundle::initWithBuffer(asData(peerEnum.output));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(MSRPBMessageGetInt32(bundle.get(), 41), -1);
  EXPECT_EQ(bundle->protoBuffer(), bytesOf({0xa8, 0x03, 0xff, 0xff, 0xff, 0xff, 0x0f}));
  // protoc reads our five-byte form as the same enum value.
  ProtocRun asPeer = runProtoc("-I'" + testSchemaFolder() + "' --decode=msrpbtest.PeerBundle PeerMessages.proto",
                               asText(*bundle->protoBuffer()));
  EXPECT_EQ(asPeer.output, "tracking_authorization_status: MINUS_ONE\n");

  // Packed and unpacked repeated integers read alike and are written unpacked.
  ProtocRun packed = encodeText("msrpbtest.PackedResultData", "status: [1, 300, 5]\n",
                                "PeerMessages.proto");
  ProtocRun unpacked = encodeText("ResultData", "status: [1, 300, 5]\n");
  ASSERT_EQ(packed.status, 0);
  ASSERT_EQ(unpacked.status, 0);
  ASSERT_NE(packed.output, unpacked.output);
  auto fromPacked = MSRPBResultData::initWithBuffer(asData(packed.output));
  auto fromUnpacked = MSRPBResultData::initWithBuffer(asData(unpacked.output));
  ASSERT_TRUE(fromPacked);
  ASSERT_TRUE(fromUnpacked);
  MSRPBArray expected = {ns::Value(1ull), ns::Value(300ull), ns::Value(5ull)};
  EXPECT_EQ(MSRPBMessageGetArray(fromPacked.get(), 0), expected);
  EXPECT_EQ(MSRPBMessageGetArray(fromUnpacked.get(), 0), expected);
  EXPECT_EQ(fromPacked->protoBuffer(), asData(unpacked.output));
  // An empty packed run holds no value.
  auto emptyRun = MSRPBResultData::initWithBuffer(bytesOf({0x0a, 0x00, 0x08, 0x02}));
  ASSERT_TRUE(emptyRun);
  EXPECT_EQ(MSRPBMessageGetArray(emptyRun.get(), 0), (MSRPBArray{ns::Value(2ull)}));
  EXPECT_EQ(capture->printed(), "");
}

TEST(WireEdgeCasesTest, AStringOfOneMebibyteDecodesAndOneByteMoreFailsTheWholeDecode) {
  CapturedTexts capture;
  std::string longest(1048576, 'x');
  ns::Data accepted = delimited(2, longest);
  auto event = MSRPBEvent::initWithBuffer(accepted);
  ASSERT_TRUE(event);
  EXPECT_EQ(MSRPBMessageGetString(event.get(), 1)->size(), 1048576u);
  EXPECT_EQ(event->protoBuffer(), accepted);
  EXPECT_TRUE(capture.logged().empty());

  EXPECT_FALSE(MSRPBEvent::initWithBuffer(delimited(2, longest + "x")));
  EXPECT_EQ(capture.logged(), std::vector<std::string>{"Unable to process proto stream. Buffer is too big. "
                                                       "1048577 > 1048576"});
  EXPECT_EQ(capture.printed(), "<ERROR> Event decoder failed: callback failed\n");
}

TEST(WireEdgeCasesTest, BytesThatAreNotUtf8ReadAsNoString) {
  ns::Data bytes = delimited(2, std::string("\xff\xfe", 2));
  auto event = MSRPBEvent::initWithBuffer(bytes);
  ASSERT_TRUE(event);
  EXPECT_TRUE(MSRPBMessageHasField(event.get(), 1));
  EXPECT_EQ(MSRPBMessageGetString(event.get(), 1), std::nullopt);
  EXPECT_EQ(event->protoBuffer(), bytes);  // kept as they came

  // In an array such an element is left out, the others kept.
  ns::Data fields = delimited(64, "ok");
  ns::Data bad = delimited(64, std::string("\xc0", 1));
  fields.insert(fields.end(), bad.begin(), bad.end());
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(fields);
  ASSERT_TRUE(bundle);
  EXPECT_EQ(MSRPBMessageGetArray(bundle.get(), 44), (MSRPBArray{ns::Value("ok")}));
}

TEST(WireEdgeCasesTest, NestedEventParamsKeepEveryFieldAtEveryLevel) {
  // Three levels of parameters, each with every field set.
  std::function<std::shared_ptr<MSRPBEventParam>(int)> level = [&](int depth) {
    auto param = MSRPBEventParam::initWithBuffer(std::nullopt);
    fillMessage(param.get(), 0);
    MSRPBMessageSetString(param.get(), 0, "level" + std::to_string(depth));
    if (depth < 3) MSRPBMessageSetArray(param.get(), 5, {level(depth + 1), level(depth + 1)});
    return param;
  };
  auto top = level(0);
  auto bytes = top->protoBuffer();
  ASSERT_TRUE(bytes);
  ProtocRun text = decodeText("EventParam", *bytes);
  ASSERT_EQ(text.status, 0);
  EXPECT_EQ(encodeText("EventParam", text.output).output, asText(*bytes));

  auto back = MSRPBEventParam::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  std::shared_ptr<MSRPBEventParam> param = back;
  for (int depth = 0; depth <= 3; ++depth) {
    SCOPED_TRACE(depth);
    EXPECT_EQ(MSRPBMessageGetString(param.get(), 0), "level" + std::to_string(depth));
    EXPECT_EQ(MSRPBMessageGetString(param.get(), 1), stringFor(1));
    EXPECT_EQ(MSRPBMessageGetInt64(param.get(), 2), int64For(2));
    EXPECT_EQ(MSRPBMessageGetDouble(param.get(), 4), doubleFor(4));
    auto children = MSRPBMessageGetArray<MSRPBEventParam>(param.get(), 5);
    ASSERT_TRUE(children);
    if (depth == 3) {
      EXPECT_TRUE(children->empty());
      break;
    }
    ASSERT_EQ(children->size(), 2u);
    param = MSRPBArrayElementMessage<MSRPBEventParam>(children->back());
    ASSERT_TRUE(param);
  }
  EXPECT_EQ(back->protoBuffer(), bytes);
}

TEST(WireEdgeCasesTest, SingularSubMessagesKeepTheirArraysThroughEncodingAndDecoding) {
  auto current = MSRPBResultData::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(current.get(), 0, {ns::Value(7ull)});
  auto timestamp = MSRPBSequenceFilterResultTimestamp::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(timestamp.get(), 0, 4);
  MSRPBMessageSetArray(timestamp.get(), 1, {ns::Value(10LL), ns::Value(-20LL)});
  MSRPBMessageSetArray(current.get(), 3, {timestamp});
  auto result = MSRPBAudienceLeafFilterResult::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(result.get(), 0, 12);
  MSRPBMessageSetMessage(result.get(), 1, *current);

  auto bytes = result->protoBuffer();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(decodeText("AudienceLeafFilterResult", *bytes).output,
            "audience_id: 12\n"
            "current_data {\n"
            "  status: 7\n"
            "  sequence_filter_timestamps {\n"
            "    filter_id: 4\n"
            "    eval_timestamps: 10\n"
            "    eval_timestamps: -20\n"
            "  }\n"
            "}\n");
  auto back = MSRPBAudienceLeafFilterResult::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  EXPECT_FALSE(MSRPBMessageHasField(back.get(), 2));
  EXPECT_EQ(MSRPBMessageGetMessage<MSRPBResultData>(back.get(), 2), nullptr);
  auto data = MSRPBMessageGetMessage<MSRPBResultData>(back.get(), 1);
  ASSERT_TRUE(data);
  auto timestamps = MSRPBMessageGetArray<MSRPBSequenceFilterResultTimestamp>(data.get(), 3);
  ASSERT_TRUE(timestamps);
  ASSERT_EQ(timestamps->size(), 1u);
  auto first = MSRPBArrayElementMessage<MSRPBSequenceFilterResultTimestamp>(timestamps->front());
  EXPECT_EQ(MSRPBMessageGetArray(first.get(), 1), (MSRPBArray{ns::Value(10LL), ns::Value(-20LL)}));
  EXPECT_EQ(back->protoBuffer(), bytes);
}

}  // namespace
