// Request back-off on an injected clock, and which outcomes count as which
// events.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "Libraries/TelemetryCore/ZEVUdederozedaruBackoffController.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Platform/Network/URLError.h"

namespace {

using Event = ZEVUdederozedaruBackoffEvent;

class BackoffTest : public ::testing::Test {
 protected:
  ns::Date now{1000};
  ZEVUdederozedaruBackoffController controller{[this] { return now; }};

  bool allowedAfter(double seconds) {
    ns::Date saved = now;
    now = now.addingTimeInterval(seconds);
    bool allowed = controller.isNextRequestAllowed();
    now = saved;
    return allowed;
  }
};

TEST_F(BackoffTest, ASuccessLiftsEveryWait) {
  EXPECT_TRUE(controller.isNextRequestAllowed()) << "before any event";
  controller.registerEvent(Event::RecoverableFailure);
  EXPECT_FALSE(controller.isNextRequestAllowed());
  controller.registerEvent(Event::Success);
  EXPECT_TRUE(controller.isNextRequestAllowed()) << "right after a success";
  EXPECT_EQ(controller.lastEventData()->eventCount(), 1);
}

TEST_F(BackoffTest, ARecoverableFailureWaitsTwoSecondsAndLessThanOneMore) {
  controller.registerEvent(Event::RecoverableFailure);  // a final 500
  EXPECT_FALSE(allowedAfter(1.5));
  EXPECT_TRUE(allowedAfter(3));
  double wait = controller.lastEventData()->backoffTimeInterval();
  EXPECT_GE(wait, 2.0);
  EXPECT_LE(wait, 2.999);
}

TEST_F(BackoffTest, AnUnrecoverableFailureWaitsADayAndAnotherKindStartsItsCountAgain) {
  controller.registerEvent(Event::UnrecoverableFailure);  // a 400
  EXPECT_FALSE(allowedAfter(86399.9));
  EXPECT_TRUE(allowedAfter(86400));

  now = now.addingTimeInterval(86400);
  controller.registerEvent(Event::RecoverableFailure);
  EXPECT_EQ(controller.lastEventData()->eventCount(), 1);
  EXPECT_LT(controller.lastEventData()->backoffTimeInterval(), 3.0);
}

TEST_F(BackoffTest, FailuresInARowDoubleTheWaitUpToHalfAnHour) {
  for (int count = 1; count <= 12; ++count) {
    controller.registerEvent(Event::RecoverableFailure);
    auto data = *controller.lastEventData();
    EXPECT_EQ(data.eventCount(), count);
    if (count <= 10) {
      EXPECT_GE(data.backoffTimeInterval(), double(1 << count)) << count;
      EXPECT_LT(data.backoffTimeInterval(), double(1 << count) + 1) << count;
    } else {
      EXPECT_EQ(data.backoffTimeInterval(), 1800.0) << count;
    }
  }
}

TEST_F(BackoffTest, AClockThatWentBackKeepsRequestsRefused) {
  controller.registerEvent(Event::RecoverableFailure);
  EXPECT_FALSE(allowedAfter(-3600));
  EXPECT_TRUE(allowedAfter(3));
}

TEST(BackoffWaitTest, EachEventHasItsWait) {
  struct Case {
    int64_t event;
    int64_t count;
    double least;
    double most;
  };
  const std::vector<Case> cases = {
      {0, 5, 0, 0}, {1, 1, 2, 2.999}, {1, 3, 8, 8.999}, {1, 11, 1800, 1800}, {1, 40, 1800, 1800},
      {2, 1, 86400, 86400}, {2, 7, 86400, 86400}, {3, 1, 0, 0}, {-1, 1, 0, 0},
  };
  for (const auto& c : cases) {
    double wait = ZEVUdederozedaruBackoffEventData::backoffTimeIntervalWithEvent(Event(c.event), c.count);
    EXPECT_GE(wait, c.least) << c.event << " x" << c.count;
    EXPECT_LE(wait, c.most) << c.event << " x" << c.count;
  }
}

TEST(BackoffWaitTest, TheRandomPartIsWholeMillisecondsBelowOneSecond) {
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    double seconds = ZEVUdederozedaruBackoffEventData::randomMilliseconds();
    int millis = static_cast<int>(seconds * 1000 + 0.5);
    ASSERT_GE(millis, 0);
    ASSERT_LE(millis, 999);
    ASSERT_NEAR(seconds, millis * 0.001, 1e-9);
    seen.insert(millis);
  }
  EXPECT_GT(seen.size(), 500u) << "spread over the range";
}

TEST(BackoffOutcomeTest, OutcomesCountAsEvents) {
  auto http = [](int status) {
    return ZEVUdederozedaruErrorUtil::APIErrorWithHTTPResponse(
        net::HTTPURLResponse(*ns::URL::withString("https://installations.dozaveve.example/v1"), status, {}), {});
  };
  struct Case {
    const char* what;
    std::optional<ns::Error> error;
    std::optional<Event> event;
  };
  const std::vector<Case> cases = {
      {"success", std::nullopt, Event::Success},
      {"400", http(400), Event::UnrecoverableFailure},
      {"403", http(403), Event::UnrecoverableFailure},
      {"401", http(401), std::nullopt},
      {"404", http(404), std::nullopt},
      {"429", http(429), Event::RecoverableFailure},
      {"500", http(500), Event::RecoverableFailure},
      {"503", http(503), Event::RecoverableFailure},
      {"no HTTP answer", ns::Error(net::kURLErrorDomain, net::kURLErrorCannotConnectToHost), std::nullopt},
      {"an installations error without a response", ZEVUdederozedaruErrorUtil::backoffIntervalWaitError(),
       std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZEVUdederozedaruBackoffEventForOutcome(c.error), c.event) << c.what;
  }
}

}  // namespace
