// Input from other peers and from nobody we know: fields our messages do
// not have, every cut and thousands of damaged copies of a real batch, and
// nesting past the limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;

// A batch in the test schema's extended messages: every known field set,
// and unknown ones of every wire type at every level.
constexpr const char* kExtendedBatch = R"(
bundles {
  protocol_version: 1
  events {
    params {
      name: "p"
      int_value: -3
      param_value { name: "inner" double_value: 0.5 unknown: "drop me" }
      unknown: "drop me too"
    }
    name: "_e"
    timestamp_millis: 1700000000000
    unknown_zigzag: -99
    unknown_numbers: [1, 2, 3]
  }
  previous_start_timestamp_millis: 26
  zmp_app_id: "1:2:ios:3"
  experiment_ids: [7, 8]
  unknown_message { name: "ghost" }
  unknown_strings: "a"
  unknown_strings: "b"
  unknown_result { audience_id: 5 }
}
field_7: "seven"
unknown_varint: -1
unknown_fixed64: 64
unknown_fixed32: 32
unknown_bytes: "\001\002"
)";

// The same without the unknown fields, in the repository's schema.
constexpr const char* kKnownBatch = R"(
bundles {
  protocol_version: 1
  events {
    params {
      name: "p"
      int_value: -3
      param_value { name: "inner" double_value: 0.5 }
    }
    name: "_e"
    timestamp_millis: 1700000000000
  }
  previous_start_timestamp_millis: 26
  zmp_app_id: "1:2:ios:3"
  experiment_ids: [7, 8]
}
field_7: "seven"
)";

ns::Data realBatch() {
  ProtocRun known = encodeText("MeasurementBatch", kKnownBatch);
  EXPECT_EQ(known.status, 0);
  return asData(known.output);
}

TEST(WirePeerInputTest, UnknownFieldsAreDroppedAndEveryKnownValueIsAtItsIndex) {
  CapturedTexts capture;
  ProtocRun extended = encodeText("msrpbtest.ExtendedBatch", kExtendedBatch, "PeerMessages.proto");
  ASSERT_EQ(extended.status, 0);
  auto batch = MSRPBMeasurementBatch::initWithBuffer(asData(extended.output));
  ASSERT_TRUE(batch);
  EXPECT_EQ(MSRPBMessageGetString(batch.get(), 1), "seven");
  auto bundles = MSRPBMessageGetArray<MSRPBMeasurementBundle>(batch.get(), 0);
  ASSERT_TRUE(bundles);
  ASSERT_EQ(bundles->size(), 1u);
  auto bundle = MSRPBArrayElementMessage<MSRPBMeasurementBundle>(bundles->front());
  ASSERT_TRUE(bundle);
  EXPECT_EQ(MSRPBMessageGetInt32(bundle.get(), 0), 1);
  EXPECT_EQ(MSRPBMessageGetInt64(bundle.get(), 6), 26);
  EXPECT_EQ(MSRPBMessageGetString(bundle.get(), 26), "1:2:ios:3");
  EXPECT_EQ(MSRPBMessageGetArray(bundle.get(), 37), (MSRPBArray{ns::Value(7ull), ns::Value(8ull)}));
  auto events = MSRPBMessageGetArray<MSRPBEvent>(bundle.get(), 1);
  ASSERT_EQ(events->size(), 1u);
  auto event = MSRPBArrayElementMessage<MSRPBEvent>(events->front());
  EXPECT_EQ(MSRPBMessageGetString(event.get(), 1), "_e");
  EXPECT_EQ(MSRPBMessageGetInt64(event.get(), 2), 1700000000000);
  auto params = MSRPBMessageGetArray<MSRPBEventParam>(event.get(), 0);
  ASSERT_EQ(params->size(), 1u);
  auto param = MSRPBArrayElementMessage<MSRPBEventParam>(params->front());
  EXPECT_EQ(MSRPBMessageGetString(param.get(), 0), "p");
  EXPECT_EQ(MSRPBMessageGetInt64(param.get(), 2), -3);
  auto inner = MSRPBMessageGetArray<MSRPBEventParam>(param.get(), 5);
  ASSERT_EQ(inner->size(), 1u);
  EXPECT_EQ(MSRPBMessageGetDouble(MSRPBArrayElementMessage<MSRPBEventParam>(inner->front()).get(), 4), 0.5);

  // Written again, it is what protoc writes for the known fields alone.
  EXPECT_EQ(batch->protoBuffer(), realBatch());
  EXPECT_EQ(capture.printed(), "");
  EXPECT_TRUE(capture.logged().empty());
}

// Every cut of a real batch and thousands of copies with a byte changed
// give a message or nothing; what decodes also encodes and decodes again
// to the same bytes.
TEST(WirePeerInputTest, CutAndDamagedBatchesGiveAMessageOrNothing) {
  CapturedTexts capture;
  ns::Data batch = realBatch();
  ASSERT_GT(batch.size(), 60u);
  int decoded = 0;
  auto check = [&](const ns::Data& bytes) {
    auto message = MSRPBMeasurementBatch::initWithBuffer(bytes);
    if (!message) return;
    ++decoded;
    auto encoded = message->protoBuffer();
    ASSERT_TRUE(encoded);
    auto again = MSRPBMeasurementBatch::initWithBuffer(*encoded);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->protoBuffer(), encoded);
  };
  for (size_t length = 0; length < batch.size(); ++length) check(ns::Data(batch.begin(), batch.begin() + length));
  std::mt19937 random(64);
  for (int copy = 0; copy < 5000; ++copy) {
    ns::Data damaged = batch;
    int changes = 1 + copy % 3;
    for (int i = 0; i < changes; ++i) {
      damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    }
    check(damaged);
  }
  EXPECT_GT(decoded, 0);
  EXPECT_NE(capture.printed(), "");  // the failures said why
}

// A chain of EventParams `levels` deep below the first, each in the
// `param_value` (tag 6) of the one above; the innermost is named "x".
ns::Data paramChain(int levels) { return selfNestedChain(6, {0x0a, 0x01, 'x'}, levels); }

TEST(WirePeerInputTest, NestingIsReadToTheLimitAndRefusedPastIt) {
  CapturedTexts capture;
  auto deepest = MSRPBEventParam::initWithBuffer(paramChain(MSRPBMaxNestingDepth));
  ASSERT_TRUE(deepest);
  EXPECT_EQ(capture.printed(), "");
  EXPECT_EQ(deepest->protoBuffer(), paramChain(MSRPBMaxNestingDepth));
  std::shared_ptr<MSRPBEventParam> level = deepest;
  for (int depth = 0; depth < MSRPBMaxNestingDepth; ++depth) {
    auto children = MSRPBMessageGetArray<MSRPBEventParam>(level.get(), 5);
    ASSERT_TRUE(children && children->size() == 1u) << depth;
    level = MSRPBArrayElementMessage<MSRPBEventParam>(children->front());
  }
  EXPECT_EQ(MSRPBMessageGetString(level.get(), 0), "x");

  EXPECT_FALSE(MSRPBEventParam::initWithBuffer(paramChain(MSRPBMaxNestingDepth + 1)));
  std::string printed = capture.printed();
  EXPECT_EQ(printed.substr(0, printed.find('\n') + 1),
            "<ERROR> EventParam decoder failed: nested deeper than the nesting limit\n");
  EXPECT_EQ(printed.substr(printed.rfind("<ERROR>")),
            "<ERROR> EventParam decoder failed: nested deeper than the nesting limit\n");

  // A batch counts its own levels: a bundle, an event and a parameter are
  // three of them.
  capture.clear();
  // params (tag 1) of an event, events (tag 2) of a bundle, bundles (tag 1).
  auto inBatch = [](const ns::Data& params) {
    return delimitedField(1, delimitedField(2, delimitedField(1, params)));
  };
  EXPECT_TRUE(MSRPBMeasurementBatch::initWithBuffer(inBatch(paramChain(MSRPBMaxNestingDepth - 3))));
  EXPECT_FALSE(MSRPBMeasurementBatch::initWithBuffer(inBatch(paramChain(MSRPBMaxNestingDepth - 2))));
}

// A hundred thousand levels in a few hundred kilobytes fail at once, not
// after a hundred thousand recursions.
TEST(WirePeerInputTest, AVeryDeepInputFailsWithoutReadingItAll) {
  CapturedTexts capture;
  ns::Data deep = paramChain(100000);
  EXPECT_LT(deep.size(), 600000u);
  EXPECT_FALSE(MSRPBEventParam::initWithBuffer(deep));
  std::string printed = capture.printed();
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2 * MSRPBMaxNestingDepth + 2);
}

}  // namespace
