// The rating scheduler's bookkeeping, its eligibility rule, its answers and
// its texts, on the virtual clock and a fresh device.
#include <gtest/gtest.h>

#include <functional>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/AppSupportKit/tests/qbrate_fixture.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"

namespace {

using namespace qbrate_testing;

class QBRateTest : public QBRateFixture {};

TEST_F(QBRateTest, LaunchesStartCountingPeriodsAndMoveTheFirstUseAfterAnUpdate) {
  // First launch: a new period, one use, the update callback.
  rate().applicationLaunched();
  EXPECT_EQ(rate().firstUsed(), kStart);
  EXPECT_EQ(rate().usesCount(), 1u);
  EXPECT_EQ(rate().eventCount(), 0u);
  EXPECT_EQ(events_, (std::vector<std::string>{"didDetectAppUpdate", "QBRateDidDetectAppUpdate"}));
  EXPECT_FALSE(rate().shouldPromptForRating());

  // The same version again: only a use.
  events_.clear();
  rate().applicationLaunched();
  EXPECT_EQ(rate().usesCount(), 2u);
  EXPECT_TRUE(events_.empty());
  // The kit's launch on demand is the same use.
  rate().simulateLaunch();
  EXPECT_EQ(rate().usesCount(), 3u);
  rate().setUsesCount(2);

  // An update 30 days later without a rating: the first use moves to 9 days
  // ago, so the prompt may come a day later; the counters stay.
  advance(30 * kDay);
  rate().settings().applicationVersion = "2.0";
  rate().remindLater();
  rate().applicationLaunched();
  EXPECT_EQ(rate().firstUsed(), ns::Clock::now().addingTimeInterval(-9 * kDay));
  EXPECT_EQ(rate().usesCount(), 3u);
  EXPECT_TRUE(rate().lastReminded());

  // An update after a rating: a new period.
  rate().setRatedThisVersion(true);
  advance(kDay);
  rate().settings().applicationVersion = "2.1";
  rate().applicationLaunched();
  EXPECT_EQ(rate().firstUsed(), ns::Clock::now());
  EXPECT_EQ(rate().usesCount(), 1u);
  EXPECT_FALSE(rate().lastReminded());
  EXPECT_FALSE(rate().shouldPromptForRating()) << "rated an older version, no new prompt";
}

TEST_F(QBRateTest, EligibilityRuleInOrder) {
  struct Case {
    const char* name;
    std::function<void(QBRate&)> setUp;
    bool expected;
  };
  auto eligible = [](QBRate& r) {
    r.setFirstUsed(kStart.addingTimeInterval(-10 * kDay));
    r.setUsesCount(10);
  };
  const std::vector<Case> cases = {
      {"fresh", [](QBRate& r) { r.setFirstUsed(kStart); }, false},
      {"10 days, 10 uses", eligible, true},
      {"10 days, 3 uses", [&](QBRate& r) { eligible(r); r.setUsesCount(3); }, false},
      {"10 days, 3 uses, 10 events", [&](QBRate& r) { eligible(r); r.setUsesCount(3); r.setEventCount(10); }, true},
      {"9.9 days", [&](QBRate& r) { eligible(r); r.setFirstUsed(kStart.addingTimeInterval(-9.9 * kDay)); }, false},
      {"rated this version", [&](QBRate& r) { eligible(r); r.setRatedThisVersion(true); }, false},
      {"declined another version",
       [&](QBRate& r) { eligible(r); ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("1.0"), QBRate::kDeclinedVersionKey); },
       false},
      {"rated another version, asking again not allowed",
       [&](QBRate& r) {
         eligible(r);
         ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("1.0"), QBRate::kRatedVersionKey);
       },
       false},
      {"rated another version, asking again allowed",
       [&](QBRate& r) {
         eligible(r);
         ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("1.0"), QBRate::kRatedVersionKey);
         r.settings().promptForNewVersionIfUserRated = true;
       },
       true},
      {"reminded 23 hours ago", [&](QBRate& r) { eligible(r); r.setLastReminded(kStart.addingTimeInterval(-23 * 3600)); }, false},
      {"reminded 25 hours ago", [&](QBRate& r) { eligible(r); r.setLastReminded(kStart.addingTimeInterval(-25 * 3600)); }, true},
      {"too few uses per week", [&](QBRate& r) { eligible(r); r.settings().usesPerWeekForPrompt = 8; }, false},
      {"preview mode", [](QBRate& r) { r.setFirstUsed(kStart); r.setDeclinedThisVersion(true); r.settings().previewMode = true; }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;
    QBRate::resetForTesting();
    c.setUp(rate());
    EXPECT_EQ(rate().shouldPromptForRating(), c.expected);
  }
}

TEST(QBRateCountryTest, RegionCodesBecomeStoreCountries) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
      {"150", "eu"}, {"GI", "GB"}, {"DE", "DE"}, {"419", "us"}, {std::nullopt, "us"}, {"D1", "us"}, {"USA", "us"}};
  for (const auto& [region, country] : cases) EXPECT_EQ(QBRate::appStoreCountryForRegion(region), country) << region.value_or("none");
}

TEST_F(QBRateTest, AnswersCallTheDelegateThenPostInOrder) {
  rate().setAppStoreID(1189);
  rate().rate();
  EXPECT_TRUE(rate().ratedThisVersion());
  EXPECT_EQ(events_, (std::vector<std::string>{"didAttemptToRate", "QBRateUserDidAttemptToRateApp", "shouldOpenAppStore",
                                               "didOpenAppStore", "QBRateDidOpenAppStore"}));
  ASSERT_FALSE(ui::Application::shared().openedURLs().empty());
  EXPECT_EQ(ui::Application::shared().openedURLs().back(),
            "itms-apps://reviews.store.example/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&"
            "id=1189&pageNumber=0&sortOrdering=2&mt=8");

  events_.clear();
  rate().remindLater();
  rate().declineThisVersion();
  EXPECT_EQ(rate().lastReminded(), kStart);
  EXPECT_TRUE(rate().declinedThisVersion());
  EXPECT_EQ(events_, (std::vector<std::string>{"didRequestReminder", "QBRateUserDidRequestReminderToRateApp",
                                               "didDecline", "QBRateUserDidDeclineToRateApp"}));
}

TEST_F(QBRateTest, TheAlertAsksWithThreeButtonsAndAnswersByIndex) {
  rate().promptForRating();
  auto alert = std::dynamic_pointer_cast<ui::AlertController>(rate().visibleAlert());
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->title(), "Rate Quill");
  EXPECT_EQ(alert->message(),
            "If you enjoy using Quill, would you mind taking a moment to rate it? It won\u2019t take more than a "
            "minute. Thanks for your support!");
  ASSERT_EQ(alert->actions().size(), 3u);
  EXPECT_EQ(alert->actions()[0]->title(), "Rate It Now");
  EXPECT_EQ(alert->actions()[1]->title(), "No, Thanks");
  EXPECT_EQ(alert->actions()[2]->title(), "Remind Me Later");
  EXPECT_EQ(events_, (std::vector<std::string>{"didPrompt", "QBRateDidPromptForRating"}));

  rate().promptForRating();  // one alert at a time
  EXPECT_EQ(rate().visibleAlert(), alert);

  alert->actions()[2]->run();
  pump();
  EXPECT_EQ(rate().lastReminded(), kStart);
  EXPECT_FALSE(rate().visibleAlert());
  TXUIManager::sharedInstance().reset();

  // Without a cancel button the remind button is the second one.
  rate().settings().cancelButtonLabel = "";
  rate().settings().remindButtonLabel = "Later";
  rate().promptForRating();
  alert = std::dynamic_pointer_cast<ui::AlertController>(rate().visibleAlert());
  ASSERT_TRUE(alert && alert->actions().size() == 2u);
  EXPECT_EQ(alert->actions()[1]->title(), "Later");
  advance(kDay);
  rate().didDismissAlertWithButtonAtIndex(1);
  EXPECT_EQ(rate().lastReminded(), ns::Clock::now());
  EXPECT_FALSE(rate().declinedThisVersion());
  TXUIManager::sharedInstance().reset();
}

TEST_F(QBRateTest, TheMainBundleOverridesTheLibrarysTexts) {
  writePlist("QBRate.bundle/en.lproj/Localizable.strings",
             ns::Dictionary{{"QBRateCancelButton", ns::Value("Not now")}, {"QBRateRateButton", ns::Value("Rate")}});
  writePlist("en.lproj/Localizable.strings", ns::Dictionary{{"QBRateRateButton", ns::Value("Rate %@ now")}});
  QBRate::resetForTesting();
  EXPECT_EQ(rate().cancelButtonLabel(), "Not now");
  EXPECT_EQ(rate().rateButtonLabel(), "Rate %@ now") << "labels take no name";
  EXPECT_EQ(rate().remindButtonLabel(), "Remind Me Later");
  rate().settings().messageTitle = "%@ and %@";
  EXPECT_EQ(rate().messageTitle(), "Quill and Quill");
}

TEST(QBRateTextScanTest, ReadsValuesWithoutAParser) {
  const std::vector<std::tuple<const char*, const char*, const char*, std::optional<std::string>>> cases = {
      {"number", R"({"trackId": 123, "x": 1})", "trackId", "123"},
      {"quoted comma", R"({"name": "Quill, Notes", "x": 1})", "name", "Quill, Notes"},
      {"no comma after", R"({"version": "1.9"})", "version", std::nullopt},
      {"no key", R"({"a": 1, "b": 2})", "c", std::nullopt},
      {"escaped backslash then n", R"({"v": "a\\nb", "x": 1})", "v", "a\\nb"},
      {"escapes", R"({"v": "a\/b\"c\td\n", "x": 1})", "v", "a/b\"c\td\n"},
      {"unicode", R"({"v": "caf\u00e9", "x": 1})", "v", "caf\u00e9"},
      {"short unicode at the end", R"({"v": "x\u4, "x": 1})", "v", std::string("x\x04")},
      {"bare unicode at the end", "{\"v\": \"x\\u\", \"x\": 1}", "v", std::string("x\0", 2)},
  };
  for (const auto& [name, text, key, expected] : cases)
    EXPECT_EQ(QBRate::valueForKey(key, std::string(text)), expected) << name;
}

}  // namespace
