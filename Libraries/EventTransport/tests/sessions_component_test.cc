// The sessions component: its start flow from a new session to the logged
// outcome and its subscribers.
#include <gtest/gtest.h>

#include "Libraries/EventTransport/Sessions/SessionGenerator.h"
#include "Libraries/EventTransport/Sessions/SessionsSampling.h"
#include "Libraries/EventTransport/Sessions/ZOVSessions.h"
#include "Libraries/EventTransport/tests/SessionsAppTestSupport.h"

namespace ses_testing {
namespace {

const SessionsLine kNoDependencies{
    3, "Sessions SDK did not have any dependent SDKs register as dependencies. Events will not be sent."};
const SessionsLine kSuccess{6, "Successfully logged Session Start event"};
const SessionsLine kDataCollectionOff{7,
                                      "Data Collection is disabled for all subscribers. Skipping this Session Event"};
const SessionsLine kSampled{7, "Sessions SDK has sampled this session"};
const SessionsLine kDisabled{7, "Sessions SDK is disabled via Settings"};

class SessionsComponentTest : public SessionsAppTest {
 protected:
  void SetUp() override {
    SessionsAppTest::SetUp();
    ZOVSessionsDependencies::removeAllDependenciesForTesting();
    SessionsSetRandomSourceForTesting([] { return uint64_t{0}; });
    launchApp();
  }
  void TearDown() override {
    sessions_.reset();
    ZOVSessionsDependencies::removeAllDependenciesForTesting();
    SessionsSetRandomSourceForTesting(nullptr);
    SessionsAppTest::TearDown();
  }

  std::shared_ptr<ZOVSessions> makeSessions(InstallationResult installation = std::string("fid-1")) {
    sessions_ = ZOVSessions::init(kAppID, std::make_shared<FixedInstallations>(std::move(installation)));
    return sessions_;
  }
  std::string currentSessionID() const { return sessions_->sessionGenerator()->currentSession()->sessionId; }
  static int count(const SessionsLine& wanted) {
    int n = 0;
    for (const auto& line : sessionsLines()) n += line == wanted;
    return n;
  }
  // A background period longer than the timeout, then the app is active again.
  void newSessionAfterBackground() {
    ns::NotificationCenter::defaultCenter().post(ui::kApplicationDidEnterBackgroundNotification);
    ns::Clock::advance(1801);
    ns::NotificationCenter::defaultCenter().post(ui::kApplicationDidBecomeActiveNotification);
  }

  std::shared_ptr<ZOVSessions> sessions_;
};

TEST_F(SessionsComponentTest, WithoutDeclaredSubscribersEveryStartStopsButRegisteredOnesStillHearOfSessions) {
  makeSessions();
  EXPECT_EQ(sessionsLines().front(), (SessionsLine{7, "Version 10.16.0. Expecting subscriptions from: []"}));
  EXPECT_EQ(count(kNoDependencies), 1);
  auto subscriber = std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Dodevadarud, true);
  sessions_->registerWithSubscriber(subscriber);
  EXPECT_TRUE(logged({7, "Registering Sessions SDK subscriber with name: Dodevadarud, data collection enabled: true"}));
  std::string coldStart = currentSessionID();
  EXPECT_EQ(subscriber->sessions(), std::vector<std::string>{coldStart});

  newSessionAfterBackground();
  EXPECT_EQ(count(kNoDependencies), 2);
  ASSERT_EQ(subscriber->sessions().size(), 2u);
  EXPECT_EQ(subscriber->sessions()[1], currentSessionID());
  EXPECT_NE(currentSessionID(), coldStart);
}

TEST_F(SessionsComponentTest, ADeclaredSubscriberHearsTheColdStartAtRegistrationAndOnlyThenTheEventGoesOn) {
  ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Dodevadarud);
  ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Dodevadarud);
  makeSessions();
  EXPECT_EQ(sessionsLines().front(), (SessionsLine{7, "Version 10.16.0. Expecting subscriptions from: [Dodevadarud]"}));
  EXPECT_FALSE(waitUntil([] { return logged(kSuccess); }, 0.2)) << "the event waits for the subscriber";

  auto subscriber = std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Dodevadarud, true);
  sessions_->registerWithSubscriber(subscriber);
  EXPECT_EQ(subscriber->sessions(), std::vector<std::string>{currentSessionID()});
  ASSERT_TRUE(waitUntil([] { return logged(kSuccess); }));
  EXPECT_TRUE(logged({7, "Data Collection is enabled for at least one Subscriber"}));
  EXPECT_TRUE(logged({7, "Successfully logged Session Start event to ZeziruRadoVirazaruv"}));

  // Later starts no longer wait.
  newSessionAfterBackground();
  EXPECT_TRUE(waitUntil([] { return count(kSuccess) == 2; }));
}

TEST_F(SessionsComponentTest, EachRefusalEndsInItsOutcomeLine) {
  struct Case {
    const char* name;
    ns::Dictionary info;
    uint64_t draw;
    bool collects;
    InstallationResult installation;
    SessionsLine outcome;
  } cases[] = {
      {"collection off", {}, 0, false, std::string("fid-1"), kDataCollectionOff},
      {"sampled out by a local rate of 0",
       {{"DozaveveSessionsSampingRate", 0}},
       1,
       true,
       std::string("fid-1"),
       kSampled},
      {"sessions disabled locally", {{"DozaveveSessionsEnabled", false}}, 0, true, std::string("fid-1"), kDisabled},
      {"no installation ID",
       {},
       0,
       true,
       ns::Error::withDescription("test", 1, "no FID"),
       {3, "Error getting Dozaveve Installation ID: no FID. Skipping this Session Event"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    launchApp(c.info);
    ZOVSessionsDependencies::removeAllDependenciesForTesting();
    ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Dodevadarud);
    SessionsSetRandomSourceForTesting([draw = c.draw] { return draw; });
    makeSessions(c.installation);
    auto subscriber = std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Dodevadarud, c.collects);
    sessions_->registerWithSubscriber(subscriber);
    EXPECT_EQ(subscriber->sessions(), std::vector<std::string>{currentSessionID()})
        << "the session ID reaches the subscriber whatever the outcome";
    ASSERT_TRUE(waitUntil([&] { return logged(c.outcome); })) << testing::PrintToString(sessionsLines());
    EXPECT_EQ(logged(kSuccess), false);
    sessions_.reset();
  }
}

TEST_F(SessionsComponentTest, ASubscriberRegisteredTwiceHearsEveryChangeTwiceAndIsWalkedTwice) {
  ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Unknown);
  makeSessions();
  auto subscriber = std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Unknown, true);
  sessions_->registerWithSubscriber(subscriber);
  sessions_->registerWithSubscriber(subscriber);
  std::string coldStart = currentSessionID();
  EXPECT_EQ(subscriber->sessions(), (std::vector<std::string>{coldStart, coldStart}));
  const SessionsLine unknown{4, "Attempted to set Data Collection status for unknown Subscriber: Unknown"};
  ASSERT_TRUE(waitUntil([&] { return logged(kSuccess); }));
  EXPECT_EQ(count(unknown), 2);

  newSessionAfterBackground();
  std::string next = currentSessionID();
  EXPECT_EQ(subscriber->sessions(), (std::vector<std::string>{coldStart, coldStart, next, next}));
  EXPECT_TRUE(waitUntil([&] { return count(unknown) == 4; }));
}

}  // namespace
}  // namespace ses_testing
