#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"

#include <cmath>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Reporters/MSRInAppPurchaseProductCache.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Platform/Dispatch/Queue.h"

namespace {

// amount x 1,000,000 as the platform multiplies decimals, converted to a
// double and truncated. None when that leaves the int64 range (or is not a
// number): such a price cannot be carried, so the purchase goes unreported
// rather than with a made-up figure.
std::optional<int64_t> micros(const ns::DecimalNumber& amount) {
  double value = amount.multiply(ns::DecimalNumber(1000000)).doubleValue();
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (std::isnan(value) || value >= kLimit || value < -kLimit) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace

const std::shared_ptr<MSRInAppPurchaseTransactionReporter>& MSRInAppPurchaseTransactionReporter::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRInAppPurchaseTransactionReporter>(std::make_shared<MSRInAppPurchaseTransactionReporter>());
  return *instance;
}

void MSRInAppPurchaseTransactionReporter::paymentQueueUpdatedFilteredTransactions(
    sk::PaymentQueue&, const sk::PaymentTransactionList& transactions) {
  auto cache = MSRInAppPurchaseProductCache::sharedInstance();
  sk::PaymentTransactionList kept;
  std::set<std::string> missing;
  for (const auto& transaction : transactions) {
    if (!transaction || transaction->transactionState != sk::PaymentTransactionState::Purchased) continue;
    const std::string& identifier = transaction->payment.productIdentifier;
    if (identifier.empty()) continue;
    kept.push_back(transaction);
    if (!cache->cachedProductForProductIdentifier(identifier)) missing.insert(identifier);
  }
  if (kept.empty()) return;
  std::weak_ptr<MSRInAppPurchaseTransactionReporter> weak = weak_from_this();
  const auto& global = dispatch::Queue::global(dispatch::Priority::Default);
  if (missing.empty()) {
    global->async([weak, kept] {
      if (auto reporter = weak.lock()) reporter->reportTransactionsFromArray(kept);
    });
    return;
  }
  cache->requestProductsWithProductIdentifiers(
      missing, global,
      [weak, kept, cache](const MSRProductMap& products, const std::set<std::string>&,
                          const std::optional<ns::Error>& error) {
        auto reporter = weak.lock();
        if (!reporter) return;
        if (!error) {
          reporter->reportTransactionsFromArray(kept);
          return;
        }
        if (products.empty()) {
          MSRMeasurement::monitor()->logWithLevel(1, 21027, "Cannot request product information. Error",
                                                  MSRLogContext(*error));
        }
        // The store could not say: what is cached is reported now, the rest
        // at a later delivery.
        sk::PaymentTransactionList known, unknown;
        for (const auto& transaction : kept) {
          bool cached = cache->cachedProductForProductIdentifier(transaction->payment.productIdentifier) != nullptr;
          (cached ? known : unknown).push_back(transaction);
        }
        forgetTransactions(unknown);
        reporter->reportTransactionsFromArray(known);
      });
}

void MSRInAppPurchaseTransactionReporter::forgetTransactions(const sk::PaymentTransactionList& transactions) {
  if (transactions.empty()) return;
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return;
  std::weak_ptr<MSRMeasurement> weak = engine;
  engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRInAppPurchaseTransactionReporter", [weak, transactions] {
    auto engine = weak.lock();
    auto database = engine ? engine->database() : nullptr;
    if (!database) return;
    for (const auto& transaction : transactions) {
      auto fingerprint = transactionFingerprint(transaction.get());
      if (!fingerprint || fingerprint->empty()) continue;
      ns::Error error;
      if (!database->deletePurchaseFingerprint(*fingerprint, &error)) {
        MSRMeasurement::monitor()->logWithLevel(
            1, 21028, "Failed to forget purchase fingerprint. Purchase will not be reported. Product ID, error",
            MSRLogContext(transaction->payment.productIdentifier), MSRLogContext(error));
      }
    }
  });
}

void MSRInAppPurchaseTransactionReporter::reportTransactionsFromArray(const sk::PaymentTransactionList& transactions) {
  auto cache = MSRInAppPurchaseProductCache::sharedInstance();
  for (const auto& transaction : transactions) {
    if (!transaction) continue;
    auto product = cache->cachedProductForProductIdentifier(transaction->payment.productIdentifier);
    std::optional<std::string> original;
    if (transaction->originalTransaction) original = transaction->originalTransaction->transactionIdentifier;
    reportTransactionWithProduct(product, transaction->payment.quantity, transaction->transactionIdentifier, original,
                                 transaction->transactionDate);
  }
}

void MSRInAppPurchaseTransactionReporter::reportTransactionWithProduct(
    const std::shared_ptr<const sk::Product>& product, int64_t paymentQuantity, const std::optional<std::string>&,
    const std::optional<std::string>&, const std::optional<ns::Date>&) {
  auto log = MSRMeasurement::monitor();
  if (!product) {
    log->logWithLevel(8, 40026, "IAP Transaction cannot be created from nil product");
    return;
  }
  if (product->productIdentifier.empty()) {
    log->logWithLevel(8, 40027, "IAP Transaction cannot be created from empty or nil product ID");
    return;
  }
  ns::Dictionary parameters{{"product_id", product->productIdentifier}};
  std::optional<int64_t> price = micros(product->price);
  if (price) {
    parameters.set("price", *price);
    if (paymentQuantity != 0) {
      if (auto value = micros(product->price.multiply(ns::DecimalNumber(paymentQuantity)))) {
        parameters.set("value", *value);
        parameters.set("quantity", paymentQuantity);
      }
    }
  }
  if (auto currency = product->priceLocale.currencyCode()) parameters.set("currency", *currency);
  if (product->localizedTitle) parameters.set("product_name", *product->localizedTitle);
  for (const char* required : {"price", "value", "currency", "product_id"}) {
    if (!parameters.find(required)) return;
  }
  MSRAnalytics::logInternalEventWithOrigin("auto", "_iap", parameters);
}

std::optional<std::string> MSRInAppPurchaseTransactionReporter::transactionFingerprint(
    const sk::PaymentTransaction* transaction) {
  auto log = MSRMeasurement::monitor();
  if (!transaction) {
    log->logWithLevel(2, 21014, "Transaction is nil");
    return std::nullopt;
  }
  if (transaction->transactionState != sk::PaymentTransactionState::Purchased) return std::nullopt;
  ns::Value code(transaction->error ? transaction->error->code() : int64_t{0});
  const auto& identifier = transaction->transactionIdentifier;
  if (!identifier) {
    log->logWithLevel(2, 21015, "Transaction identifier is nil. Code", MSRLogContext(code));
    return std::nullopt;
  }
  if (identifier->empty()) {
    log->logWithLevel(2, 21016, "Transaction identifier is empty. Code", MSRLogContext(code));
    return std::nullopt;
  }
  if (identifier->find_first_not_of("0-") == std::string::npos) {
    log->logWithLevel(2, 21017, "Transaction identifier is only zeroes. Code", MSRLogContext(code));
    return std::nullopt;
  }
  return msr_MD5String(*identifier);
}
