// The kit's store against a real HTTPS server on 127.0.0.1 that the device
// knows as the store's lookup host: what is asked, what is cached, what a
// failure delivers; and the product page inside the app.
#include <gtest/gtest.h>

#include <filesystem>

#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXCache.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using net::testing::Answer;

constexpr double kDay = 86400;

struct Lookup {
  bool finished = false;
  bool withinCall = false;
  TXAppStore::Records records;
  std::optional<ns::Error> error;

  std::vector<std::string> trackIds() const {
    std::vector<std::string> ids;
    for (const auto& r : records) ids.push_back(r.find("trackId") ? r.find("trackId")->stringValue() : "?");
    return ids;
  }
};

class TXAppStoreTest : public ui::testing::InterfaceTest {
 protected:
  TXAppStoreTest() {
    EXPECT_TRUE(net::mapHostToLoopback(TXAppStore::kLookupHost, server_.port()));
    EXPECT_TRUE(net::trustCertificateAuthority("lookup", server_.authorityPEM()));
    TXConfig::sharedInstance().reset();
    TXUIManager::sharedInstance().reset();
  }
  ~TXAppStoreTest() override {
    TXUIManager::sharedInstance().reset();
    TXConfig::sharedInstance().reset();
  }

  // Looks the ids up and waits for the completion.
  static Lookup load(const std::vector<std::string>& ids, int64_t days) {
    auto lookup = std::make_shared<Lookup>();
    bool returned = false;
    TXAppStore::sharedInstance().loadAppIds(ids, days, [lookup, &returned](TXAppStore::Records records,
                                                                           std::optional<ns::Error> error) {
      lookup->finished = true;
      lookup->withinCall = !returned;
      lookup->records = std::move(records);
      lookup->error = std::move(error);
    });
    returned = true;
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([lookup] { return lookup->finished; }, 20));
    return *lookup;
  }
  static std::string app(const std::string& trackId, const std::string& kind = "software") {
    return R"({"kind": ")" + kind + R"(", "trackId": )" + trackId + R"(, "trackName": "App"})";
  }
  static std::string results(const std::vector<std::string>& records) {
    std::string joined;
    for (const auto& r : records) joined += (joined.empty() ? "" : ", ") + r;
    return R"({"resultCount": )" + std::to_string(records.size()) + R"(, "results": [)" + joined + "]}";
  }
  static void cache(const std::string& id) {
    ns::Dictionary record{{"kind", ns::Value("software")}, {"trackId", ns::Value(std::stoll(id))}};
    ASSERT_TRUE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value(record)), TXAppStore::infoKey(id)));
  }
  // The kit's lookups, without the rating scheduler's own store checks.
  std::vector<std::string> lookups() const {
    std::vector<std::string> targets;
    for (const auto& r : server_.requests())
      if (r.path() == "/lookup") targets.push_back(r.target);
    return targets;
  }
  static bool cached(const std::string& id) {
    return !TXCache::restoreItemsFromCache(TXAppStore::infoKey(id)).isNil();
  }

  net::testing::LoopbackHTTPServer server_{{.tls = true, .names = {TXAppStore::kLookupHost}}};
};

TEST_F(TXAppStoreTest, FreshCacheAnswersWithinTheCallWithoutARequest) {
  cache("22");
  cache("11");
  Lookup lookup = load({"11", "22"}, 7);
  EXPECT_TRUE(lookup.withinCall);
  EXPECT_EQ(lookup.trackIds(), (std::vector<std::string>{"11", "22"})) << "in the order asked";
  EXPECT_FALSE(lookup.error);
  EXPECT_EQ(lookups().size(), 0u);

  // No usable ids: nothing to ask.
  lookup = load({}, 7);
  EXPECT_TRUE(lookup.withinCall);
  EXPECT_TRUE(lookup.records.empty());
  EXPECT_FALSE(lookup.error);
  EXPECT_EQ(lookups().size(), 0u);
}

TEST_F(TXAppStoreTest, OneMissingIdAsksOnceForAllAndCachesOnlySoftware) {
  cache("11");
  server_.route("/lookup", Answer{.body = results({app("22"), app("33", "ebook"), app("11"), app("\"44\"")})});
  Lookup lookup = load({"11", "22", "33", "44"}, 7);
  EXPECT_FALSE(lookup.withinCall);
  EXPECT_FALSE(lookup.error);
  EXPECT_EQ(lookup.trackIds(), (std::vector<std::string>{"22", "11", "44"})) << "in the service's order";
  ASSERT_EQ(lookups().size(), 1u);
  EXPECT_EQ(lookups()[0], "/lookup?country=US&lang=en&id=11,22,33,44");
  EXPECT_TRUE(cached("22"));
  EXPECT_TRUE(cached("44")) << "a string track id is cached as is";
  EXPECT_FALSE(cached("33")) << "only software";
}

TEST_F(TXAppStoreTest, StaleEntriesAndAnAgeOfZeroAsk) {
  server_.route("/lookup", Answer{.body = results({app("11")})});
  cache("11");
  // Age 0: fresh only when stored later than the call itself.
  EXPECT_FALSE(load({"11"}, 0).withinCall);
  EXPECT_EQ(lookups().size(), 1u);
  ns::Clock::advance(6 * kDay);
  EXPECT_TRUE(load({"11"}, 7).withinCall) << "stored 6 days ago";
  ns::Clock::advance(2 * kDay);
  EXPECT_FALSE(load({"11"}, 7).withinCall) << "stored 8 days ago";
  EXPECT_EQ(lookups().size(), 2u);
  EXPECT_TRUE(load({"11"}, 7).withinCall) << "the lookup rewrote the entry";
}

TEST_F(TXAppStoreTest, FailuresDeliverCachedRecordsOfAnyAgeWithTheError) {
  cache("11");
  ns::Clock::advance(30 * kDay);
  struct Case {
    const char* name;
    Answer answer;
    std::string domain;
    int64_t code;
  };
  const std::vector<Case> cases = {
      {"offline", {.body = std::string(100, ' '), .cut = Answer::Cut::Close, .cutAfter = 0}, net::kURLErrorDomain, 0},
      {"server error", {.status = 500, .body = results({app("22")})}, "HTTPResponseErrorDomain", 500},
      {"not found", {.status = 404}, "HTTPResponseErrorDomain", 404},
      {"not JSON", {.body = "<html>busy</html>"}, ns::kCocoaErrorDomain, ns::kJsonReadCorruptError},
      {"not an object", {.body = "[1, 2]"}, "HTTPResponseErrorDomain", 200},
      {"no results", {.body = R"({"resultCount": 1})"}, "HTTPResponseErrorDomain", 200},
      {"results not a list", {.body = R"({"resultCount": 1, "results": {"trackId": 22}})"}, "HTTPResponseErrorDomain", 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.route("/lookup", c.answer);
    Lookup lookup = load({"11", "22"}, 7);
    EXPECT_EQ(lookup.trackIds(), std::vector<std::string>{"11"}) << "the stale record, and no other";
    ASSERT_TRUE(lookup.error);
    EXPECT_EQ(lookup.error->domain(), c.domain);
    if (c.code) {
      EXPECT_EQ(lookup.error->code(), c.code);
    }
    EXPECT_FALSE(cached("22"));
  }
}

TEST_F(TXAppStoreTest, LanguageLosesItsRegionAndOnlyDigitIdsReachTheQueryOrAFile) {
  auto facts = ns::Device::current().facts();
  facts.localeIdentifier = "pt_BR";
  ns::Device::current().setFacts(facts);
  server_.route("/lookup", Answer{.body = results({app("12"), app("\"../../escaped\""), app("\"7/8\"")})});
  Lookup lookup = load({"../../Library/x", "12", "1/2", "12 ", "-3", ""}, 7);
  ASSERT_EQ(lookups().size(), 1u);
  EXPECT_EQ(lookups()[0], "/lookup?country=BR&lang=pt&id=12");
  EXPECT_EQ(lookup.trackIds(), (std::vector<std::string>{"12", "../../escaped", "7/8"})) << "delivered, not cached";
  EXPECT_EQ(*ns::FileManager::defaultManager().contentsOfDirectory(TXCache::cacheDirectory()),
            std::vector<std::string>{"12-info"});
  std::string caches = ns::FileManager::defaultManager().cachesDirectory().path();
  EXPECT_FALSE(std::filesystem::exists(caches + "/escaped-info"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(caches).parent_path() / "escaped-info"));

  // Only unusable ids: nothing is asked.
  lookup = load({"abc", "../x"}, 7);
  EXPECT_TRUE(lookup.withinCall);
  EXPECT_TRUE(lookup.records.empty());
  EXPECT_EQ(lookups().size(), 1u);
}

TEST_F(TXAppStoreTest, StoreAddressCarriesTheTokenOnlyWhenThereIsOne) {
  const std::string page = "https://apps.store.example/app/id1189?mt=8&ls=1&ct=email-sign";
  const auto& store = TXAppStore::sharedInstance();
  EXPECT_EQ(store.appStoreURLForAppID("1189"), page);
  TXConfig::sharedInstance().setValue("app", "affiliateToken", ns::Value(""));
  EXPECT_EQ(store.appStoreURLForAppID("1189"), page);
  TXConfig::sharedInstance().setValue("app", "affiliateToken", ns::Value("p4&ct=x"));
  EXPECT_EQ(store.appStoreURLForAppID("1189"), page + "&at=p4%26ct%3Dx");
}

class TXAppStorePageTest : public TXAppStoreTest {
 protected:
  TXAppStorePageTest() { show(std::make_shared<ui::ViewController>()); }
  static std::shared_ptr<sk::StoreProductViewController> page() {
    auto top = TXUIManager::topmostViewController();
    return std::dynamic_pointer_cast<sk::StoreProductViewController>(top);
  }
};

TEST_F(TXAppStorePageTest, ProductPageLoadsShowsTheItemAndDoneDismissesIt) {
  TXConfig::sharedInstance().setValue("app", "affiliateToken", ns::Value("p4wq7z"));
  TXAppStore::sharedInstance().showAppId("1189034522");
  ui::Input::settle();
  ASSERT_TRUE(page());
  EXPECT_EQ(page()->loadedParameters(),
            (ns::Dictionary{{"id", ns::Value("1189034522")}, {"ct", ns::Value("moreapps:1189034522")},
                            {"at", ns::Value("p4wq7z")}}));
  std::string screen = ui::ScreenText::render();
  EXPECT_NE(screen.find("Item: 1189034522"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("Loading..."), std::string::npos) << "the HUD is gone\n" << screen;
  ASSERT_TRUE(ui::Input::pressBarButton("Done"));
  EXPECT_FALSE(page());
}

TEST_F(TXAppStorePageTest, AnEmptyTokenIsLeftOutAndAnUnusableIdOpensNothing) {
  for (std::optional<ns::Value> token : {std::optional<ns::Value>(), std::optional<ns::Value>(ns::Value(""))}) {
    if (token) TXConfig::sharedInstance().setValue("app", "affiliateToken", *token);
    TXAppStore::sharedInstance().showAppId("77");
    ui::Input::settle();
    ASSERT_TRUE(page());
    EXPECT_EQ(page()->loadedParameters(),
              (ns::Dictionary{{"id", ns::Value("77")}, {"ct", ns::Value("moreapps:77")}}));
    ASSERT_TRUE(ui::Input::pressBarButton("Done"));
  }
  TXAppStore::sharedInstance().showAppId("../77");
  ui::Input::settle();
  EXPECT_FALSE(page());
}

TEST(StoreProductViewControllerTest, ALoadWithoutAnItemFails) {
  auto page = std::make_shared<sk::StoreProductViewController>();
  std::optional<ns::Error> failure;
  bool done = false;
  page->loadProductWithParameters({{"ct", ns::Value("x")}}, [&](bool ok, std::optional<ns::Error> error) {
    done = true;
    EXPECT_FALSE(ok);
    failure = error;
  });
  EXPECT_FALSE(done) << "completes later, on the main queue";
  dispatch::RunLoop::main().drain();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->domain(), sk::kErrorDomain);
  EXPECT_EQ(failure->code(), sk::kErrorStoreProductNotAvailable);
}

}  // namespace
