// The identity over a real persisted configuration on a temporary device:
// version fields, the advertising-identifier rules with stand-ins for the
// platform's classes, the consent rules and the short-lived tokens.
#include <gtest/gtest.h>

#include <condition_variable>
#include <set>

#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/MSRIdentitySupport.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/Runtime/Runtime.h"

namespace {

using msr_testing::ConfigTest;

constexpr const char* kZero = "00000000-0000-0000-0000-000000000000";

// Stand-ins for the platform's tracking and advertising-identifier classes,
// answering the selectors the platform support asks, registered for one
// case.
class PlatformStandIns {
 public:
  PlatformStandIns() {
    auto tracking = std::make_shared<rt::Class>("ATTrackingManager");
    tracking->setMethod("trackingAuthorizationStatus",
                        rt::implementationWithBlock<uint64_t(const rt::Class&)>([this](const rt::Class&) {
                          std::lock_guard lock(mutex_);
                          return status_;
                        }),
                        rt::MethodKind::Class);
    auto manager = std::make_shared<rt::Class>("ASIdentifierManager");
    manager->setMethod("sharedManager",
                       rt::implementationWithBlock<std::shared_ptr<void>(const rt::Class&)>(
                           [this](const rt::Class&) { return instance_; }),
                       rt::MethodKind::Class);
    manager->setMethod("advertisingIdentifier",
                       rt::implementationWithBlock<std::optional<std::string>(const std::shared_ptr<void>&)>(
                           [this](const std::shared_ptr<void>&) {
                             std::lock_guard lock(mutex_);
                             return idfa_;
                           }),
                       rt::MethodKind::Instance);
    rt::registerClass(tracking);
    rt::registerClass(manager);
  }
  ~PlatformStandIns() {
    rt::unregisterClass("ATTrackingManager");
    rt::unregisterClass("ASIdentifierManager");
  }
  void setIDFA(std::optional<std::string> idfa) {
    std::lock_guard lock(mutex_);
    idfa_ = std::move(idfa);
  }

 private:
  std::mutex mutex_;
  uint64_t status_ = 3;
  std::optional<std::string> idfa_;
  std::shared_ptr<void> instance_ = std::make_shared<int>(0);
};

class MSRIdentityTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1'700'000'000));
    config_ = MSRPersistedConfig::initWithSuiteName("identity");
  }
  void TearDown() override {
    MSRConsentSettingsUtil::setConsentSettings(std::nullopt);
    ConfigTest::TearDown();
  }
  // Over the platform support itself: the default support's bounded wait
  // is its own case below, and would make these depend on the machine.
  std::shared_ptr<MSRIdentity> makeIdentity() {
    auto identity = MSRIdentity::initWithPersistedConfig(config_, MSRPlatformIdentitySupport::sharedInstance());
    EXPECT_NE(identity, nullptr);
    return identity;
  }
  std::shared_ptr<MSRPersistedConfig> config_;
};

TEST_F(MSRIdentityTest, VersionFieldsOfTheBundleVersion) {
  struct Case {
    const char* version;
    std::optional<int64_t> major, minor, release;
    bool logged;
  } cases[] = {
      {"1.2.3.4", 1, 2, 3, false},
      {"1a2", 12, std::nullopt, std::nullopt, true},
      {"", std::nullopt, std::nullopt, std::nullopt, false},
      {"7..x", 7, 0, std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"},
                                     {"CFBundleVersion", c.version},
                                     {"CFBundleShortVersionString", "3.1"}});
    monitor_.clear();
    auto identity = makeIdentity();
    EXPECT_EQ(identity->appVersionMajor(), c.major);
    EXPECT_EQ(identity->appVersionMinor(), c.minor);
    EXPECT_EQ(identity->appVersionRelease(), c.release);
    EXPECT_EQ(identity->appVersion(), "3.1");
    EXPECT_EQ(identity->appID(), "com.example.notes");
    EXPECT_EQ(monitor_.contains(20002), c.logged);
  }
}

TEST_F(MSRIdentityTest, AdvertisingIdentifierRules) {
  PlatformStandIns platform;
  auto identity = makeIdentity();
  std::string first = *identity->appInstanceID();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(identity->appleConsentStatus(), 3u);

  platform.setIDFA("11111111-2222-3333-4444-555555555555");
  ns::Clock::advance(2);
  EXPECT_EQ(identity->resettableDeviceID(), "11111111-2222-3333-4444-555555555555");
  // The first identifier ever seen keeps the app instance ID, no marker.
  EXPECT_EQ(identity->appInstanceID(), first);
  EXPECT_EQ(config_->hashedResettableDeviceID(), msr_MD5String("11111111-2222-3333-4444-555555555555"));
  EXPECT_FALSE(identity->shouldSetLastAdvertisingIDResetUserProperty());

  // The all-zero identifier is never hashed and clears the cached one.
  platform.setIDFA(kZero);
  ns::Clock::advance(2);
  EXPECT_EQ(identity->resettableDeviceID(), std::nullopt);
  EXPECT_EQ(config_->hashedResettableDeviceID(), msr_MD5String("11111111-2222-3333-4444-555555555555"));
  EXPECT_EQ(identity->appInstanceID(), first);

  // Within the cache time nothing is read again.
  platform.setIDFA("AAAAAAAA-2222-3333-4444-555555555555");
  EXPECT_EQ(identity->resettableDeviceID(), std::nullopt);
  // A changed identifier: another user as far as ads can tell.
  ns::Clock::advance(2);
  EXPECT_EQ(identity->resettableDeviceID(), "AAAAAAAA-2222-3333-4444-555555555555");
  auto second = identity->appInstanceID();
  ASSERT_TRUE(second);
  EXPECT_NE(*second, first);
  EXPECT_TRUE(identity->shouldSetLastAdvertisingIDResetUserProperty());
  EXPECT_EQ(identity->hashedResettableDeviceID(), msr_MD5String("AAAAAAAA-2222-3333-4444-555555555555"));
  // While an IDFA is available the IDFV is not given.
  EXPECT_EQ(identity->identifierForVendor(), std::nullopt);
}

TEST_F(MSRIdentityTest, WithoutThePlatformClassesNothingIsRead) {
  auto identity = makeIdentity();
  EXPECT_EQ(identity->appleConsentStatus(), 6u);
  EXPECT_EQ(identity->resettableDeviceID(), std::nullopt);
  EXPECT_FALSE(identity->hasLimitedAdTracking());
  EXPECT_EQ(config_->hashedResettableDeviceID(), std::nullopt);
}

TEST_F(MSRIdentityTest, AnalyticsStorageDeniedKeepsNoIdentifiers) {
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"}});
  auto identity = makeIdentity();
  ASSERT_TRUE(identity->appInstanceID());
  auto vendor = identity->identifierForVendor();
  ASSERT_TRUE(vendor);
  EXPECT_TRUE(ns::Uuid::fromString(*vendor));
  ASSERT_TRUE(identity->sessionStitchingTokenWithSessionNumber(1, false, false));

  MSRConsentSettingsUtil::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}});
  EXPECT_EQ(identity->identifierForVendor(), std::nullopt);
  EXPECT_EQ(identity->appInstanceID(), std::nullopt);
  EXPECT_EQ(config_->appInstanceID(), std::nullopt);
  EXPECT_EQ(identity->sessionStitchingTokenWithSessionNumber(1, false, false), std::nullopt);

  // A new identity under denied storage makes no app instance ID either.
  auto later = makeIdentity();
  EXPECT_EQ(config_->appInstanceID(), std::nullopt);
}

TEST_F(MSRIdentityTest, VendorIdentifierIsOnePerVendorAndDevice) {
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"}});
  auto notes = makeIdentity()->identifierForVendor();
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.sketch"}}, "Sketch");
  EXPECT_EQ(makeIdentity()->identifierForVendor(), notes);
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "org.other.notes"}}, "Other");
  auto other = makeIdentity()->identifierForVendor();
  ASSERT_TRUE(other);
  EXPECT_NE(other, notes);
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"},
                                   {"ZORORI_ANALYTICS_IDFV_COLLECTION_ENABLED", false}});
  EXPECT_EQ(makeIdentity()->identifierForVendor(), std::nullopt);
}

TEST_F(MSRIdentityTest, KeysAndAppIDs) {
  auto identity = makeIdentity();
  config_->setDiversionKey("ABCDEF");
  std::string key = identity->diversionKey();
  EXPECT_EQ(key.size(), 5u);
  EXPECT_EQ(config_->diversionKey(), key);
  EXPECT_EQ(identity->diversionKey(), key);

  identity->setAppIDFromZMP("");
  identity->setAppIDFromZMP("1:111:ios:aaa");
  identity->setAppIDFromZMP("1:222:ios:bbb");
  EXPECT_EQ(identity->appIDFromZMP(), "1:111:ios:aaa");
  identity->setAppIDFromRiVar("rivar-1");
  identity->setAppIDFromRiVar("rivar-2");
  EXPECT_EQ(identity->appIDFromRiVar(), "rivar-1");
  EXPECT_TRUE(monitor_.contains(20005));

  std::string ephemeral = identity->ephemeralAppInstanceID();
  EXPECT_EQ(identity->ephemeralAppInstanceID(), ephemeral);
  identity->resetEphemeralAppInstanceID();
  EXPECT_NE(identity->ephemeralAppInstanceID(), ephemeral);
}

TEST_F(MSRIdentityTest, SessionStitchingToken) {
  auto identity = makeIdentity();
  auto token = identity->sessionStitchingTokenWithSessionNumber(1, false, false);
  ASSERT_TRUE(token);
  struct Step {
    const char* what;
    int64_t session;
    bool expired, userID;
    double advance;
    bool kept;
  } steps[] = {
      {"same session", 1, false, false, 0, true},
      {"the session expired", 1, true, false, 0, false},
      {"the next session after an expired one", 2, false, false, 0, true},
      {"a day later without a user ID", 2, false, false, 86400, false},
      {"a skipped session number", 4, false, true, 0, false},
      {"with a user ID it does not lapse", 4, false, true, 10 * 86400, true},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    ns::Clock::advance(s.advance);
    auto next = identity->sessionStitchingTokenWithSessionNumber(s.session, s.expired, s.userID);
    ASSERT_TRUE(next);
    EXPECT_EQ(*next == *token, s.kept);
    token = next;
  }
  identity->resetSessionStitchingToken();
  EXPECT_NE(identity->sessionStitchingTokenWithSessionNumber(4, false, true), token);
}

class MSRIdentifiersTest : public MSRIdentityTest {};

TEST_F(MSRIdentifiersTest, DerivedFromTheEnginesIdentity) {
  auto identifiers = MSRIdentifiers::sharedInstance();
  int64_t first = std::stoll(identifiers->adEventID());
  EXPECT_EQ(std::stoll(identifiers->adEventID()), first + 1);
  EXPECT_EQ(std::stoll(identifiers->adEventID()), first + 2);
  EXPECT_EQ(identifiers->libraryVersion(), "101600");

  auto identity = makeIdentity();
  MSRMeasurementSetSharedInstanceForTesting(MSRMeasurementForTesting(true, identity));
  monitor_.clear();
  EXPECT_EQ(identifiers->zororiAppID(), std::nullopt);
  EXPECT_EQ(identifiers->analyticsAppID(), std::nullopt);
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{37000, 37005}));
  identity->setAppIDFromRiVar("rivar");
  EXPECT_EQ(identifiers->analyticsAppID(), "rivar");
  identity->setAppIDFromZMP("1:1:ios:1");
  EXPECT_EQ(identifiers->analyticsAppID(), "1:1:ios:1");
  EXPECT_EQ(identifiers->appInstanceID(), config_->appInstanceID());
  MSRMeasurementSetSharedInstanceForTesting(nullptr);
}

// A platform call that finishes only when the test lets it.
class SlowPlatform : public MSRIdentitySupport {
 public:
  bool hasAppDataConsentStatus() override { return true; }
  uint64_t appDataConsentStatus() override { return 3; }
  bool hasLimitedAdTracking() override { return true; }
  bool limitedAdTracking() override { return false; }
  std::optional<std::string> resettableDeviceID() override {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return released; });
    return answer;
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool released = true;
  std::string answer = "11111111-1111-1111-1111-111111111111";
};

TEST(MSRDefaultIdentitySupportTest, SlowPlatformAnswersTheEarlierIdentifier) {
  auto platform = std::make_shared<SlowPlatform>();
  auto support = std::make_shared<MSRDefaultIdentitySupport>(platform);
  // The first call may itself outlast the wait; it is in once it answers.
  for (int i = 0; i < 100000 && support->resettableDeviceID() != platform->answer; ++i) {
  }
  ASSERT_EQ(support->resettableDeviceID(), "11111111-1111-1111-1111-111111111111");
  {
    std::lock_guard lock(platform->mutex);
    platform->released = false;
    platform->answer = "22222222-2222-2222-2222-222222222222";
  }
  // The platform is stuck: the caller gets the earlier identifier back, and
  // the call still runs after the caller went on.
  EXPECT_EQ(support->resettableDeviceID(), "11111111-1111-1111-1111-111111111111");
  EXPECT_TRUE(support->limitedAdTracking() == false);
  {
    std::lock_guard lock(platform->mutex);
    platform->released = true;
  }
  platform->changed.notify_all();
  for (int i = 0; i < 100000 && support->resettableDeviceID() != platform->answer; ++i) {
  }
  EXPECT_EQ(support->resettableDeviceID(), "22222222-2222-2222-2222-222222222222");
  // Without platform support there is nothing to read.
  MSRDefaultIdentitySupport none(nullptr);
  EXPECT_EQ(none.resettableDeviceID(), std::nullopt);
  EXPECT_TRUE(none.limitedAdTracking());
  EXPECT_EQ(none.appDataConsentStatus(), ~uint64_t{0});
}

}  // namespace
