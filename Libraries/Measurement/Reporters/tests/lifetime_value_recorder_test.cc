// Lifetime value through the engine's event handling on the real database:
// the "_ltv_" totals read back with sqlite3, the currency rules, refunds,
// the currency limit, and amounts that would leave the int64 range.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRLifetimeValueRecorder.h"

namespace {

using namespace msr_testing;

MSRValue dbl(double v) { return MSRValue::initWithDouble(v); }

class MSRLifetimeValueRecorderTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    startEngine();
  }
  // One purchase-like event, a second of virtual time after the last, so
  // the set times order the currencies.
  void buy(const std::string& name, const std::string& currency, const MSRValue& value) {
    ns::Clock::advance(1);
    handle(event(name, {{"currency", str(currency)}, {"value", value}}));
  }
  static std::string totals() {
    return query("SELECT name, origin, value FROM user_attributes WHERE name LIKE '!_ltv!_%' ESCAPE '!' ORDER BY name");
  }
};

TEST_F(MSRLifetimeValueRecorderTest, PurchasesAddAndRefundsTakeOffInMicros) {
  buy("purchase", "usd", dbl(9.99));
  EXPECT_EQ(totals(), "_ltv_USD|auto|9990000");
  buy("ecommerce_purchase", "USD", i64(2));
  EXPECT_EQ(totals(), "_ltv_USD|auto|11990000");
  // "_iap" carries micros already: taken as it is, a double truncated.
  buy("_iap", "Usd", i64(10));
  buy("_iap", "usd", dbl(5.9));
  EXPECT_EQ(totals(), "_ltv_USD|auto|11990015");
  buy("refund", "usd", dbl(9.99));
  EXPECT_EQ(totals(), "_ltv_USD|auto|2000015");
  EXPECT_EQ(countOf(22006), 5);
  // Every event was written as well.
  EXPECT_EQ(query("SELECT count(*) FROM raw_events WHERE name IN ('purchase', 'ecommerce_purchase', '_iap', 'refund')"),
            "5");
}

TEST_F(MSRLifetimeValueRecorderTest, EventsThatCountForNothingAreStillWritten) {
  // A public property that only looks like a total is never one.
  onWorker([&] {
    ns::Error error;
    ASSERT_TRUE(engine_->database()->updateUserAttribute(
        MSRUserAttribute::initWithOrigin("app", "altvalue", i64(7), kNow), &error));
  });
  struct Case {
    const char* what;
    std::shared_ptr<MSREvent> event;
    int64_t code;
  } cases[] = {
      {"four letters", event("purchase", {{"currency", str("usdx")}, {"value", dbl(1)}}), 22000},
      {"two letters", event("purchase", {{"currency", str("us")}, {"value", dbl(1)}}), 22000},
      {"currency a number", event("purchase", {{"currency", i64(840)}, {"value", dbl(1)}}), 22000},
      {"no currency", event("purchase", {{"value", dbl(1)}}), 22000},
      {"value a string", event("purchase", {{"currency", str("usd")}, {"value", str("1")}}), 22001},
      {"no value", event("refund", {{"currency", str("usd")}}), 22001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int64_t before = countOf(c.code);
    const std::string written = query("SELECT count(*) FROM raw_events");
    handle(c.event);
    EXPECT_EQ(countOf(c.code), before + 1);
    EXPECT_NE(query("SELECT count(*) FROM raw_events"), written) << "the call still succeeds";
  }
  EXPECT_EQ(query("SELECT name, value FROM user_attributes WHERE name LIKE '%ltv%' OR name = 'altvalue'"),
            "altvalue|7");
  EXPECT_EQ(countOf(23053), 0);
}

TEST_F(MSRLifetimeValueRecorderTest, AFifthCurrencyReplacesTheLeastRecentlySet) {
  for (const char* currency : {"usd", "eur", "gbp", "jpy"}) buy("purchase", currency, dbl(1));
  buy("purchase", "usd", dbl(1));  // USD is now the most recently set
  buy("purchase", "chf", dbl(3));
  EXPECT_EQ(query("SELECT name, value FROM user_attributes WHERE name LIKE '!_ltv!_%' ESCAPE '!' ORDER BY name"),
            "_ltv_CHF|3000000\n_ltv_GBP|1000000\n_ltv_JPY|1000000\n_ltv_USD|2000000");
  // The limit follows the configuration; each new currency makes room for
  // itself alone.
  applyConfig("settings { name: \"measurement.lifetimevalue.max_currency_tracked\" value: \"2\" }");
  buy("purchase", "sek", dbl(1));
  EXPECT_EQ(query("SELECT name FROM user_attributes WHERE name LIKE '!_ltv!_%' ESCAPE '!' ORDER BY name"),
            "_ltv_CHF\n_ltv_JPY\n_ltv_SEK\n_ltv_USD");
}

TEST_F(MSRLifetimeValueRecorderTest, AnAmountOrTotalOutOfRangeIsRefusedAndTheTotalKept) {
  const int64_t max = std::numeric_limits<int64_t>::max();
  buy("_iap", "usd", i64(max - 5));
  ASSERT_EQ(totals(), "_ltv_USD|auto|" + std::to_string(max - 5));
  const std::string written = query("SELECT count(*) FROM raw_events");
  struct Case {
    const char* what;
    std::string name;
    MSRValue value;
  } cases[] = {
      {"total past int64", "_iap", i64(6)},
      {"NaN", "purchase", dbl(std::nan(""))},
      {"NaN in micros", "_iap", dbl(std::nan(""))},
      {"too large once in micros", "purchase", dbl(1e13)},
      {"infinite refund", "refund", dbl(-std::numeric_limits<double>::infinity())},
      {"micros past int64", "_iap", dbl(1e19)},
  };
  int64_t refused = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    buy(c.name, "usd", c.value);
    EXPECT_EQ(countOf(22002), ++refused);
    EXPECT_EQ(totals(), "_ltv_USD|auto|" + std::to_string(max - 5));
  }
  // The events themselves are refused with their total, as any failure to
  // record a lifetime value refuses its event.
  EXPECT_EQ(countOf(23053), refused);
  EXPECT_EQ(query("SELECT count(*) FROM raw_events"), written);
  buy("_iap", "usd", i64(5));
  EXPECT_EQ(totals(), "_ltv_USD|auto|" + std::to_string(max));
}

TEST(MSRLifetimeValueRecorder, PurchaseEventsByName) {
  auto named = [](const std::string& name) {
    auto made = MSREvent::initWithOrigin(name[0] == '_' ? "auto" : "app", name[0] != '_', name, 0, 0, {});
    EXPECT_NE(made, nullptr) << name;
    return made;
  };
  for (const char* name : {"_iap", "purchase", "ecommerce_purchase", "refund"}) {
    auto e = named(name);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(MSRLifetimeValueRecorder::isPurchaseEvent(*e)) << name;
    EXPECT_EQ(MSRLifetimeValueRecorder::isEcommercePurchaseEvent(*e), std::string(name) != "_iap") << name;
  }
  for (const char* name : {"Purchase", "purchases", "iap", "_iapx"}) {
    auto e = named(name);
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(MSRLifetimeValueRecorder::isPurchaseEvent(*e)) << name;
  }
}

}  // namespace
