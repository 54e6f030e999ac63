// Reports completed store purchases as the automatic event "_iap" (origin
// "auto") with the product's identifier, name, price and currency, the
// quantity and the value, prices in millionths of the currency unit. The
// engine drops purchases it reported already, by their fingerprint, and
// hands the rest here; product details come from the product cache, asked
// of the store once per batch for all the products it lacks.
//
// The engine records a fingerprint before the purchase is reported, so a
// purchase that cannot be reported now because the store did not describe
// its product has its fingerprint forgotten again: a later delivery of the
// same transaction reports it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/StoreKit/PaymentQueue.h"
#include "Platform/StoreKit/ProductsRequest.h"

class MSRInAppPurchaseTransactionReporter : public std::enable_shared_from_this<MSRInAppPurchaseTransactionReporter> {
 public:
  static const std::shared_ptr<MSRInAppPurchaseTransactionReporter>& sharedInstance();

  // The transactions the engine kept: the purchased ones with a product
  // identifier are reported on the global queue of default priority, after
  // the product cache heard from the store about the products it lacked.
  void paymentQueueUpdatedFilteredTransactions(sk::PaymentQueue& queue, const sk::PaymentTransactionList& transactions);
  // Each transaction with its cached product (none when not cached).
  void reportTransactionsFromArray(const sk::PaymentTransactionList& transactions);
  // Logs "_iap" when the product has a price, a currency and an identifier
  // and the quantity is not 0.
  void reportTransactionWithProduct(const std::shared_ptr<const sk::Product>& product, int64_t paymentQuantity,
                                    const std::optional<std::string>& transactionIdentifier,
                                    const std::optional<std::string>& originalTransactionIdentifier,
                                    const std::optional<ns::Date>& transactionDate);

  // The MD5 of a purchased transaction's identifier, 32 lower-case hex
  // digits. None for no transaction (21014), another state (silent), and
  // an identifier that is missing (21015), empty (21016) or only "0" and
  // "-" (21017).
  static std::optional<std::string> transactionFingerprint(const sk::PaymentTransaction* transaction);

 private:
  // Hands the fingerprints of transactions that were not reported back to
  // the engine's worker queue to be forgotten.
  static void forgetTransactions(const sk::PaymentTransactionList& transactions);
};
