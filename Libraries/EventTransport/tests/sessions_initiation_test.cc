// When sessions start and what identifies them, on the virtual clock: one
// session at launch, a new one after a background period longer than the
// timeout, IDs of 32 hexadecimal digits, and the event's time stamp.
#include <gtest/gtest.h>

#include <set>

#include "Libraries/EventTransport/Sessions/SessionGenerator.h"
#include "Libraries/EventTransport/Sessions/SessionInitiator.h"
#include "Libraries/EventTransport/Sessions/Time.h"
#include "Libraries/EventTransport/tests/SessionsTestSupport.h"
#include "Platform/Foundation/Clock.h"

namespace {

// An initiator whose start action makes the next session, as the sessions
// component wires it, on a virtual clock; the sessions are kept in order.
class SessionInitiationTest : public ::testing::Test {
 protected:
  void SetUp() override { ns::Clock::useVirtual(ns::Date::fromUnixTime(1767225600)); }
  void TearDown() override { ns::Clock::useReal(); }

  void launch(double timeout = 1800) {
    initiator_ = std::make_unique<SessionInitiator>(std::make_shared<sessions_testing::FixedSettings>(timeout));
    initiator_->setInitiateSessionStart([this] { sessions_.push_back(generator_.nextSession()); });
    initiator_->initiateSessionStart();  // the cold start
  }
  // Backgrounded for `seconds`, then active again.
  void background(double seconds) {
    initiator_->appBackgrounded();
    ns::Clock::advance(seconds);
    initiator_->appForegrounded();
  }

  SessionGenerator generator_{true};
  std::unique_ptr<SessionInitiator> initiator_;
  std::vector<SessionInfo> sessions_;
};

TEST_F(SessionInitiationTest, OneSessionAtLaunchAndNoneAtTheFirstActivation) {
  EXPECT_EQ(generator_.currentSession(), std::nullopt);
  launch();
  initiator_->appForegrounded();
  ns::Clock::advance(100000);
  initiator_->appForegrounded();  // never backgrounded: measured from the distant future
  ASSERT_EQ(sessions_.size(), 1u);
  EXPECT_EQ(sessions_[0].sessionIndex, 0);
  EXPECT_EQ(sessions_[0].firstSessionId, sessions_[0].sessionId);
  EXPECT_TRUE(sessions_[0].shouldDispatchEvents);
  EXPECT_EQ(generator_.currentSession(), sessions_[0]);
}

TEST_F(SessionInitiationTest, ABackgroundPeriodLongerThanTheTimeoutStartsTheNextSession) {
  launch();
  background(1800);
  ASSERT_EQ(sessions_.size(), 1u) << "exactly the timeout starts none";
  background(1801);
  ASSERT_EQ(sessions_.size(), 2u);
  EXPECT_EQ(sessions_[1].sessionIndex, 1);
  EXPECT_EQ(sessions_[1].firstSessionId, sessions_[0].sessionId);
  EXPECT_NE(sessions_[1].sessionId, sessions_[0].sessionId);
  EXPECT_EQ(generator_.currentSession(), sessions_[1]);

  // Another activation 100 s later without a background period in between
  // (after a system alert) measures from the same background time again.
  background(2000);
  ASSERT_EQ(sessions_.size(), 3u);
  ns::Clock::advance(100);
  initiator_->appForegrounded();
  ASSERT_EQ(sessions_.size(), 4u);
  EXPECT_EQ(sessions_[3].sessionIndex, 3);
  EXPECT_EQ(sessions_[3].firstSessionId, sessions_[0].sessionId);
}

TEST_F(SessionInitiationTest, TheSettingsTimeoutDecides) {
  launch(60);
  background(60);
  EXPECT_EQ(sessions_.size(), 1u);
  background(61);
  EXPECT_EQ(sessions_.size(), 2u);
}

TEST_F(SessionInitiationTest, SessionIDsAre32LowercaseHexadecimalDigits) {
  SessionGenerator sampledOut(false);
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    SessionInfo session = sampledOut.nextSession();
    EXPECT_EQ(session.sessionIndex, i);
    EXPECT_FALSE(session.shouldDispatchEvents);
    ASSERT_EQ(session.sessionId.size(), 32u);
    EXPECT_EQ(session.sessionId.find_first_not_of("0123456789abcdef"), std::string::npos) << session.sessionId;
    ids.insert(session.sessionId);
  }
  EXPECT_EQ(ids.size(), 200u);
}

TEST_F(SessionInitiationTest, TheTimeStampHasWholeSecondsInMicroseconds) {
  ns::Clock::setWallTime(ns::Date::fromUnixTime(1700000000.9));
  EXPECT_EQ(Time().timestampUs(), 1700000000000000u);
  ns::Clock::setWallTime(ns::Date::fromUnixTime(-5));
  EXPECT_EQ(Time().timestampUs(), 0u);
}

}  // namespace
