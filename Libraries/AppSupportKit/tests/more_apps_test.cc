// The list of the maker's other apps: what the configuration names, the
// rebuild against a real HTTPS store on 127.0.0.1 (records and icons), and
// the strip that shows it.
#include <gtest/gtest.h>

#include <algorithm>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/TXCache.h"
#include "Libraries/AppSupportKit/TXMoreAppsList.h"
#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"
#include "Libraries/AppSupportKit/TXMoreAppsViewController.h"
#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/tests/kit_popup_fixture.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/StoreKit/StoreProductViewController.h"
#include "Platform/UIKit/ImageCoding.h"

namespace {

using net::testing::Answer;

TEST(MoreAppsListTest, ConfiguredIdsAndBadges) {
  struct Case {
    std::optional<ns::Value> moreApps;
    std::vector<std::string> ids, badges;
  };
  const Case cases[] = {
      {ns::Value("123,+456"), {"123", "456"}, {"456"}},
      {ns::Value("123, +789"), {"123", "789"}, {}},  // a space before the "+": no badge
      {ns::Value("+1+,2 +"), {"1", "2"}, {"1", "2"}},
      {ns::Value(" 5 ,, "), {"5"}, {}},
      {ns::Value(""), {}, {}},
      {ns::Value(int64_t{1189034522}), {"1189034522"}, {}},  // a number is its decimal text
      {ns::Value(true), {}, {}},
      {ns::Value(ns::Array{ns::Value("1")}), {}, {}},
      {std::nullopt, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.moreApps ? c.moreApps->description() : "absent");
    auto ids = TXMoreAppsList::appIDs(c.moreApps ? &*c.moreApps : nullptr);
    EXPECT_EQ(ids.ids, c.ids);
    EXPECT_EQ(ids.badgeIDs, c.badges);
  }
}

TEST(MoreAppsListTest, RecordsNamesAndAddresses) {
  struct Case {
    ns::Value trackName;
    std::optional<std::string> name;
  };
  const Case names[] = {
      {ns::Value("Paint Pro: Studio"), "Paint"}, {ns::Value("Notes - Quick (Free)"), "Notes"},
      {ns::Value("Pro"), "Pro"},                  {ns::Value("  Scanner Pro  "), "Scanner"},
      {ns::Value(": Only a subtitle"), std::nullopt}, {ns::Value(7), std::nullopt},
  };
  for (const auto& c : names)
    EXPECT_EQ(TXMoreAppsList::cleanedName(ns::Dictionary{{"trackName", c.trackName}}), c.name)
        << c.trackName.description();
  // Each character that cuts a name, and only those.
  for (char cut : std::string("-()[]{}|:,;")) {
    std::string name = std::string("Draw ") + cut + " Sketch";
    EXPECT_EQ(TXMoreAppsList::cleanedName(ns::Dictionary{{"trackName", ns::Value(name)}}), "Draw") << name;
  }
  for (char kept : std::string("/.!&+_'")) {
    std::string name = std::string("Draw") + kept + "Sketch";
    EXPECT_EQ(TXMoreAppsList::cleanedName(ns::Dictionary{{"trackName", ns::Value(name)}}), name) << name;
  }

  EXPECT_EQ(TXMoreAppsList::storeID({{"trackId", ns::Value(int64_t{42})}}), "42");
  EXPECT_EQ(TXMoreAppsList::storeID({{"trackId", ns::Value("43")}}), "43");
  EXPECT_EQ(TXMoreAppsList::storeID({{"trackId", ns::Value(ns::Array{})}}), std::nullopt);
  EXPECT_EQ(TXMoreAppsList::storeID({}), std::nullopt);
  EXPECT_EQ(TXMoreAppsList::artworkAddress({{"artworkUrl60", ns::Value("s")}, {"artworkUrl512", ns::Value("l")}}),
            "l");
  EXPECT_EQ(TXMoreAppsList::artworkAddress({{"artworkUrl60", ns::Value("s")}}), "s");
}

class MoreAppsTest : public kit_popup_testing::KitPopupTest {
 protected:
  MoreAppsTest() {
    EXPECT_TRUE(net::mapHostToLoopback(TXAppStore::kLookupHost, server_.port()));
    EXPECT_TRUE(net::trustCertificateAuthority("lookup", server_.authorityPEM()));
    TXKit::sharedInstance().setMoreApps({});
    icon_ = ImageEffects::imageWithCircleSize({40, 40}, ui::Color::blue())->pngData();
  }
  ~MoreAppsTest() override { TXKit::sharedInstance().setMoreApps({}); }

  static std::string record(const std::string& id, const std::string& name) {
    return R"({"kind": "software", "trackId": )" + id + R"(, "trackName": ")" + name +
           R"(", "artworkUrl512": "https://lookup.store.example/icon-)" + id + R"(.png"})";
  }
  static Answer results(const std::vector<std::string>& records, double delay = 0) {
    std::string joined;
    for (const auto& r : records) joined += (joined.empty() ? "" : ", ") + r;
    return Answer{.body = R"({"resultCount": 1, "results": [)" + joined + "]}", .delaySeconds = delay};
  }
  Answer icon(double delay = 0) const { return Answer{.body = std::string(icon_.begin(), icon_.end()), .delaySeconds = delay}; }

  static std::vector<std::string> listed() {
    std::vector<std::string> out;
    for (const auto& app : TXKit::sharedInstance().moreApps())
      out.push_back(app.appStoreID + " " + app.name + (app.badge ? " +" : "") + (app.artwork ? "" : " (no icon)"));
    return out;
  }
  // Rebuilds and waits until the list is `expected`.
  static void rebuildUntil(const std::vector<std::string>& expected) {
    TXKit::sharedInstance().updateMoreApps();
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return listed() == expected; }, 20))
        << ::testing::PrintToString(listed());
  }
  size_t iconRequests(const std::string& id) const {
    auto requests = server_.requests();
    return std::count_if(requests.begin(), requests.end(),
                         [&](const auto& r) { return r.path() == "/icon-" + id + ".png"; });
  }
  static void useMoreApps(const std::string& ids) {
    TXConfig::sharedInstance().setValue("app", "moreApps", ns::Value(ids));
  }

  net::testing::LoopbackHTTPServer server_{{.tls = true, .names = {TXAppStore::kLookupHost}}};
  ns::Data icon_;
};

TEST_F(MoreAppsTest, RebuildNamesMasksAndBadgesTheStoresRecordsInItsOrder) {
  useMoreApps("11,+22, 33");
  server_.route("/lookup", results({record("22", "Paint Pro: Studio"), record("11", "Scanner"),
                                    R"({"kind": "software", "trackId": 33, "trackName": "No Icon"})"}));
  server_.route("/icon-11.png", icon());
  server_.route("/icon-22.png", icon());
  rebuildUntil({"22 Paint +", "11 Scanner"});  // 33 has no icon and is left out
  auto app = TXKit::sharedInstance().moreApps().front();
  EXPECT_EQ(app.badge, "1");
  EXPECT_EQ(app.artwork->size().width, 180);
  EXPECT_NE(TXCache::restoreItemsFromCache("22-artwork").objectAs<ui::ArchivedImage>(), nullptr);

  // Records and icons come from the cache while younger than 7 days (the
  // cached records in the configured order).
  rebuildUntil({"11 Scanner", "22 Paint +"});
  EXPECT_EQ(iconRequests("22"), 1u);

  useMoreApps(" ");
  rebuildUntil({});
}

TEST_F(MoreAppsTest, AnIconAnswerThatIsNoImageKeepsTheCachedIcon) {
  useMoreApps("11");
  server_.route("/lookup", results({record("11", "Scanner")}));
  server_.route("/icon-11.png", std::vector<Answer>{icon(), Answer{.status = 404, .body = "<html>gone</html>"},
                                                    Answer{.body = "<html>not an image</html>"}});
  rebuildUntil({"11 Scanner"});
  for (int failure = 0; failure < 2; ++failure) {
    // Past its 7 days the cached icon is fetched again; a failed answer
    // falls back to it whatever its age.
    ns::Clock::useVirtual(ns::Date::now().addingTimeInterval(8 * 86400.0));
    TXKit::sharedInstance().setMoreApps({});
    rebuildUntil({"11 Scanner"});
    EXPECT_EQ(iconRequests("11"), 2u + failure);
    auto cached = TXCache::restoreItemsFromCache("11-artwork").objectAs<ui::ArchivedImage>();
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->image()->size().width, 180);
  }
  ns::Clock::useReal();
}

TEST_F(MoreAppsTest, OfTwoQuickRebuildsOnlyTheNewerPublishes) {
  // Each configuration's lookup answers its own record.
  server_.route("/lookup", [](const net::testing::RecordedRequest& request) {
    return request.target.find("id=11") != std::string::npos ? results({record("11", "Older")})
                                                             : results({record("22", "Newer")});
  });
  bool olderPublished = false;
  auto settledOnNewer = [&](auto&& more) {
    return dispatch::RunLoop::main().runUntil(
        [&] {
          olderPublished = olderPublished || listed() == std::vector<std::string>{"11 Older"};
          return more() && listed() == std::vector<std::string>{"22 Newer"};
        },
        20);
  };
  server_.route("/icon-22.png", icon());

  // The older rebuild's icon is still on its way when the newer one starts:
  // it arrives and is cached, but its list never lands.
  server_.route("/icon-11.png", icon(1.0));
  useMoreApps("11");
  TXKit::sharedInstance().updateMoreApps();
  EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return iconRequests("11") == 1; }, 20));
  useMoreApps("22");
  TXKit::sharedInstance().updateMoreApps();
  EXPECT_TRUE(settledOnNewer([] { return !TXCache::restoreItemsFromCache("11-artwork").isNil(); }));
  dispatch::RunLoop::main().runUntilDate(ns::Date::now().addingTimeInterval(0.2));
  EXPECT_FALSE(olderPublished);

  // The older rebuild's lookup answers after the newer one's: it is dropped
  // (ids not cached yet, so both ask the store).
  TXKit::sharedInstance().setMoreApps({});
  server_.route("/lookup", [](const net::testing::RecordedRequest& request) {
    return request.target.find("id=33") != std::string::npos ? results({record("33", "Older")}, 0.4)
                                                             : results({record("44", "Newer")});
  });
  server_.route("/icon-33.png", icon());
  server_.route("/icon-44.png", icon());
  useMoreApps("33");
  TXKit::sharedInstance().updateMoreApps();
  useMoreApps("44");
  TXKit::sharedInstance().updateMoreApps();
  bool older = false;
  EXPECT_TRUE(dispatch::RunLoop::main().runUntil(
      [&] {
        older = older || listed() == std::vector<std::string>{"33 Older"};
        return listed() == std::vector<std::string>{"44 Newer"};
      },
      20));
  dispatch::RunLoop::main().runUntilDate(ns::Date::now().addingTimeInterval(0.6));
  EXPECT_FALSE(older);
  EXPECT_EQ(listed(), std::vector<std::string>{"44 Newer"});
  EXPECT_EQ(iconRequests("33"), 0u) << "its pass never started";
}

// A list of `n` apps, the second and third badged.
std::vector<TXKit::MoreApp> apps(int n) {
  std::vector<TXKit::MoreApp> list;
  auto artwork = ImageEffects::imageWithCircleSize({60, 60}, ui::Color::blue());
  for (int i = 1; i <= n; ++i)
    list.push_back({std::to_string(i), "App " + std::to_string(i), artwork,
                    i == 2 || i == 3 ? std::optional<std::string>("1") : std::nullopt});
  return list;
}

std::shared_ptr<TXMoreAppsTableViewCell> stripOf(int n, double width = 320) {
  TXKit::sharedInstance().setMoreApps(apps(n));
  auto cell = std::make_shared<TXMoreAppsTableViewCell>();
  cell->setFrame({0, 0, width, 100});
  cell->layoutSubviews();
  return cell;
}

TEST_F(MoreAppsTest, TheStripSharesTheWidthOutAndScrollsWhenTheIconsDoNotFit) {
  auto one = stripOf(1);
  ASSERT_EQ(one->buttons().size(), 1u);
  EXPECT_EQ(one->buttons()[0]->frame(), ui::Rect(130, 15, 60, 60));
  EXPECT_EQ(one->labels()[0]->frame(), ui::Rect(65, 75, 190, 21));
  EXPECT_EQ(one->badges()[0]->frame().origin, ui::Point(175, 5));
  EXPECT_EQ(one->view()->contentSize(), ui::Size(320, 100));
  EXPECT_EQ(one->labels()[0]->text(), "App 1");

  auto six = stripOf(6);
  EXPECT_EQ(six->view()->contentSize(), ui::Size(458, 100));
  EXPECT_EQ(six->buttons()[5]->frame().origin, ui::Point(14 + 5 * 74, 15));
  EXPECT_EQ(six->labels()[5]->frame(), ui::Rect(7 + 5 * 74, 75, 74, 21));
  EXPECT_EQ(six->badges()[2]->frame().origin, ui::Point(14 + 2 * 74 + 45, 5));

  auto none = stripOf(0);
  EXPECT_TRUE(TXMoreAppsTableViewCell::isEmpty());
  EXPECT_TRUE(none->view()->subviews().empty());
  EXPECT_EQ(none->view()->contentSize().width, none->view()->bounds().size.width);
}

TEST_F(MoreAppsTest, ATappedBadgeStaysAwayAndIsCountedOnceUntilTheBadgeReset) {
  auto cell = stripOf(3);
  EXPECT_FALSE(cell->badges()[0]->image()) << "no badge asked for";
  EXPECT_TRUE(cell->badges()[1]->image());
  EXPECT_TRUE(TXMoreAppsTableViewCell::hasBadge());

  for (int tap = 0; tap < 2; ++tap) cell->buttonClicked(*cell->buttons()[1]);
  EXPECT_FALSE(cell->badges()[1]->image());
  auto defaults = ns::UserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults->stringArrayForKey(TXMoreAppsTableViewCell::kClickedAppIDsKey),
            std::vector<std::string>{"2"});
  // The key as it is spelt in the preferences file, read by another reader.
  std::string file = ns::Device::current().preferencesDirectory() + "/" +
                     ns::Bundle::mainBundle()->bundleIdentifier().value_or("") + ".plist";
  int status = 0;
  std::string xml = ns::testing::runCommand("plistutil -i '" + file + "' -f xml 2>&1", &status);
  EXPECT_NE(xml.find("<key>MoreAppsClickedAppIDs</key>\n\t<array>\n\t\t<string>2</string>"), std::string::npos)
      << status << xml;
  EXPECT_TRUE(TXMoreAppsTableViewCell::hasBadge()) << "app 3 is still new";
  cell->setMoreApps(apps(3));
  EXPECT_FALSE(cell->badges()[1]->image()) << "after a rebuild too";
  cell->buttonClicked(*cell->buttons()[2]);
  EXPECT_FALSE(TXMoreAppsTableViewCell::hasBadge());

  // The reset trigger brings every badge back.
  TXConfig::sharedInstance().setValue("app", "moreAppsBadgeReset", ns::Value(ns::Date::now()));
  cell->setMoreApps(apps(3));
  EXPECT_TRUE(cell->badges()[1]->image());
  EXPECT_FALSE(defaults->objectForKey(TXMoreAppsTableViewCell::kClickedAppIDsKey));
  EXPECT_TRUE(TXMoreAppsTableViewCell::hasBadge());
}

TEST_F(MoreAppsTest, ATapOpensTheStorePageAndLogsTheContext) {
  TXConfig::sharedInstance().setValue("app", "affiliateToken", ns::Value("tok"));
  auto cell = stripOf(2);
  cell->buttonClicked(*cell->buttons()[0]);
  cell->setContext("Settings");
  TXMoreAppsTableViewCell unattached;
  unattached.setContext("Settings");
  unattached.buttonClicked(*cell->buttons()[1]);  // not its button: nothing
  cell->buttonClicked(*cell->buttons()[1]);
  auto clicks = events("More_Apps_Click");
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].parameters->find("Context")->stringValue(), "Unknown");
  EXPECT_EQ(clicks[0].parameters->find("App")->stringValue(), "App 1");
  EXPECT_EQ(clicks[1].parameters->find("Context")->stringValue(), "Settings");
  ui::Input::settle();
  auto page = std::dynamic_pointer_cast<sk::StoreProductViewController>(root_->presentedViewController());
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->loadedParameters().find("id")->stringValue(), "1");
  EXPECT_EQ(page->loadedParameters().find("ct")->stringValue(), "moreapps:1");
  EXPECT_EQ(page->loadedParameters().find("at")->stringValue(), "tok");
}

TEST_F(MoreAppsTest, ThePopupShowsTheStripAndLogsItsTapsAsPopup) {
  TXKit::sharedInstance().setMoreApps(apps(2));
  auto card = std::make_shared<TXMoreAppsViewController>(std::vector<TXKit::MoreApp>{});
  present(card);
  ASSERT_EQ(popup<TXMoreAppsViewController>(), card);
  EXPECT_TRUE(shows("Did you like this app?"));
  EXPECT_TRUE(shows("Try our beautiful more apps!"));
  EXPECT_TRUE(shows("App 2"));
  EXPECT_EQ(card->cell()->labels()[1]->frame(), ui::Rect(30 + 120, 75, 120, 21)) << "laid out in the card";
  EXPECT_EQ(card->cell()->buttons()[1]->imageView().frame().size, ui::Size(60, 60)) << "the icon fits the button";
  card->cell()->buttonClicked(*card->cell()->buttons()[0]);
  EXPECT_EQ(events("More_Apps_Click").at(0).parameters->find("Context")->stringValue(), "Popup");
  card->clickedOk();
  ui::Input::settle();
  EXPECT_EQ(dismissals_, 1);
}

}  // namespace
