// Reports completed store purchases as the automatic event "_iap". The
// engine drops purchases it reported already, by their fingerprint, and
// hands the rest here.
//
// Today only the fingerprint is whole; the report of the filtered
// transactions does nothing yet.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/StoreKit/PaymentQueue.h"

class MSRInAppPurchaseTransactionReporter {
 public:
  static const std::shared_ptr<MSRInAppPurchaseTransactionReporter>& sharedInstance();

  // The transactions the engine kept; does nothing yet.
  void paymentQueueUpdatedFilteredTransactions(sk::PaymentQueue& queue, const sk::PaymentTransactionList& transactions);

  // The MD5 of a purchased transaction's identifier, 32 lower-case hex
  // digits. None for no transaction (21014), another state (silent), and
  // an identifier that is missing (21015), empty (21016) or only "0" and
  // "-" (21017).
  static std::optional<std::string> transactionFingerprint(const sk::PaymentTransaction* transaction);
};
