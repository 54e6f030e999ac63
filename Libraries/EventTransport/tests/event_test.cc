#include <gtest/gtest.h>

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

TEST_F(EventTest, CustomBytes) {
  auto event = makeEvent("1974", 1001);
  EXPECT_FALSE(event->needsNetworkConnectionInfoPopulated());
  EXPECT_FALSE(event->eventCode());

  event->setEventCode(42);
  EXPECT_EQ(text(event->customBytes()), R"({"event_code_info":"42"})");
  EXPECT_EQ(event->eventCode(), 42);
  event->setEventCode(std::nullopt);
  EXPECT_EQ(text(event->customBytes()), "{}");

  event->setCustomBytes(bytesOf(R"({"needs_network_connection_info":true,"event_code_info":"7"})"));
  EXPECT_TRUE(event->needsNetworkConnectionInfoPopulated());
  event->setNeedsNetworkConnectionInfoPopulated(false);
  EXPECT_EQ(text(event->customBytes()), R"({"event_code_info":"7"})");

  event->setNetworkConnectionInfoData(ns::Data{0xff, 0x00, 0x10});
  // The platform's serializer escapes "/".
  EXPECT_EQ(text(event->customBytes()), R"({"event_code_info":"7","network_connection_info":"\/wAQ"})");
  EXPECT_EQ(event->networkConnectionInfoData(), (ns::Data{0xff, 0x00, 0x10}));

  // Bytes that do not parse: setters change nothing, getters answer nothing.
  event->setCustomBytes(bytesOf("not json"));
  event->setEventCode(1);
  event->setNeedsNetworkConnectionInfoPopulated(true);
  EXPECT_EQ(text(event->customBytes()), "not json");
  EXPECT_FALSE(event->eventCode());
  EXPECT_FALSE(event->needsNetworkConnectionInfoPopulated());
}

TEST_F(EventTest, ClearingTheFlagWithoutAnEventCodeClearsIt) {
  auto event = makeEvent("1974", 1001);
  event->setNeedsNetworkConnectionInfoPopulated(true);
  EXPECT_EQ(text(event->customBytes()), R"({"needs_network_connection_info":true})");
  event->setNeedsNetworkConnectionInfoPopulated(false);
  EXPECT_FALSE(event->needsNetworkConnectionInfoPopulated());
}

}  // namespace
