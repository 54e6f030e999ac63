// Reading and writing fields by index: every kind through the accessors and
// the wire, the copies handed out, what is refused and the texts that say
// so.
#include <gtest/gtest.h>

#include "Libraries/WireMessages/tests/KindsTestMessages.h"
#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;
using kinds_testing::kRepeated;

std::shared_ptr<NANOMessageBase> makeKindsElement(const MSRPBMessageInfo* info) {
  if (std::string(info->name) == "Leaf") return MSRPBLeaf::initWithMessageInfo(info);
  return MSRPBAllKinds::initWithMessageInfo(info);
}

// Every singular and repeated field of every kind set, written, read by
// protoc over the test schema and by us.
TEST(WireAccessorsTest, EveryKindGoesThroughTheWireAndBackWithItsBox) {
  auto message = MSRPBAllKinds::initWithBuffer(std::nullopt);
  MSRPBMessageSetBool(message.get(), 0, true);
  MSRPBMessageSetInt32(message.get(), 1, 3);
  MSRPBMessageSetInt32(message.get(), 2, -5);
  MSRPBMessageSetInt32(message.get(), 3, -1);  // uint32: the bits of -1
  MSRPBMessageSetInt64(message.get(), 4, -6);
  MSRPBMessageSetInt64(message.get(), 5, -1);  // uint64: the bits of -1
  MSRPBFieldSetFloat(&message->messageInfo()->fields[6], 1.5f);
  MSRPBMessageSetDouble(message.get(), 7, -2.25);
  MSRPBMessageSetString(message.get(), 8, "text");
  MSRPBFieldSetString(&message->messageInfo()->fields[9], reinterpret_cast<const uint8_t*>("\x00\xff"), 2);
  auto leaf = MSRPBLeaf::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(leaf.get(), 0, 9);
  MSRPBMessageSetArray(leaf.get(), 1, {ns::Value("a"), ns::Value("b")});
  MSRPBMessageSetMessage(message.get(), 10, *leaf);
  auto child = MSRPBAllKinds::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(child.get(), 8, "child");
  const std::vector<MSRPBArray> arrays = {
      {ns::Value(true), ns::Value(0), ns::Value(2.5)},
      {ns::Value(-1), ns::Value(4)},
      {ns::Value(-7), ns::Value(7)},
      {ns::Value(4294967295ull), ns::Value(1)},
      {ns::Value(-8LL), ns::Value(9000000000LL)},
      {ns::Value(18446744073709551615ull)},
      {ns::Value(0.5f), ns::Value(-3)},
      {ns::Value(0.125), ns::Value(1e300)},
      {ns::Value("x"), ns::Value("")},
      {ns::Value(ns::Data{1, 0, 2}), ns::Value(ns::Data{})},
      {child, child},
  };
  for (size_t i = 0; i < arrays.size(); ++i) {
    MSRPBMessageSetArray(message.get(), kRepeated + static_cast<int32_t>(i), arrays[i]);
  }

  auto bytes = message->protoBuffer();
  ASSERT_TRUE(bytes);
  ProtocRun text = runProtoc("-I'" + testSchemaFolder() + "' --decode=msrpbkinds.AllKinds KindsTestMessages.proto",
                             asText(*bytes));
  ASSERT_EQ(text.status, 0);
  EXPECT_EQ(text.output,
            "flag: true\n"
            "state: 3\n"
            "small: -5\n"
            "small_unsigned: 4294967295\n"
            "large: -6\n"
            "large_unsigned: 18446744073709551615\n"
            "single: 1.5\n"
            "real: -2.25\n"
            "text: \"text\"\n"
            "blob: \"\\000\\377\"\n"
            "leaf {\n  value: 9\n  names: \"a\"\n  names: \"b\"\n}\n"
            "flags: true\nflags: false\nflags: true\n"
            "states: 4294967295\nstates: 4\n"
            "smalls: -7\nsmalls: 7\n"
            "small_unsigneds: 4294967295\nsmall_unsigneds: 1\n"
            "larges: -8\nlarges: 9000000000\n"
            "large_unsigneds: 18446744073709551615\n"
            "singles: 0.5\nsingles: -3\n"
            "reals: 0.125\nreals: 1e+300\n"
            "texts: \"x\"\ntexts: \"\"\n"
            "blobs: \"\\001\\000\\002\"\nblobs: \"\"\n"
            "children {\n  text: \"child\"\n}\nchildren {\n  text: \"child\"\n}\n");
  EXPECT_EQ(runProtoc("-I'" + testSchemaFolder() + "' --encode=msrpbkinds.AllKinds KindsTestMessages.proto",
                      text.output)
                .output,
            asText(*bytes));

  auto back = MSRPBAllKinds::initWithBuffer(*bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(MSRPBMessageGetBool(back.get(), 0));
  EXPECT_EQ(MSRPBMessageGetInt32(back.get(), 1), 3);
  EXPECT_EQ(MSRPBMessageGetInt32(back.get(), 2), -5);
  EXPECT_EQ(MSRPBMessageGetInt32(back.get(), 3), -1);
  EXPECT_EQ(MSRPBMessageGetInt64(back.get(), 4), -6);
  EXPECT_EQ(MSRPBMessageGetInt64(back.get(), 5), -1);
  EXPECT_EQ(MSRPBMessageGetDouble(back.get(), 7), -2.25);
  EXPECT_EQ(MSRPBMessageGetString(back.get(), 8), "text");
  auto backLeaf = MSRPBMessageGetMessage<MSRPBLeaf>(back.get(), 10);
  ASSERT_TRUE(backLeaf);
  EXPECT_EQ(MSRPBMessageGetInt32(backLeaf.get(), 0), 9);

  // Each element comes back boxed as its field's type.
  using Kind = ns::Value::NumberKind;
  struct Boxes {
    int32_t index;
    Kind kind;
    std::vector<ns::Value> values;
  };
  const std::vector<Boxes> boxes = {
      {kRepeated + 0, Kind::Bool, {ns::Value(true), ns::Value(false), ns::Value(true)}},
      {kRepeated + 1, Kind::Int, {ns::Value(-1), ns::Value(4)}},
      {kRepeated + 2, Kind::Int, {ns::Value(-7), ns::Value(7)}},
      {kRepeated + 3, Kind::UInt, {ns::Value(4294967295ull), ns::Value(1ull)}},
      {kRepeated + 4, Kind::Int, {ns::Value(-8LL), ns::Value(9000000000LL)}},
      {kRepeated + 5, Kind::UInt, {ns::Value(18446744073709551615ull)}},
      {kRepeated + 6, Kind::Float, {ns::Value(0.5f), ns::Value(-3.0f)}},
      {kRepeated + 7, Kind::Double, {ns::Value(0.125), ns::Value(1e300)}},
  };
  for (const auto& expected : boxes) {
    SCOPED_TRACE(expected.index);
    auto array = MSRPBMessageGetArray(back.get(), expected.index);
    ASSERT_TRUE(array);
    ASSERT_EQ(array->size(), expected.values.size());
    for (size_t i = 0; i < array->size(); ++i) {
      const auto& value = std::get<ns::Value>((*array)[i]);
      EXPECT_EQ(value.numberKind(), expected.kind);
      EXPECT_EQ(value, expected.values[i]);
      EXPECT_EQ(value.isUnsigned(), expected.values[i].isUnsigned());
    }
  }
  EXPECT_EQ(MSRPBMessageGetArray(back.get(), kRepeated + 8), (MSRPBArray{ns::Value("x"), ns::Value("")}));
  EXPECT_EQ(MSRPBMessageGetArray(back.get(), kRepeated + 9),
            (MSRPBArray{ns::Value(ns::Data{1, 0, 2}), ns::Value(ns::Data{})}));
  auto children = MSRPBMessageGetArray(back.get(), kRepeated + 10, makeKindsElement);
  ASSERT_TRUE(children);
  ASSERT_EQ(children->size(), 2u);
  EXPECT_EQ(MSRPBMessageGetString(MSRPBArrayElementMessage<MSRPBAllKinds>(children->at(1)).get(), 8), "child");
  EXPECT_EQ(back->protoBuffer(), bytes);
}

TEST(WireAccessorsTest, MessagesAndArraysHandedOutAreCopies) {
  auto result = MSRPBAudienceLeafFilterResult::initWithBuffer(std::nullopt);
  auto data = MSRPBResultData::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(data.get(), 0, {ns::Value(1ull)});
  MSRPBMessageSetMessage(result.get(), 1, *data);

  // Changing the value after setting it, or what a getter gave, changes
  // nothing until it is set back.
  MSRPBMessageSetArray(data.get(), 0, {ns::Value(2ull)});
  auto copy = MSRPBMessageGetMessage<MSRPBResultData>(result.get(), 1);
  ASSERT_TRUE(copy);
  EXPECT_EQ(MSRPBMessageGetArray(copy.get(), 0), (MSRPBArray{ns::Value(1ull)}));
  MSRPBMessageSetArray(copy.get(), 0, {ns::Value(3ull)});
  EXPECT_EQ(MSRPBMessageGetArray(MSRPBMessageGetMessage<MSRPBResultData>(result.get(), 1).get(), 0),
            (MSRPBArray{ns::Value(1ull)}));
  MSRPBMessageSetMessage(result.get(), 1, *copy);
  EXPECT_EQ(MSRPBMessageGetArray(MSRPBMessageGetMessage<MSRPBResultData>(result.get(), 1).get(), 0),
            (MSRPBArray{ns::Value(3ull)}));

  // A class of another message gets nothing; so does a record of another
  // message handed to a class.
  EXPECT_EQ(MSRPBMessageGetMessage<MSRPBEvent>(result.get(), 1), nullptr);
  EXPECT_EQ(MSRPBEvent::initWithMessageInfo(data->messageInfo()), nullptr);
  auto same = MSRPBResultData::initWithMessageInfo(data->messageInfo());
  ASSERT_TRUE(same);
  EXPECT_NE(same->messageInfo(), data->messageInfo());
  EXPECT_EQ(same->protoBuffer(), data->protoBuffer());

  // An element of an array may be the message itself: it holds a copy of
  // the message as it was.
  auto param = MSRPBEventParam::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(param.get(), 0, "self");
  MSRPBMessageSetArray(param.get(), 5, {param, param});
  auto bytes = param->protoBuffer();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(decodeText("EventParam", *bytes).output,
            "name: \"self\"\nparam_value {\n  name: \"self\"\n}\nparam_value {\n  name: \"self\"\n}\n");
}

TEST(WireAccessorsTest, ARefusedArrayLeavesTheFieldEmpty) {
  CapturedTexts capture;
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(bundle.get(), 37, {ns::Value(1), ns::Value(2)});
  MSRPBMessageSetArray(bundle.get(), 37, {ns::Value(3), ns::Value("four"), ns::Value(5)});
  EXPECT_EQ(MSRPBMessageGetArray(bundle.get(), 37), MSRPBArray{});
  EXPECT_EQ(bundle->protoBuffer(), ns::Data{});

  // An element of another message would be encoded, copied and freed with
  // the wrong field list: refused as well.
  auto event = MSRPBEvent::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(event.get(), 0, {MSRPBEventParam::initWithBuffer(std::nullopt)});
  MSRPBMessageSetArray(event.get(), 0, {MSRPBEventParam::initWithBuffer(std::nullopt), bundle});
  EXPECT_EQ(MSRPBMessageGetArray<MSRPBEventParam>(event.get(), 0), MSRPBArray{});
  EXPECT_EQ(capture.logged(), (std::vector<std::string>{
                                  "<ERROR> Invalid object type. Int32 fields expect NSNumber. Type: NSString",
                                  "<ERROR> Invalid object type. Message fields expect MSRPBEventParam. Type: "
                                  "MSRPBMeasurementBundle",
                              }));
}

// Each refusal and failure, with the text it logs or prints and what it
// answers.
TEST(WireAccessorsTest, RefusalsAndFailuresSayWhy) {
  auto event = MSRPBEvent::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(event.get(), 1, "e");
  auto kinds = MSRPBAllKinds::initWithBuffer(std::nullopt);
  auto result = MSRPBAudienceLeafFilterResult::initWithBuffer(std::nullopt);
  NANOMessageBase* none = nullptr;
  const std::string uninitialized = "ProtocolBuffer message hasn't been initialized. ";

  struct Case {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> logged;
    std::string printed = {};
  };
  const std::vector<Case> cases = {
      {"no message", [&] { EXPECT_FALSE(MSRPBMessageGetBool(none, 0)); },
       {uninitialized + "GetBool can't be performed"}},
      {"no message to set", [&] { MSRPBMessageSetInt32(none, 0, 1); }, {uninitialized + "SetInt32 can't be performed"}},
      {"no message to read a string of", [&] { EXPECT_FALSE(MSRPBMessageGetString(none, 0)); },
       {uninitialized + "GetString can't be performed"}},
      {"no message to clear", [&] { MSRPBMessageClearField(none, 0); },
       {uninitialized + "ClearField can't be performed"}},
      {"no message to read an array of", [&] { EXPECT_FALSE(MSRPBMessageGetArray(none, 0)); },
       {uninitialized + "GetArray can't be performed"}},
      {"no message to ask", [&] { EXPECT_FALSE(MSRPBMessageHasField(none, 0)); },
       {uninitialized + "HasField operation can't be performed. Message name (null)"}},
      {"bool of a string", [&] { EXPECT_FALSE(MSRPBMessageGetBool(event.get(), 1)); },
       {"<Nano/Failure> Field type isn't a scalar BOOL. Message: Event, field ID: 1"}},
      {"int32 of an int64", [&] { EXPECT_EQ(MSRPBMessageGetInt32(event.get(), 2), 0); },
       {"<Nano/Failure> Field type isn't a scalar INT32. Message: Event, field ID: 2"}},
      {"int64 of an int32", [&] { MSRPBMessageSetInt64(event.get(), 4, 1); },
       {"<Nano/Failure> Field type isn't a scalar INT64. Message: Event, field ID: 4"}},
      {"double of a float", [&] { EXPECT_EQ(MSRPBMessageGetDouble(kinds.get(), 6), 0.0); },
       {"<Nano/Failure> Field type isn't a scalar DOUBLE. Message: AllKinds, field ID: 6"}},
      {"string of a repeated string", [&] { MSRPBMessageSetString(kinds.get(), kRepeated + 8, "x"); },
       {"<Nano/Failure> Field type isn't a scalar STRING. Message: AllKinds, field ID: 19"}},
      {"message of a repeated message", [&] { EXPECT_FALSE(MSRPBMessageGetMessage<MSRPBEventParam>(event.get(), 0)); },
       {"<Nano/Failure> Field type isn't a scalar MESSAGE. Message: Event, field ID: 0"}},
      {"array of a singular field", [&] { EXPECT_FALSE(MSRPBMessageGetArray(event.get(), 1)); },
       {"<Nano/Failure> Field type isn't REPEATED. Message: Event, field ID: 1"}},
      {"array set on a singular field", [&] { MSRPBMessageSetArray(event.get(), 2, {}); },
       {"<Nano/Failure> Field type isn't REPEATED. Message: Event, field ID: 2"}},
      // Indexes outside the fields are refused like a field of another kind.
      {"index past the fields", [&] { EXPECT_EQ(MSRPBMessageGetInt32(event.get(), 5), 0); },
       {"<Nano/Failure> Field type isn't a scalar INT32. Message: Event, field ID: 5"}},
      {"negative index", [&] { MSRPBMessageSetString(event.get(), -1, "x"); },
       {"<Nano/Failure> Field type isn't a scalar STRING. Message: Event, field ID: -1"}},
      {"array index past the fields", [&] { EXPECT_FALSE(MSRPBMessageGetArray(event.get(), 1000)); },
       {"<Nano/Failure> Field type isn't REPEATED. Message: Event, field ID: 1000"}},
      {"asking past the fields", [&] { EXPECT_FALSE(MSRPBMessageHasField(event.get(), 5)); }, {}},
      {"clearing past the fields", [&] { MSRPBMessageClearField(event.get(), 9); }, {},
       "<ERROR> Event: Cannot deallocate field 9: Unknown field\n"},
      // A message of another type is refused like a field of another kind.
      {"message of another type", [&] { MSRPBMessageSetMessage(result.get(), 1, *event); },
       {"<Nano/Failure> Field type isn't a scalar MESSAGE of type Event. Message: AudienceLeafFilterResult, "
        "field ID: 1"}},
      {"array without a class", [&] {
         MSRPBMessageSetArray(kinds.get(), kRepeated + 10, {MSRPBAllKinds::initWithBuffer(std::nullopt)});
         EXPECT_EQ(MSRPBMessageGetArray(kinds.get(), kRepeated + 10), MSRPBArray{});
       },
       {"<ERROR> Provided class doesn't implement initWithMessageInfo: method. Class: (null)"}},
      {"null destinations", [&] {
         EXPECT_EQ(MSRPBFieldSetBool(nullptr, true), 0);
         EXPECT_EQ(MSRPBFieldSetUInt32(nullptr, 1), 0);
         EXPECT_EQ(MSRPBFieldSetUInt64(nullptr, 1), 0);
         EXPECT_EQ(MSRPBFieldSetFloat(nullptr, 1), 0);
         EXPECT_EQ(MSRPBFieldSetDouble(nullptr, 1), 0);
         EXPECT_EQ(MSRPBFieldSetString(nullptr, nullptr, 0), 0);
         EXPECT_EQ(MSRPBFieldResetArray(nullptr), 0);
         EXPECT_EQ(MSRPBFieldDeallocString(nullptr), 0);
       },
       {"<ERROR> Unable to set bool. Destination pointer is NULL",
        "<ERROR> Unable to set uint32. Destination pointer is NULL",
        "<ERROR> Unable to set uint64. Destination pointer is NULL",
        "<ERROR> Unable to set float. Destination pointer is NULL",
        "<ERROR> Unable to set double. Destination pointer is NULL",
        "<ERROR> Unable to set string. Destination array is NULL",
        "<ERROR> Unable to initialize the array. Array pointer is NULL",
        "<ERROR> Unable to dealloc string field. String struct is NULL"}},
      {"no record to decode into", [&] { EXPECT_EQ(MSRPBEventDecode(nullptr, 0, nullptr), 0); }, {},
       "<ERROR> Event decoder failed: message_info is NULL\n"},
      {"input cut short", [&] { EXPECT_FALSE(MSRPBEvent::initWithBuffer(ns::Data{0x12, 0x05, 'a'})); }, {},
       "<ERROR> Event decoder failed: parent stream too short\n"},
      {"a message element cut short", [&] {
         EXPECT_FALSE(MSRPBEvent::initWithBuffer(ns::Data{0x0a, 0x02, 0x0a, 0x05}));
       },
       {},
       "<ERROR> EventParam decoder failed: parent stream too short\n"
       "<ERROR> EventParam decoder failed: Unable to decode repeated EventParam\n"
       "<ERROR> Event decoder failed: parent stream too short\n"},
      {"a zero tag", [&] { EXPECT_FALSE(MSRPBEvent::initWithBuffer(ns::Data{0x18, 0x01, 0x00, 0x18})); }, {},
       "<ERROR> Event decoder failed: zero tag\n"},
      {"a wrong wire type", [&] { EXPECT_FALSE(MSRPBEvent::initWithBuffer(ns::Data{0x1a, 0x00})); }, {},
       "<ERROR> Event decoder failed: wrong wire type\n"},
  };
  CapturedTexts capture;
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    capture.clear();
    testCase.act();
    EXPECT_EQ(capture.logged(), testCase.logged);
    EXPECT_EQ(capture.printed(), testCase.printed);
  }
  // Nothing refused changed the event.
  EXPECT_EQ(event->protoBuffer(), (ns::Data{0x12, 0x01, 'e'}));
}

TEST(WireAccessorsTest, EachTypeRefusesObjectsOfAnother) {
  struct Case {
    int32_t offset;  // from the first repeated index
    MSRPBArrayElement wrong;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, ns::Value("1"), "Boolean fields expect NSNumber. Type: NSString"},
      {1, ns::Value(ns::Data{}), "Enum fields expect NSNumber. Type: NSData"},
      {2, ns::Value(), "Int32 fields expect NSNumber. Type: NSNull"},
      {3, ns::Value(ns::Array{}), "Int32 fields expect NSNumber. Type: NSArray"},
      {4, ns::Value(ns::Dictionary{}), "Int64 fields expect NSNumber. Type: NSDictionary"},
      {5, ns::Value(ns::Date()), "Int64 fields expect NSNumber. Type: NSDate"},
      {6, ns::Value("1.5"), "Float fields expect NSNumber. Type: NSString"},
      {7, MSRPBLeaf::initWithBuffer(std::nullopt), "Double fields expect NSNumber. Type: MSRPBLeaf"},
      {8, ns::Value(1), "String fields expect NSString. Type: NSNumber"},
      {9, ns::Value("bytes"), "Bytes fields expect NSData. Type: NSString"},
      {10, ns::Value(true), "Message fields expect NANOMessageBase. Type: NSNumber"},
      {10, MSRPBLeaf::initWithBuffer(std::nullopt), "Message fields expect MSRPBAllKinds. Type: MSRPBLeaf"},
  };
  CapturedTexts capture;
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.text);
    capture.clear();
    auto message = MSRPBAllKinds::initWithBuffer(std::nullopt);
    MSRPBMessageSetArray(message.get(), kRepeated + testCase.offset, {testCase.wrong});
    EXPECT_EQ(capture.logged(), std::vector<std::string>{std::string("<ERROR> Invalid object type. ") + testCase.text});
    EXPECT_EQ(MSRPBMessageGetArray(message.get(), kRepeated + testCase.offset, makeKindsElement), MSRPBArray{});
  }
}

}  // namespace
