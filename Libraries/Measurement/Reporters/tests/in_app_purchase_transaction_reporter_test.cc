// In-app purchases through the engine on the real database, with products
// described by the store catalogue of the device directory: the "_iap"
// parameters read back with sqlite3 and protoc, one product request per
// batch answered (on the virtual clock) before the event, the bounded
// product cache, a failed request reporting what is cached and leaving the
// rest to a later delivery, and a purchase made through the payment queue
// ending in the event and the currency's lifetime value.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"
#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseProductCache.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"
#include "Platform/StoreKit/PaymentQueue.h"
#include "Platform/StoreKit/ProductsRequest.h"

namespace {

using namespace msr_testing;
using Params = std::map<std::string, std::string>;

class MSRInAppPurchaseTransactionReporterTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MSRInAppPurchaseProductCache::sharedInstance()->removeAllForTesting();
    startEngine();
  }
  void TearDown() override {
    MSRInAppPurchaseProductCache::sharedInstance()->removeAllForTesting();
    EngineTest::TearDown();
  }

  void writeCatalog(const std::string& json) {
    std::filesystem::create_directories(device_.path("StoreKit"));
    std::ofstream(sk::ProductsRequest::catalogPath()) << json;
  }
  static std::shared_ptr<sk::PaymentTransaction> purchased(const std::string& product, const std::string& id,
                                                           int64_t quantity = 1) {
    auto transaction = std::make_shared<sk::PaymentTransaction>();
    transaction->transactionState = sk::PaymentTransactionState::Purchased;
    transaction->payment = sk::Payment{product, quantity};
    transaction->transactionIdentifier = id;
    return transaction;
  }
  // The transactions as the payment-queue observer hands them on.
  void deliver(const sk::PaymentTransactionList& transactions) {
    MSRAnalytics::paymentQueueUpdatedTransactions(transactions);
  }
  bool until(const std::function<bool()>& done) {
    bool reached = dispatch::RunLoop::main().runUntil(
        [&] {
          MSRAnalyticsWaitForTesting();
          return done();
        },
        60);
    flush();
    return reached;
  }
  // -1 while the database is busy (sqlite3 then prints its error).
  static int64_t iapCount() {
    std::string count = query("SELECT count(*) FROM raw_events WHERE name = '_iap'");
    return count.empty() || !std::isdigit(static_cast<unsigned char>(count[0])) ? -1 : std::stoll(count);
  }
  // The stored "_iap" events' parameters, oldest first.
  static std::vector<Params> storedPurchases() {
    std::vector<Params> out;
    std::istringstream rows(query("SELECT rowid FROM raw_events WHERE name = '_iap' ORDER BY rowid"));
    std::string row;
    while (std::getline(rows, row)) {
      if (row.empty()) continue;
      out.push_back(parseBundleText("events {\n" + decodedEvent(std::stoll(row)) + "}\n").events.at(0).params);
    }
    return out;
  }
  static std::string fingerprintsOf(std::vector<std::string> ids) {
    std::string out;
    std::sort(ids.begin(), ids.end(), [](const auto& a, const auto& b) { return msr_MD5String(a).value_or("") < msr_MD5String(b).value_or(""); });
    for (const auto& id : ids) out += (out.empty() ? "" : "\n") + msr_MD5String(id).value_or("");
    return out;
  }
  static std::string storedFingerprints() {
    return query("SELECT fingerprint FROM purchase_transactions ORDER BY fingerprint");
  }
};

std::shared_ptr<const sk::Product> product(const std::string& id, const std::string& price, const std::string& locale,
                                           std::optional<std::string> title = std::nullopt) {
  auto made = std::make_shared<sk::Product>();
  made->productIdentifier = id;
  made->price = ns::DecimalNumber::fromString(price);
  made->priceLocale = ns::Locale(locale);
  made->localizedTitle = std::move(title);
  return made;
}

TEST_F(MSRInAppPurchaseTransactionReporterTest, APurchaseCarriesItsPricesInMicros) {
  struct Case {
    const char* what;
    std::shared_ptr<const sk::Product> product;
    int64_t quantity;
    std::optional<Params> logged;
  } cases[] = {
      {"one at 0.99",
       product("coins", "0.99", "en_US", "Coins"),
       1,
       Params{{"_c", "1"},
              {"_o", "\"auto\""},
              {"product_id", "\"coins\""},
              {"product_name", "\"Coins\""},
              {"price", "990000"},
              {"value", "990000"},
              {"quantity", "1"},
              {"currency", "\"USD\""}}},
      {"three at 0.99, no title",
       product("coins", "0.99", "de_DE"),
       3,
       Params{{"_c", "1"},
              {"_o", "\"auto\""},
              {"product_id", "\"coins\""},
              {"price", "990000"},
              {"value", "2970000"},
              {"quantity", "3"},
              {"currency", "\"EUR\""}}},
      {"0.1 exactly, as a decimal", product("gems", "0.1", "en_GB"), 7,
       Params{{"_c", "1"},
              {"_o", "\"auto\""},
              {"product_id", "\"gems\""},
              {"price", "100000"},
              {"value", "700000"},
              {"quantity", "7"},
              {"currency", "\"GBP\""}}},
      {"quantity 0", product("coins", "0.99", "en_US"), 0, std::nullopt},
      {"a locale without a currency", product("coins", "0.99", "en"), 1, std::nullopt},
      {"a price past int64 in micros", product("coins", "1e20", "en_US"), 1, std::nullopt},
      {"no product", nullptr, 1, std::nullopt},
      {"no product identifier", product("", "0.99", "en_US"), 1, std::nullopt},
  };
  std::vector<Params> expected;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MSRInAppPurchaseTransactionReporter::sharedInstance()->reportTransactionWithProduct(c.product, c.quantity, "1",
                                                                                        std::nullopt, std::nullopt);
    flush();
    if (c.logged) expected.push_back(*c.logged);
    EXPECT_EQ(storedPurchases(), expected);
  }
  EXPECT_EQ(countOf(40026), 1);
  EXPECT_EQ(countOf(40027), 1);
}

TEST_F(MSRInAppPurchaseTransactionReporterTest, OneRequestForTheMissingProductsAndTheEventsAfterTheReply) {
  writeCatalog(R"({"delay": 5, "products": [
      {"identifier": "coins", "price": "0.99", "locale": "en_US", "title": "Coins"},
      {"identifier": "gems", "price": "4.99", "locale": "en_US"}]})");
  const size_t requests = sk::ProductsRequest::startedRequestCount();
  auto restored = purchased("gems", "300000000000003");
  restored->transactionState = sk::PaymentTransactionState::Restored;
  auto failed = purchased("gems", "300000000000004");
  failed->transactionState = sk::PaymentTransactionState::Failed;
  deliver({purchased("coins", "300000000000001"), purchased("gems", "300000000000002", 2), restored, failed,
           purchased("unknown", "300000000000005")});
  ASSERT_TRUE(until([&] { return sk::ProductsRequest::startedRequestCount() == requests + 1; }));
  EXPECT_EQ(iapCount(), 0) << "the store has not answered yet";
  ns::Clock::advance(5);
  ASSERT_TRUE(until([&] { return iapCount() == 2; }));
  EXPECT_EQ(sk::ProductsRequest::startedRequestCount(), requests + 1) << "one request for the batch";
  EXPECT_EQ(countOf(40026), 1) << "the invalid product";
  auto stored = storedPurchases();
  std::set<std::string> values;
  for (auto& p : stored) values.insert(p["product_id"] + "=" + p["value"]);
  EXPECT_EQ(values, (std::set<std::string>{"\"coins\"=990000", "\"gems\"=9980000"}));
  // Cached now: the next purchase of both asks nothing of the store.
  deliver({purchased("coins", "300000000000006"), purchased("gems", "300000000000007")});
  ASSERT_TRUE(until([&] { return iapCount() == 4; }));
  EXPECT_EQ(sk::ProductsRequest::startedRequestCount(), requests + 1);
  EXPECT_EQ(countOf(21027), 0);
}

TEST_F(MSRInAppPurchaseTransactionReporterTest, AFailedRequestReportsTheCachedAndLeavesTheRestForLater) {
  writeCatalog(R"({"products": [{"identifier": "coins", "price": "0.99", "locale": "en_US"},
                                {"identifier": "gems", "price": "4.99", "locale": "en_US"}]})");
  deliver({purchased("coins", "400000000000001")});
  ASSERT_TRUE(until([&] { return iapCount() == 1; }));
  writeCatalog(R"({"fail": true, "products": [{"identifier": "gems", "price": "4.99", "locale": "en_US"}]})");
  deliver({purchased("coins", "400000000000002"), purchased("gems", "400000000000003")});
  ASSERT_TRUE(until([&] { return countOf(21027) == 1 && iapCount() == 2; }));
  EXPECT_EQ(storedPurchases().back()["product_id"], "\"coins\"");
  EXPECT_EQ(storedFingerprints(), fingerprintsOf({"400000000000001", "400000000000002"}))
      << "the unreported purchase is no longer known";
  // The store answers again: the same transactions delivered again report
  // the one left over, and the other is a duplicate.
  writeCatalog(R"({"products": [{"identifier": "gems", "price": "4.99", "locale": "en_US"}]})");
  deliver({purchased("coins", "400000000000002"), purchased("gems", "400000000000003")});
  ASSERT_TRUE(until([&] { return iapCount() == 3; }));
  EXPECT_EQ(storedPurchases().back()["product_id"], "\"gems\"");
  EXPECT_EQ(countOf(23141), 1);
  EXPECT_EQ(storedFingerprints(), fingerprintsOf({"400000000000001", "400000000000002", "400000000000003"}));
}

TEST_F(MSRInAppPurchaseTransactionReporterTest, AReplyThatFillsTheCacheIsAllThatStays) {
  auto cache = MSRInAppPurchaseProductCache::sharedInstance();
  writeCatalog(R"({"products": [{"identifier": "kept", "price": "1", "locale": "en_US"},
                                {"identifier": "early", "price": "1", "locale": "en_US"}]})");
  auto ask = [&](const std::set<std::string>& ids) {
    std::atomic<bool> answered{false};
    size_t replied = 0;
    cache->requestProductsWithProductIdentifiers(
        ids, dispatch::Queue::global(),
        [&](const MSRProductMap& products, const std::set<std::string>& invalid, const std::optional<ns::Error>&) {
          replied = products.size() + invalid.size();
          answered = true;
        });
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return answered.load(); }, 60));
    return replied;
  };
  std::set<std::string> first{"early"}, second{"kept"};
  for (int i = 0; i < 59; ++i) first.insert("a" + std::to_string(i));
  for (int i = 0; i < 39; ++i) second.insert("b" + std::to_string(i));
  EXPECT_EQ(ask(first), 60u);
  EXPECT_EQ(ask(second), 40u) << "the reply alone, not the cache";
  EXPECT_EQ(cache->entryCountForTesting(), 100u) << "100 entries stay whole";
  EXPECT_NE(cache->cachedProductForProductIdentifier("early"), nullptr);
  std::set<std::string> third{"c"};
  EXPECT_EQ(ask(third), 1u);
  EXPECT_EQ(cache->entryCountForTesting(), 1u) << "101 entries: only the last reply stays";
  EXPECT_EQ(cache->cachedProductForProductIdentifier("early"), nullptr);
  EXPECT_EQ(cache->cachedProductForProductIdentifier("kept"), nullptr);
}

TEST_F(MSRInAppPurchaseTransactionReporterTest, APurchaseThroughThePaymentQueueIsReportedOnceAndCounted) {
  writeCatalog(R"({"products": [{"identifier": "pro", "price": "2.49", "locale": "fr_FR", "title": "Pro"}]})");
  auto observer = MSRAnalytics::sharedInstance();
  sk::PaymentQueue::defaultQueue().addTransactionObserver(observer);
  auto transaction = sk::PaymentQueue::defaultQueue().purchase("pro", 2);
  ASSERT_TRUE(until([&] { return iapCount() == 1; }));
  EXPECT_EQ(storedPurchases().at(0), (Params{{"_c", "1"},
              {"_o", "\"auto\""},
                                             {"product_id", "\"pro\""},
                                             {"product_name", "\"Pro\""},
                                             {"price", "2490000"},
                                             {"value", "4980000"},
                                             {"quantity", "2"},
                                             {"currency", "\"EUR\""}}));
  EXPECT_EQ(query("SELECT name, origin, value FROM user_attributes WHERE name LIKE '!_ltv!_%' ESCAPE '!'"),
            "_ltv_EUR|auto|4980000");
  EXPECT_EQ(storedFingerprints(), fingerprintsOf({*transaction->transactionIdentifier}));
  sk::PaymentQueue::defaultQueue().deliverTransactions({transaction});
  ASSERT_TRUE(until([&] { return countOf(23141) == 1; }));
  EXPECT_EQ(iapCount(), 1);
  EXPECT_EQ(query("SELECT value FROM user_attributes WHERE name = '_ltv_EUR'"), "4980000");
  sk::PaymentQueue::defaultQueue().removeTransactionObserver(observer.get());
}

}  // namespace
