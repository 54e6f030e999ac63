// The analytics interface on a temporary device with the real engine and
// database: start, enablement, consent, reset, listeners, user properties,
// the engine's event entry (default parameters, interceptor, listeners) and
// purchases. Events are observed through a log-event listener: it hears of
// each event after the engine's worker queue handled it.
#include <gtest/gtest.h>

#include <thread>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Runtime/Runtime.h"

namespace {

using msr_testing::ConfigTest;

constexpr const char* kAppID = "1:123:ios:abc";

// What the listener heard, in order.
class Heard {
 public:
  void add(std::shared_ptr<MSREvent> event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<std::shared_ptr<MSREvent>> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& event : events()) out.push_back(event->name());
    return out;
  }
  std::shared_ptr<MSREvent> named(const std::string& name) const {
    for (const auto& event : events())
      if (event->name() == name) return event;
    return nullptr;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<MSREvent>> events_;
};

class AnalyticsTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    forget();
    MSRPersistedConfig::sharedInstance()->setMeasurementEnabledState(0);
    MSRPersistedConfig::sharedInstance()->setDefaultEventParameters(std::nullopt);
  }
  void TearDown() override {
    forget();
    ns::Clock::useReal();
    ConfigTest::TearDown();
  }
  static void forget() {
    MSRAnalyticsResetForTesting();
    MSRMeasurementForgetSharedInstanceForTesting();
    MSRAnalytics::clearConsent();
    MSRAnalytics::setResetRetryCount(0);
    MSRAnalytics::setAppInstanceIDAfterReset(std::nullopt);
  }

  static void start(ns::Dictionary options = {}, const std::string& origin = "fa") {
    MSRAnalytics::startWithAppID(kAppID, origin, MSRAnalyticsStartOptions{std::move(options), nullptr});
    MSRAnalyticsWaitForTesting();
  }
  static void wait() {
    MSRAnalyticsWaitForTesting();
    MSRMonitorWaitForTesting();
  }
  static std::string databaseFile() { return MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName); }
  static std::string purchaseRows() {
    return msr_testing::sqlite(databaseFile(), "SELECT COUNT(*) FROM purchase_transactions;");
  }
  void listen() {
    MSRAnalytics::addLogEventListener([heard = heard_](std::shared_ptr<MSREvent> event) { heard->add(event); });
  }
  static std::string text(const MSREvent& event, const std::string& name) {
    auto found = event.parameters().find(name);
    return found == event.parameters().end() ? "(none)" : found->second.description();
  }
  static std::string suitePlist() { return "App/Library/Preferences/MSRAnalyticsSuiteName.plist"; }

  std::shared_ptr<Heard> heard_ = std::make_shared<Heard>();
};

class MSRAnalyticsTest : public AnalyticsTest {};
class MSRMeasurementEntryTest : public AnalyticsTest {};

TEST_F(MSRAnalyticsTest, EventsFromSeveralThreadsBeforeStartRunAfterItInCallOrder) {
  listen();
  constexpr int kThreads = 4, kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) {
        MSRAnalytics::logEventWithOrigin("app", "thread_" + std::to_string(t),
                                         ns::Dictionary{{"i", ns::Value(i)}});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  MSRAnalytics::queue()->sync([] {});
  EXPECT_TRUE(heard_->events().empty()) << "nothing runs before start";
  EXPECT_FALSE(MSRMeasurement::hasSharedInstance());

  start();
  ASSERT_TRUE(MSRMeasurement::hasSharedInstance());
  auto events = heard_->events();
  // The start's own events (first-open engagement) aside.
  std::erase_if(events, [](const auto& e) { return e->name().empty() || e->name()[0] == '_'; });
  ASSERT_EQ(events.size(), size_t{kThreads * kEach});
  std::vector<int> next(kThreads, 0);
  for (size_t k = 0; k < events.size(); ++k) {
    if (k > 0) EXPECT_GE(events[k]->timestamp(), events[k - 1]->timestamp()) << "timestamps rise in call order";
    int thread = std::stoi(events[k]->name().substr(7));
    EXPECT_EQ(text(*events[k], "i"), std::to_string(next[thread]++)) << "each thread's events in its order";
    EXPECT_EQ(events[k]->origin(), "app");
  }
}

TEST_F(MSRAnalyticsTest, StartRunsOnceAndStepsBeforeItAtEveryCall) {
  start(ns::Dictionary{{"app_measurement_log_tag", ns::Value("[Tag]")}});
  auto engine = MSRMeasurement::sharedInstance();
  ASSERT_TRUE(engine);
  EXPECT_EQ(MSRMeasurement::monitor()->logTag(), "[Tag]");
  EXPECT_EQ(MSRIdentity::sharedInstance()->appIDFromZMP(), kAppID);
  EXPECT_TRUE(MSRAnalytics::isAnalyticsEnabled());
  EXPECT_EQ(MSRIdentifiers::sharedInstance()->origin(), "fa");
  monitor_.clear();
  MSRAnalytics::startWithAppID("1:999:ios:other", "fa",
                               MSRAnalyticsStartOptions{ns::Dictionary{{"app_measurement_log_tag", ns::Value(7)}}, nullptr});
  wait();
  EXPECT_TRUE(monitor_.contains(25030)) << "the tag step runs again";
  EXPECT_FALSE(monitor_.contains(25020)) << "the once-only steps do not";
  EXPECT_EQ(MSRMeasurement::sharedInstance(), engine);
  EXPECT_EQ(MSRIdentity::sharedInstance()->appIDFromZMP(), kAppID);
}

TEST_F(MSRAnalyticsTest, StartStopsForAnOlderLibraryOrAForeignOrigin) {
  struct Case {
    const char* what;
    const char* registered;
    const char* origin;
    int64_t code;
  } cases[] = {
      {"an older analytics library", "DODIVoveveda", "fa", 25029},
      {"the facade present, origin am", "VOZIzizuzove", "am", 25026},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rt::registerClass(std::make_shared<rt::Class>(c.registered));
    monitor_.clear();
    start({}, c.origin);
    rt::unregisterClass(c.registered);
    EXPECT_TRUE(monitor_.contains(c.code));
    EXPECT_FALSE(MSRMeasurement::hasSharedInstance());
  }
}

TEST_F(MSRAnalyticsTest, EnablingWhileDeactivatedPersistsTheChoiceAndStaysOff) {
  start(ns::Dictionary{{"DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED", ns::Value(true)}});
  EXPECT_TRUE(MSRAnalytics::isAnalyticsCollectionDeactivated());
  MSRAnalytics::setAnalyticsEnabled(true, true);
  wait();
  EXPECT_EQ(MSRPersistedConfig::sharedInstance()->measurementEnabledState(), 1);
  EXPECT_FALSE(MSRAnalytics::isAnalyticsEnabled());
  EXPECT_FALSE(MSRMeasurement::sharedInstance()->isEnabled());
}

TEST_F(MSRAnalyticsTest, UserPropertyOriginsUpTo32Characters) {
  start();
  for (size_t length : {size_t{32}, size_t{33}}) {
    SCOPED_TRACE(length);
    monitor_.clear();
    MSRAnalytics::setInternalUserProperty(ns::Value("v"), "prop", std::string(length, 'o'));
    MSRMonitorWaitForTesting();
    EXPECT_EQ(monitor_.contains(25005), length == 33);
  }
}

// A public property's string value is checked as an analytics value: 1 to
// 36 characters are stored with origin "app"; longer ones give the error
// event 7; an empty one is dropped silently.
TEST_F(MSRAnalyticsTest, PublicUserPropertyStringsAreStoredUpTo36Characters) {
  start();
  MSRAnalytics::setAnalyticsEnabled(true);
  wait();
  struct Case {
    const char* name;
    std::string value;
    bool stored;
  } cases[] = {
      {"tier", "gold", true},
      {"longest", std::string(36, 'x'), true},
      {"too_long", std::string(37, 'x'), false},
      {"empty", "", false},
  };
  for (const auto& c : cases) MSRAnalytics::setUserPropertyString(ns::Value(c.value), c.name);
  wait();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string row = msr_testing::sqlite(databaseFile(), "SELECT origin FROM user_attributes WHERE name = '" +
                                                             std::string(c.name) + "'");
    EXPECT_EQ(row, c.stored ? "app" : "");
  }
  EXPECT_FALSE(monitor_.contains(13005));
  std::string errors = msr_testing::sqlite(databaseFile(), "SELECT count(*) FROM raw_events WHERE name = '_err'");
  EXPECT_EQ(errors, "1") << "one error event, for the value too long";
}

TEST_F(MSRAnalyticsTest, ConsentIsCheckedAndRankedBySource) {
  // Only invalid values: one 25042 each, then 25041.
  MSRAnalytics::setConsent(ns::Dictionary{{"ad_storage", ns::Value("yes")}, {"analytics_storage", ns::Value(1)}});
  MSRMonitorWaitForTesting();
  auto codes = monitor_.codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 25042), 2);
  ASSERT_TRUE(monitor_.contains(25041));
  EXPECT_EQ(codes.back(), 25041);
  EXPECT_EQ(MSRConsentSettingsUtil::consentSource(), 100);

  // The facade's source 10 is not overridden by the interface's 30.
  MSRAnalytics::setConsent(ns::Dictionary{{"ad_storage", ns::Value("granted")}}, "consent_settings_3p");
  EXPECT_EQ(MSRConsentSettingsUtil::consentSource(), 10);
  monitor_.clear();
  MSRAnalytics::setConsent(ns::Dictionary{{"ad_storage", ns::Value("denied")}});
  MSRMonitorWaitForTesting();
  EXPECT_TRUE(monitor_.contains(25043));
  EXPECT_FALSE(MSRConsentSettingsUtil::isAdStorageDenied());
  // What a later launch reads, with a second reader of the file.
  auto stored = msr_testing::plistutilDictionary(device_.path(suitePlist()));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->find("consent_source")->integerValue(), 10);
  EXPECT_EQ(*stored->find("consent_settings_3p"), ns::Value(ns::Dictionary{{"ad_storage", ns::Value("granted")}}));
}

TEST_F(MSRAnalyticsTest, AWithdrawalBeforeTheEngineIsReadyDefersTheReset) {
  MSRAnalytics::setConsent(ns::Dictionary{{"analytics_storage", ns::Value("granted")}});
  MSRAnalytics::setAppInstanceIDAfterReset("chosen-before");
  MSRAnalytics::setConsent(ns::Dictionary{{"analytics_storage", ns::Value("denied")}});
  auto deferred = MSRAnalytics::deferredResetOnDeniedConsent();
  ASSERT_TRUE(deferred);
  EXPECT_TRUE(deferred->boolValue());
  EXPECT_FALSE(MSRAnalytics::appInstanceIDAfterReset());
  auto stored = msr_testing::plistutilDictionary(device_.path(suitePlist()));
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored->find("deferred_consent_reset"), ns::Value(true));
}

TEST_F(MSRAnalyticsTest, PersistedConsentIsRestoredAtMost20Or40) {
  struct Case {
    const char* what;
    int64_t storedSource;
    bool thirdParty, firstParty;
    int64_t restored;
  } cases[] = {
      {"3P record, stored 30", 30, true, false, 20},
      {"3P record, stored 10", 10, true, true, 10},
      {"only the other record, stored 50", 50, false, true, 40},
      {"only the other record, stored 30", 30, false, true, 30},
      {"no record, stored 30", 30, false, false, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MSRAnalytics::clearConsent();
    if (c.firstParty) MSRAnalytics::persistConsentSettings(ns::Dictionary{{"ad_storage", ns::Value("denied")}}, 30);
    if (c.thirdParty) MSRAnalytics::persistConsentSettings(ns::Dictionary{{"ad_storage", ns::Value("granted")}}, 10);
    MSRUserDefaults("MSRAnalyticsSuiteName").setObject(ns::Value(c.storedSource), "consent_source");
    MSRConsentSettingsUtil::clearAllSettings();
    MSRAnalytics::loadPersistedConsentSettings();
    EXPECT_EQ(MSRConsentSettingsUtil::consentSource(), c.restored);
    EXPECT_EQ(MSRConsentSettingsUtil::isAdStorageDenied(), !c.thirdParty && c.firstParty);
  }
}

TEST_F(MSRAnalyticsTest, AResetWhileAnalyticsStorageIsDeniedKeepsNoNewID) {
  start();
  MSRAnalytics::setConsent(ns::Dictionary{{"analytics_storage", ns::Value("denied")}});
  wait();
  MSRAnalytics::resetAnalyticsData();
  wait();
  EXPECT_FALSE(MSRAnalytics::appInstanceIDAfterReset());
  EXPECT_FALSE(MSRAnalytics::appInstanceID());
  EXPECT_FALSE(monitor_.contains(25037)) << "the engine reset without an ID";
  EXPECT_EQ(MSRAnalytics::resetRetryCount(), 0);
}

TEST_F(MSRAnalyticsTest, ListenersAreRemovedOnce) {
  start();
  auto token = MSRAnalytics::addLogEventListener([](std::shared_ptr<MSREvent>) {});
  ASSERT_TRUE(token);
  EXPECT_FALSE(MSRAnalytics::addLogEventListener(nullptr));
  MSRMonitorWaitForTesting();
  EXPECT_TRUE(monitor_.contains(25012));
  MSRAnalytics::removeLogEventListener(token);
  wait();
  EXPECT_FALSE(monitor_.contains(25015));
  MSRAnalytics::removeLogEventListener(token);
  wait();
  EXPECT_TRUE(monitor_.contains(25015));
}

TEST_F(MSRAnalyticsTest, AdEventIDsFromTheAdsLibraryBecomeNumbers) {
  start();
  struct Case {
    const char* aeid;
    bool logged;
  } cases[] = {{"12a", true}, {"42", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.aeid);
    monitor_.clear();
    MSRAnalytics::sharedInstance()->logInternalEventWithOriginForConnector(
        "am", "_xa", ns::Dictionary{{"_aeid", ns::Value(c.aeid)}});
    wait();
    EXPECT_EQ(monitor_.contains(25024), c.logged);
  }
}

TEST_F(MSRAnalyticsTest, APurchaseDeliveredTwiceIsReportedOnce) {
  start();
  auto purchase = std::make_shared<sk::PaymentTransaction>();
  purchase->transactionState = sk::PaymentTransactionState::Purchased;
  purchase->payment.productIdentifier = "com.example.pro";
  purchase->transactionIdentifier = "1000000123456789";
  auto restored = std::make_shared<sk::PaymentTransaction>(*purchase);
  restored->transactionState = sk::PaymentTransactionState::Restored;
  restored->transactionIdentifier = "1000000999999999";
  // The queue tells its observers on a background thread of its own.
  sk::PaymentQueue::defaultQueue().deliverTransactions({purchase, restored});
  ASSERT_TRUE(eventually([&] {
    wait();
    return purchaseRows() == "1";
  }));
  EXPECT_FALSE(monitor_.contains(23141));
  sk::PaymentQueue::defaultQueue().deliverTransactions({purchase, restored});
  ASSERT_TRUE(eventually([&] {
    wait();
    return monitor_.contains(23141);
  }));
  auto codes = monitor_.codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 23141), 1);
  EXPECT_EQ(purchaseRows(), "1")
      << "the restored transaction is never stored";
}

TEST_F(MSRAnalyticsTest, TheFingerprintIsTheMD5OfTheTransactionIdentifier) {
  sk::PaymentTransaction transaction;
  transaction.transactionState = sk::PaymentTransactionState::Purchased;
  transaction.transactionIdentifier = "2000000417255981";
  std::string md5;
  ASSERT_EQ(msr_testing::run("printf %s 2000000417255981 | md5sum | cut -c1-32", &md5), 0);
  EXPECT_EQ(MSRInAppPurchaseTransactionReporter::transactionFingerprint(&transaction).value_or("") + "\n", md5);
  struct Case {
    std::optional<std::string> identifier;
    int64_t code;
  } refused[] = {{std::nullopt, 21015}, {"", 21016}, {"000-000", 21017}};
  for (const auto& c : refused) {
    transaction.transactionIdentifier = c.identifier;
    monitor_.clear();
    EXPECT_FALSE(MSRInAppPurchaseTransactionReporter::transactionFingerprint(&transaction));
    EXPECT_TRUE(monitor_.contains(c.code)) << c.code;
  }
  transaction.transactionIdentifier = "2000000417255981";
  transaction.transactionState = sk::PaymentTransactionState::Restored;
  EXPECT_FALSE(MSRInAppPurchaseTransactionReporter::transactionFingerprint(&transaction));
}

// ---- The engine's event entry ----

TEST_F(MSRMeasurementEntryTest, DefaultParametersLieUnderTheEventsOwn) {
  start();
  listen();
  MSRAnalytics::setDefaultEventParameters(ns::Dictionary{{"a", ns::Value(1)}});
  MSRAnalytics::logEventWithOrigin("app", "with_a", ns::Dictionary{{"a", ns::Value(2)}, {"b", ns::Value(3)}});
  MSRAnalytics::logEventWithOrigin("app", "without_a", std::nullopt);
  wait();
  auto withA = heard_->named("with_a");
  auto withoutA = heard_->named("without_a");
  ASSERT_TRUE(withA && withoutA);
  EXPECT_EQ(text(*withA, "a"), "2");
  EXPECT_EQ(text(*withA, "b"), "3");
  EXPECT_EQ(text(*withoutA, "a"), "1");
}

TEST_F(MSRMeasurementEntryTest, DefaultParametersAreRemovedByNoneAndByNull) {
  start();
  auto stored = [] { return MSRPersistedConfig::sharedInstance()->defaultEventParameters().value_or(ns::Dictionary()); };
  MSRAnalytics::setDefaultEventParameters(ns::Dictionary{{"a", ns::Value(1)}, {"b", ns::Value("x")}});
  wait();
  EXPECT_EQ(stored(), (ns::Dictionary{{"a", ns::Value(1)}, {"b", ns::Value("x")}}));
  MSRAnalytics::setDefaultEventParameters(ns::Dictionary{{"a", ns::Value(nullptr)}});
  wait();
  EXPECT_EQ(stored(), (ns::Dictionary{{"b", ns::Value("x")}}));
  MSRAnalytics::setDefaultEventParameters(std::nullopt);
  wait();
  EXPECT_EQ(stored(), ns::Dictionary());
}

TEST_F(MSRMeasurementEntryTest, ThirtyDefaultParametersKeep25AndLogAnError) {
  start();
  listen();
  ns::Dictionary thirty;
  for (int i = 0; i < 30; ++i) thirty.set("p" + std::to_string(100 + i), ns::Value(i));
  MSRAnalytics::setDefaultEventParameters(thirty);
  wait();
  auto stored = MSRPersistedConfig::sharedInstance()->defaultEventParameters();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 25u);
  EXPECT_TRUE(stored->contains("p124"));
  EXPECT_FALSE(stored->contains("p125")) << "the last names in order go";
  EXPECT_TRUE(monitor_.contains(23215));
  auto error = heard_->named("_err");
  ASSERT_TRUE(error);
  EXPECT_EQ(text(*error, "_err"), "26");
  EXPECT_EQ(error->origin(), "auto");
}

TEST_F(MSRMeasurementEntryTest, TheInterceptorSeesPublicEventsAndListenersSkipAdAndDisabledOnes) {
  start();
  listen();
  auto intercepted = std::make_shared<Heard>();
  MSRAnalytics::setLogEventInterceptor(
      [intercepted](const std::string& origin, const std::string& name, const ns::Dictionary&, double timestamp) {
        intercepted->add(MSREvent::initWithOrigin(origin, false, name, timestamp, 0, {}));
      });
  MSRAnalytics::logEventWithOrigin("app", "public_one", std::nullopt);
  MSRAnalytics::logInternalEventWithOrigin("auto", "_internal", std::nullopt);
  MSRAnalytics::logInternalEventWithOrigin("am", "_ads_library", std::nullopt);
  MSRAnalytics::logInternalEventWithOrigin("auto", "_xa", std::nullopt);
  MSRAnalytics::logInternalEventWithOrigin("auto", "_xu", std::nullopt);
  wait();
  EXPECT_EQ(intercepted->names(), (std::vector<std::string>{"public_one"}));
  EXPECT_EQ(heard_->names(), (std::vector<std::string>{"public_one", "_internal"}));

  MSRAnalytics::setAnalyticsEnabled(false);
  wait();
  MSRAnalytics::logEventWithOrigin("app", "while_disabled", std::nullopt);
  wait();
  EXPECT_EQ(heard_->names(), (std::vector<std::string>{"public_one", "_internal"}));
  EXPECT_EQ(intercepted->names(), (std::vector<std::string>{"public_one"}));
}

TEST_F(MSRMeasurementEntryTest, UserDataHoldsTheOperationQueueHalfASecond) {
  ns::Clock::useVirtual(ns::Date::fromUnixTime(1'700'000'000));
  start();
  listen();
  wait();
  MSRAnalytics::setUserData(ns::Dictionary{{"email_address", ns::Value("a@b.example")}});
  MSRAnalytics::logEventWithOrigin("app", "after_user_data", std::nullopt);
  wait();
  EXPECT_TRUE(heard_->names().empty()) << "held back while the operation queue waits";
  ns::Clock::advance(0.4);
  wait();
  EXPECT_TRUE(heard_->names().empty());
  ns::Clock::advance(0.1);
  ASSERT_TRUE(eventually([&] {
    wait();
    return !heard_->names().empty();
  }));
  EXPECT_EQ(heard_->names(), (std::vector<std::string>{"after_user_data"}));
}

}  // namespace
