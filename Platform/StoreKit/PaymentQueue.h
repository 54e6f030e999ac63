// The default payment queue and its transactions. This device has no
// store: nothing is bought or fetched. Transactions are made by whoever
// stands in for the store (tests, the host program) and handed to the
// queue's observers with deliverTransactions, as the store would report
// purchases that changed state.
//
// Observers are held weakly and told on a background thread (the global
// queue of default priority), every observer with the whole batch, in the
// order they were added.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"

namespace sk {

// The states a transaction reports; the values are the platform's.
enum class PaymentTransactionState : int64_t { Purchasing = 0, Purchased = 1, Failed = 2, Restored = 3, Deferred = 4 };

struct Payment {
  std::string productIdentifier;
  int64_t quantity = 1;
};

// One purchase as the store reports it. Read-only once made.
struct PaymentTransaction {
  PaymentTransactionState transactionState = PaymentTransactionState::Purchasing;
  Payment payment;
  std::optional<std::string> transactionIdentifier;
  std::optional<ns::Date> transactionDate;
  // The transaction a restore restored; null for others.
  std::shared_ptr<const PaymentTransaction> originalTransaction;
  // Why a failed transaction failed.
  std::optional<ns::Error> error;
};
using PaymentTransactionList = std::vector<std::shared_ptr<const PaymentTransaction>>;

class PaymentQueue;

class PaymentTransactionObserver {
 public:
  virtual ~PaymentTransactionObserver() = default;
  virtual void paymentQueueUpdatedTransactions(PaymentQueue& queue, const PaymentTransactionList& transactions) = 0;
};

class PaymentQueue {
 public:
  static PaymentQueue& defaultQueue();

  // Adding one observer twice keeps one entry.
  void addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
  void removeTransactionObserver(const PaymentTransactionObserver* observer);
  size_t transactionObserverCount() const;

  // The store's side: reports `transactions` to every live observer on a
  // background thread.
  void deliverTransactions(PaymentTransactionList transactions);
  // A purchase as tests and the host program make one: a purchased
  // transaction of `quantity` of the product, with a new identifier (a
  // random decimal number) and the present as its date, delivered as
  // above. Returns it, so it can be delivered again.
  std::shared_ptr<const PaymentTransaction> purchase(const std::string& productIdentifier, int64_t quantity = 1);

 private:
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<PaymentTransactionObserver>> observers_;
};

}  // namespace sk
