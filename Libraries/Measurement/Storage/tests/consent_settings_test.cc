// The process-wide consent state: its rules as a table, the signals, the
// Info.plist defaults, and the one queue seen from several threads.
#include <future>
#include <thread>

#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"

namespace msr_testing {
namespace {

using Consent = MSRConsentSettingsUtil;

class ConsentSettingsTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    startAfresh();
  }
  // The state a process starts with.
  static void startAfresh() {
    Consent::setConsentSettings(std::nullopt);
    Consent::setVersion(1);
  }
};

TEST_F(ConsentSettingsTest, TheRules) {
  struct Case {
    const char* what;
    std::function<void()> steps;
    std::function<bool()> holds;
  } cases[] = {
      {"a fresh process has no settings and no source",
       [] {},
       [] { return !Consent::consentSettings() && Consent::consentSource() == 100 && Consent::version() == 1; }},
      {"DENIED in capitals denies", [] { Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "DENIED"}}); },
       [] { return Consent::isAdStorageDenied() && !Consent::isAnalyticsStorageDenied(); }},
      {"the number 0 does not deny", [] { Consent::setConsentSettings(ns::Dictionary{{"analytics_storage", 0}}); },
       [] { return !Consent::isAnalyticsStorageDenied(); }},
      {"settings leave the source alone",
       [] {
         Consent::setConsentSource(30);
         Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "granted"}});
       },
       [] { return Consent::consentSource() == 30; }},
      {"no settings reset the source",
       [] {
         Consent::setConsentSource(30);
         Consent::setConsentSettings(std::nullopt);
       },
       [] { return Consent::consentSource() == 100 && !Consent::consentSettings(); }},
      {"clearing resets settings and source",
       [] {
         Consent::setConsentSource(10);
         Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "denied"}});
         Consent::clearAllSettings();
       },
       [] { return Consent::consentSource() == 100 && !Consent::consentSettings() && !Consent::isAdStorageDenied(); }},
      {"30 may replace 100 and 40, not 20",
       [] {},
       [] {
         bool over100 = Consent::isConsentSourceHigherPriority(30);
         Consent::setConsentSource(40);
         bool over40 = Consent::isConsentSourceHigherPriority(30);
         Consent::setConsentSource(20);
         return over100 && over40 && !Consent::isConsentSourceHigherPriority(30);
       }},
      {"versions other than 1 and 2 are ignored",
       [] {
         Consent::setVersion(2);
         Consent::setVersion(3);
         Consent::setVersion(0);
       },
       [] { return Consent::version() == 2; }},
      {"an update merges",
       [] {
         Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "granted"}, {"analytics_storage", "granted"}});
         Consent::updateSettings(ns::Dictionary{{"ad_storage", "denied"}});
       },
       [] {
         return Consent::consentSettings() ==
                    ns::Dictionary{{"ad_storage", "denied"}, {"analytics_storage", "granted"}} &&
                Consent::consentSignals() == "G101";
       }},
      {"an update over no settings", [] { Consent::updateSettings(ns::Dictionary{{"other", "x"}}); },
       [] { return Consent::consentSettings() == ns::Dictionary{{"other", "x"}}; }},
      {"granted then denied is a withdrawal",
       [] { Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "denied"}}); },
       [] { return Consent::didWithdrawPreviousConsent(ns::Value(ns::Dictionary{{"ad_storage", "granted"}})); }},
      {"denied then granted is none",
       [] { Consent::setConsentSettings(ns::Dictionary{{"ad_storage", "granted"}}); },
       [] { return !Consent::didWithdrawPreviousConsent(ns::Value(ns::Dictionary{{"ad_storage", "denied"}})); }},
      {"nothing before, denied now, is a withdrawal",
       [] { Consent::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}}); },
       [] { return Consent::didWithdrawPreviousConsent(std::nullopt); }},
      {"the same settings are none",
       [] { Consent::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}}); },
       [] { return !Consent::didWithdrawPreviousConsent(ns::Value(ns::Dictionary{{"analytics_storage", "denied"}})); }},
      {"a previous value that is no dictionary is none",
       [] { Consent::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}}); },
       [] { return !Consent::didWithdrawPreviousConsent(ns::Value("granted")); }},
      {"no current settings is none", [] {},
       [] { return !Consent::didWithdrawPreviousConsent(ns::Value(ns::Dictionary{{"ad_storage", "granted"}})); }},
      {"only the two consent types are taken from a dictionary", [] {},
       [] {
         return Consent::consentSettingsFromDictionary(
                    ns::Dictionary{{"analytics_storage", "denied"}, {"ad_user_data", "denied"}, {"ad_storage", 1}}) ==
                ns::Dictionary{{"analytics_storage", "denied"}, {"ad_storage", 1}};
       }},
      {"the description shows an absent value as granted",
       [] { Consent::setConsentSettings(ns::Dictionary{{"analytics_storage", "denied"}}); },
       [] { return Consent::description() == "ad_storage is granted. analytics_storage is denied."; }},
  };
  for (const auto& c : cases) {
    startAfresh();
    c.steps();
    EXPECT_TRUE(c.holds()) << c.what;
  }
}

TEST_F(ConsentSettingsTest, Signals) {
  struct Case {
    std::optional<ns::Dictionary> settings;
    const char* signals;
  } cases[] = {
      {std::nullopt, "G1--"},
      {ns::Dictionary{}, "G1--"},
      {ns::Dictionary{{"analytics_storage", "denied"}}, "G1-0"},
      {ns::Dictionary{{"ad_storage", "granted"}, {"analytics_storage", "denied"}}, "G110"},
      {ns::Dictionary{{"ad_storage", "Denied"}, {"analytics_storage", "GRANTED"}}, "G101"},
      {ns::Dictionary{{"ad_storage", 1}, {"analytics_storage", "maybe"}}, "G1--"},
  };
  for (const auto& c : cases) {
    Consent::setConsentSettings(c.settings);
    EXPECT_EQ(Consent::consentSignals(), c.signals) << (c.settings ? ns::Value(*c.settings).description() : "none");
  }
}

TEST_F(ConsentSettingsTest, InfoPlistDefaultsAreTakenFromNumbersOnly) {
  struct Case {
    const char* what;
    ns::Dictionary info;
    ns::Dictionary defaults;
  } cases[] = {
      {"booleans",
       {{"ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_STORAGE", false}, {"ZORORI_ANALYTICS_DEFAULT_ALLOW_ANALYTICS_STORAGE", true}},
       {{"ad_storage", "denied"}, {"analytics_storage", "granted"}}},
      {"numbers",
       {{"ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_STORAGE", 1}, {"ZORORI_ANALYTICS_DEFAULT_ALLOW_ANALYTICS_STORAGE", 0}},
       {{"ad_storage", "granted"}, {"analytics_storage", "denied"}}},
      {"the string NO", {{"ZORORI_ANALYTICS_DEFAULT_ALLOW_AD_STORAGE", "NO"}}, {}},
      {"one of them", {{"ZORORI_ANALYTICS_DEFAULT_ALLOW_ANALYTICS_STORAGE", false}}, {{"analytics_storage", "denied"}}},
      {"neither", {}, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    installMainBundle(c.info, "Consent" + std::to_string(++n));
    EXPECT_EQ(Consent::consentSettingsFromPlist(), c.defaults) << c.what;
  }
}

TEST_F(ConsentSettingsTest, AWriteOnOneThreadIsSeenByAReadOnAnother) {
  for (int round = 0; round < 50; ++round) {
    std::promise<void> written;
    std::thread writer([&] {
      Consent::setConsentSource(10 + round);
      Consent::setConsentSettings(ns::Dictionary{{"ad_storage", round % 2 ? "denied" : "granted"}});
      written.set_value();
    });
    std::future<bool> seen = std::async(std::launch::async, [&] {
      written.get_future().wait();
      return Consent::consentSource() == 10 + round && Consent::isAdStorageDenied() == (round % 2 == 1);
    });
    EXPECT_TRUE(seen.get()) << round;
    writer.join();
  }
}

// In a process of its own, so that these calls are really the first.
TEST_F(ConsentSettingsTest, TheQueueIsMadeOnceEvenWhenFirstCallsRace) {
  EXPECT_EQ(child({"consent-queue", "8"}), (std::vector<std::string>{"1 MSRConsentSettingsUtilQueue"}));
  const auto& queue = Consent::serialQueue();
  EXPECT_EQ(queue, Consent::serialQueue());
  EXPECT_EQ(queue->priority(), dispatch::Priority::Utility);
  EXPECT_EQ(queue->kind(), dispatch::Queue::Kind::Serial);
}

}  // namespace
}  // namespace msr_testing
