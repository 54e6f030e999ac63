#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/HeartbeatController.h"
#include "Libraries/TelemetryCore/ZOVHeartbeatLogger.h"
#include "Libraries/TelemetryCore/tests/HeartbeatTestSupport.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {
namespace {

using zovcore::HeartbeatsBundle;

class HeartbeatsTest : public HeartbeatTest {
 protected:
  // The logger's agent is whatever the test last set.
  std::string agent = "agent/1";
  ZOVHeartbeatLogger makeLogger() {
    return ZOVHeartbeatLogger(kTestAppID, [this] { return agent; });
  }
  static std::string json(const ZOVHeartbeatsPayload& payload) { return payload.payload().jsonText(); }
};

TEST_F(HeartbeatsTest, OneHeartbeatPerGMTDayInAnyDeviceZone) {
  for (const char* zone : {"Asia/Tokyo", "America/Los_Angeles"}) {
    SCOPED_TRACE(zone);
    ns::DeviceFacts facts;
    facts.timeZoneName = zone;
    useApp({}, {}, facts);
    moveClockTo("2021-11-01T23:30:00Z");  // already 2 November in Tokyo
    ZOVHeartbeatLogger logger = makeLogger();
    logger.log();
    moveClockTo("2021-11-01T23:59:59Z");
    logger.log();
    EXPECT_EQ(storedBundle()->buffer.elements().size(), 1u);
    moveClockTo("2021-11-02T00:00:00Z");  // still 1 November in Los Angeles
    logger.log();
    EXPECT_EQ(json(logger.flushHeartbeatsIntoPayload()),
              R"({"heartbeats":[{"agent":"agent/1","dates":["2021-11-01","2021-11-02"]}],"version":2})");
  }
}

TEST_F(HeartbeatsTest, AFlushDrainsButTheDayStaysRecorded) {
  ZOVHeartbeatLogger logger = makeLogger();
  EXPECT_TRUE(logger.flushHeartbeatsIntoPayload().isEmpty()) << "nothing stored yet";
  logger.log();
  EXPECT_EQ(json(logger.flushHeartbeatsIntoPayload()),
            R"({"heartbeats":[{"agent":"agent/1","dates":["2021-11-01"]}],"version":2})");
  EXPECT_TRUE(logger.flushHeartbeatsIntoPayload().isEmpty()) << "the second flush in a row";
  logger.log();
  EXPECT_TRUE(logger.flushHeartbeatsIntoPayload().isEmpty()) << "the day was recorded before the flush";
  moveClockTo("2021-11-02T08:00:00Z");
  logger.log();
  EXPECT_EQ(json(logger.flushHeartbeatsIntoPayload()),
            R"({"heartbeats":[{"agent":"agent/1","dates":["2021-11-02"]}],"version":2})");
}

TEST_F(HeartbeatsTest, TodaysHeartbeatIsTakenOutAlone) {
  ZOVHeartbeatLogger logger = makeLogger();
  logger.log();
  moveClockTo("2021-11-02T10:00:00Z");
  logger.log();
  EXPECT_EQ(logger.heartbeatCodeForToday(), 2);
  EXPECT_EQ(logger.heartbeatCodeForToday(), 0) << "already taken";
  logger.log();
  EXPECT_EQ(logger.heartbeatCodeForToday(), 0) << "the day stays recorded";
  EXPECT_EQ(json(logger.flushHeartbeatsIntoPayload()),
            R"({"heartbeats":[{"agent":"agent/1","dates":["2021-11-01"]}],"version":2})");
}

TEST_F(HeartbeatsTest, WithOnlyOlderHeartbeatsTodaysRemovalMovesThemOneSlotBack) {
  ZOVHeartbeatLogger logger = makeLogger();
  logger.log();
  moveClockTo("2021-11-02T10:00:00Z");
  logger.log();  // slots 0 and 1, tail 2
  moveClockTo("2021-11-03T10:00:00Z");
  EXPECT_TRUE(logger.heartbeatController().flushHeartbeatFromToday().isEmpty());
  HeartbeatsBundle bundle = *storedBundle();
  EXPECT_EQ(bundle.buffer.tailIndex(), 1);
  ASSERT_TRUE(bundle.buffer.circularQueue()[29] && bundle.buffer.circularQueue()[0]);
  EXPECT_EQ(bundle.buffer.circularQueue()[29]->date, at("2021-11-01T00:00:00Z"));
  EXPECT_EQ(bundle.buffer.circularQueue()[0]->date, at("2021-11-02T00:00:00Z"));
  EXPECT_EQ(bundle.buffer.elements().size(), 2u);
}

TEST_F(HeartbeatsTest, TheThirtyFirstDayOverwritesTheOldest) {
  ZOVHeartbeatLogger logger = makeLogger();
  for (int day = 0; day < 31; ++day) {
    ns::Clock::setWallTime(at("2021-11-01T12:00:00Z").addingTimeInterval(day * 86400.0));
    logger.log();
  }
  HeartbeatsBundle bundle = *storedBundle();
  EXPECT_EQ(bundle.buffer.tailIndex(), 1);
  EXPECT_EQ(bundle.buffer.circularQueue()[0]->date, at("2021-12-01T00:00:00Z"));
  EXPECT_EQ(bundle.buffer.circularQueue()[1]->date, at("2021-11-02T00:00:00Z"));
  zovcore::HeartbeatsPayload payload = logger.flushHeartbeatsIntoPayload().payload();
  ASSERT_EQ(payload.userAgentPayloads.size(), 1u);
  EXPECT_EQ(payload.userAgentPayloads[0].dates.size(), 30u);
  EXPECT_EQ(payload.userAgentPayloads[0].dates.front(), at("2021-12-01T00:00:00Z")) << "slot order";
}

TEST_F(HeartbeatsTest, ADamagedTailStartsAFreshBufferWithADiagnosticHeartbeat) {
  HeartbeatsBundle damaged;
  damaged.buffer = zovcore::RingBuffer<zovcore::Heartbeat>(damaged.buffer.circularQueue(), 30);
  storeBundle(damaged);
  makeLogger().log();
  HeartbeatsBundle bundle = *storedBundle();
  EXPECT_EQ(bundle.capacity, 30);
  EXPECT_EQ(bundle.buffer.tailIndex(), 1);
  std::vector<zovcore::Heartbeat> heartbeats = bundle.buffer.elements();
  ASSERT_EQ(heartbeats.size(), 1u);
  EXPECT_EQ(heartbeats[0].agent, "agent/1 error/Out-of-bounds-push-at-index-30-to-ring-buffer-withend-index-of-30.");
  EXPECT_EQ(heartbeats[0].date, at("2021-11-01T00:00:00Z"));
  EXPECT_EQ(bundle.lastAddedHeartbeatDates.at(zovcore::TimePeriod::daily), at("2021-11-01T00:00:00Z"));
}

TEST_F(HeartbeatsTest, ThePayloadSortsAgentsAndItsHeaderValueReadsBackInPython) {
  ZOVHeartbeatLogger logger = makeLogger();
  agent = "b-agent/2";
  logger.log();
  moveClockTo("2021-11-02T12:00:00Z");
  agent = "a-agent/1";
  logger.log();
  moveClockTo("2021-11-03T12:00:00Z");
  agent = "b-agent/2";
  logger.log();

  ZOVHeartbeatsPayload payload = logger.flushHeartbeatsIntoPayload();
  std::optional<std::string> header = ZOVHeartbeatHeaderValueForPayload(payload);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->find_first_of("=+/"), std::string::npos) << *header;
  int status = 0;
  std::string decoded = ns::testing::runCommand(
      "python3 -c 'import base64, gzip, json, sys; s = sys.argv[1]; s += \"=\" * (-len(s) % 4); "
      "print(json.dumps(json.loads(gzip.decompress(base64.urlsafe_b64decode(s))), sort_keys=True))' '" +
          *header + "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << decoded;
  EXPECT_EQ(decoded,
            R"({"heartbeats": [{"agent": "a-agent/1", "dates": ["2021-11-02"]}, )"
            R"({"agent": "b-agent/2", "dates": ["2021-11-01", "2021-11-03"]}], "version": 2})"
            "\n");

  EXPECT_FALSE(ZOVHeartbeatHeaderValueForPayload(logger.flushHeartbeatsIntoPayload())) << "nothing stored";
}

}  // namespace
}  // namespace zov_testing
