#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/KeyedArchiver.h"

namespace {

using ztcor_testing::BytesPayload;
using ztcor_testing::makeEvent;
using ztcor_testing::TransportTest;

std::string text(const std::optional<ns::Data>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "(none)";
}

ns::Data bytesOf(const std::string& s) { return ns::Data(s.begin(), s.end()); }

// An archive under the event's class name holding only the chosen keys.
class PartialEvent : public ns::Coding {
 public:
  explicit PartialEvent(bool withID, bool withPayload) : withID_(withID), withPayload_(withPayload) {}
  std::string className() const override { return ZTCOREvent::kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    if (withID_) coder.encodeString("0123456789ABCDEF0123456789ABCDEF", kZTCOREventEventIDKey);
    coder.encodeString("1974", kZTCOREventMappingIDKey);
    coder.encodeInteger(1001, kZTCOREventTargetKey);
    if (withPayload_) coder.encodeData({7, 8}, kZTCOREventSerializedDataObjectBytesKey);
  }

 private:
  bool withID_, withPayload_;
};

using EventTest = TransportTest;

TEST_F(EventTest, CreationChecksItsArgumentsAndSetsDefaults) {
  EXPECT_EQ(ZTCOREvent::initWithMappingID("", 1001), nullptr);
  EXPECT_EQ(ZTCOREvent::initWithMappingID("1974", 0), nullptr);
  auto odd = ZTCOREvent::initWithMappingID("1974", 5);  // no storage, still an event
  ASSERT_NE(odd, nullptr);

  auto event = ZTCOREvent::initWithMappingID("1974", 1001);
  EXPECT_EQ(event->qosTier(), 3);
  EXPECT_TRUE(std::regex_match(event->eventID(), std::regex("^[0-9A-F]{32}$"))) << event->eventID();
  EXPECT_NE(event->eventID(), odd->eventID());
  ASSERT_TRUE(event->expirationDate());
  EXPECT_DOUBLE_EQ(event->expirationDate()->timeIntervalSince(ns::Date::now()), 604800);
}

TEST_F(EventTest, SettingTheDataObjectTakesItsBytes) {
  auto event = ZTCOREvent::initWithMappingID("1974", 1001);
  event->setDataObject(std::make_shared<BytesPayload>("abc"));
  EXPECT_EQ(text(event->serializedDataObjectBytes()), "abc");
  event->setDataObject(nullptr);
  EXPECT_FALSE(event->serializedDataObjectBytes());
}

TEST_F(EventTest, CopyKeepsIdentityButNotExpiration) {
  auto event = makeEvent("1974", 1001, 5);
  event->setClockSnapshot(ZTCORClock::snapshot());
  event->setEventCode(9);
  ns::Clock::advance(60);
  auto copy = event->copy();
  EXPECT_EQ(copy->eventID(), event->eventID());
  EXPECT_EQ(copy->qosTier(), 5);
  EXPECT_TRUE(copy->clockSnapshot()->isEqual(*event->clockSnapshot()));
  EXPECT_EQ(copy->customBytes(), event->customBytes());
  EXPECT_EQ(copy->serializedDataObjectBytes(), event->serializedDataObjectBytes());
  EXPECT_DOUBLE_EQ(copy->expirationDate()->timeIntervalSince(*event->expirationDate()), 60);
  EXPECT_TRUE(copy->isEqual(*event));
}

TEST_F(EventTest, ArchiveKeepsEveryFieldButTheDataObject) {
  auto event = makeEvent("map-1/x", 1002, 4, "payload bytes");
  event->setClockSnapshot(std::make_shared<ZTCORClock>(1000, 3600, 5, 6));
  event->setEventCode(42);
  ns::Error error;
  auto archive = ZTCORArchiveObject(event, "", &error);
  ASSERT_TRUE(archive);
  auto back = ZTCORUnarchiveData(ZTCOREvent::kClassName, *archive, &error).objectAs<ZTCOREvent>();
  ASSERT_TRUE(back) << error.description();
  EXPECT_TRUE(back->isEqual(*event));
  EXPECT_EQ(back->mappingID(), "map-1/x");
  EXPECT_EQ(back->target(), 1002);
  EXPECT_EQ(back->qosTier(), 4);
  EXPECT_EQ(back->customBytes(), event->customBytes());
  EXPECT_EQ(back->expirationDate(), event->expirationDate());
  EXPECT_EQ(text(back->serializedDataObjectBytes()), "payload bytes");
  EXPECT_EQ(back->dataObject(), nullptr);
}

TEST_F(EventTest, ArchivesWithoutIDOrPayload) {
  ns::Error error;
  auto noID = ns::KeyedArchiver::archivedDataWithRootObject(std::make_shared<PartialEvent>(false, true), true, &error);
  auto event = ZTCORUnarchiveData(ZTCOREvent::kClassName, *noID, &error).objectAs<ZTCOREvent>();
  ASSERT_TRUE(event);
  EXPECT_TRUE(std::regex_match(event->eventID(), std::regex("^[0-9A-F]{32}$")));
  EXPECT_EQ(event->qosTier(), 0);  // none archived
  EXPECT_FALSE(event->expirationDate());

  auto noPayload =
      ns::KeyedArchiver::archivedDataWithRootObject(std::make_shared<PartialEvent>(true, false), true, &error);
  EXPECT_FALSE(ZTCORUnarchiveData(ZTCOREvent::kClassName, *noPayload, &error).objectAs<ZTCOREvent>());
}

// Their XOR hashes agree (1001 ^ 3 == 1002 ^ 0): equality must not rest on them.
TEST_F(EventTest, EventsDifferingOnlyInTargetAndTierAreUnequal) {
  auto first = makeEvent("1974", 1001, 3);
  auto second = std::make_shared<ZTCOREvent>(first->eventID(), "1974", 1002);
  second->setQosTier(0);
  second->setDataObject(std::make_shared<BytesPayload>("payload"));
  ASSERT_EQ(1001 ^ 3, 1002 ^ 0);
  EXPECT_FALSE(first->isEqual(*second));
  ZTCOREventSet set{first, second};
  EXPECT_EQ(set.size(), 2u);
}

TEST_F(EventTest, ClocksWithSwappedFieldsAreUnequal) {
  ZTCORClock a(1, 2, 3, 4), b(2, 1, 3, 4);
  EXPECT_FALSE(a.isEqual(b));
  EXPECT_TRUE(a.isEqual(ZTCORClock(1, 2, 3, 4)));
}

TEST_F(EventTest, IsAfterComparesBootsThenUTCMillis) {
  // Same boot: the zone offset is not a time.
  ZTCORClock earlierWithZone(1000, 3600, 7, 0), later(1500, 0, 7, 0);
  EXPECT_FALSE(earlierWithZone.isAfter(later));
  EXPECT_TRUE(later.isAfter(earlierWithZone));
  // A later boot is after whatever the wall times say.
  ZTCORClock oldBoot(9999999, 0, 1, 0), newBoot(1, 0, 2, 0);
  EXPECT_TRUE(newBoot.isAfter(oldBoot));
  EXPECT_FALSE(oldBoot.isAfter(newBoot));
}

TEST_F(EventTest, SnapshotUnderTheVirtualClock) {
  auto first = ZTCORClock::snapshot();
  EXPECT_EQ(first->timeMillis(), static_cast<int64_t>(ztcor_testing::kStartUnixTime * 1000));
  EXPECT_GE(first->uptimeNanoseconds(), 0);
  EXPECT_LT(first->kernelBootTimeNanoseconds(), first->timeMillis() * 1000000);
  EXPECT_EQ(first->timezoneOffsetSeconds(), 0);  // the device's zone is UTC
  ns::Clock::advance(10);
  auto second = ZTCORClock::snapshot();
  EXPECT_EQ(second->kernelBootTimeNanoseconds(), first->kernelBootTimeNanoseconds());
  EXPECT_EQ(second->uptimeNanoseconds() - first->uptimeNanoseconds(), 10000000000);
  EXPECT_EQ(second->uptimeMilliseconds(), second->uptimeNanoseconds() / 1000000);
  EXPECT_EQ(ZTCORClock::clockSnapshotInTheFuture(500)->timeMillis(), second->timeMillis() + 500);
  EXPECT_TRUE(second->isAfter(*first));
}

// Each row: custom bytes before (nullopt: none), one change, the bytes after.
TEST_F(EventTest, CustomBytesChanges) {
  using Change = std::function<void(ZTCOREvent&)>;
  auto setCode = [](std::optional<int64_t> code) { return Change([=](ZTCOREvent& e) { e.setEventCode(code); }); };
  auto setFlag = [](bool flag) { return Change([=](ZTCOREvent& e) { e.setNeedsNetworkConnectionInfoPopulated(flag); }); };
  auto setInfo = [](std::optional<ns::Data> data) {
    return Change([=](ZTCOREvent& e) { e.setNetworkConnectionInfoData(data); });
  };
  struct Case {
    std::optional<std::string> before;
    Change change;
    std::optional<std::string> after;
  } cases[] = {
      {std::nullopt, setCode(42), R"({"event_code_info":"42"})"},
      {R"({"event_code_info":"42"})", setCode(std::nullopt), "{}"},
      {std::nullopt, setCode(std::nullopt), std::nullopt},
      {std::nullopt, setFlag(true), R"({"needs_network_connection_info":true})"},
      {std::nullopt, setFlag(false), std::nullopt},
      {R"({"needs_network_connection_info":true,"event_code_info":"7"})", setFlag(false), R"({"event_code_info":"7"})"},
      {R"({"event_code_info":"7"})", setInfo(ns::Data{0xff, 0x00, 0x10}),
       // The platform's serializer escapes "/".
       R"({"event_code_info":"7","network_connection_info":"\/wAQ"})"},
      {R"({"event_code_info":"7"})", setInfo(std::nullopt), R"({"event_code_info":"7"})"},
      // Bytes that do not parse: no setter changes them.
      {"not json", setCode(1), "not json"},
      {"not json", setFlag(true), "not json"},
      {"not json", setInfo(ns::Data{1}), "not json"},
      {"[1]", setCode(1), "[1]"},
  };
  for (const auto& c : cases) {
    auto event = makeEvent("1974", 1001);
    if (c.before) event->setCustomBytes(bytesOf(*c.before));
    c.change(*event);
    EXPECT_EQ(text(event->customBytes()), c.after.value_or("(none)")) << c.before.value_or("(none)");
  }
}

// Each row: custom bytes, then what the three readers answer.
TEST_F(EventTest, CustomBytesReads) {
  struct Case {
    std::optional<std::string> bytes;
    bool needsInfo;
    std::optional<ns::Data> info;
    std::optional<int64_t> code;
  } cases[] = {
      {std::nullopt, false, std::nullopt, std::nullopt},
      {R"({"needs_network_connection_info":true,"network_connection_info":"/wAQ","event_code_info":"42"})", true,
       ns::Data{0xff, 0x00, 0x10}, 42},
      {R"({"event_code_info":"-3"})", false, std::nullopt, -3},
      {"not json", false, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    auto event = makeEvent("1974", 1001);
    if (c.bytes) event->setCustomBytes(bytesOf(*c.bytes));
    EXPECT_EQ(event->needsNetworkConnectionInfoPopulated(), c.needsInfo) << c.bytes.value_or("(none)");
    EXPECT_EQ(event->networkConnectionInfoData(), c.info) << c.bytes.value_or("(none)");
    EXPECT_EQ(event->eventCode(), c.code) << c.bytes.value_or("(none)");
  }
}

TEST_F(EventTest, ClearingTheFlagWithoutAnEventCodeClearsIt) {
  auto event = makeEvent("1974", 1001);
  event->setNeedsNetworkConnectionInfoPopulated(true);
  EXPECT_EQ(text(event->customBytes()), R"({"needs_network_connection_info":true})");
  event->setNeedsNetworkConnectionInfoPopulated(false);
  EXPECT_FALSE(event->needsNetworkConnectionInfoPopulated());
}

}  // namespace
