#include "Platform/StoreKit/PaymentQueue.h"

#include <algorithm>
#include <random>

#include "Platform/Dispatch/Queue.h"

namespace sk {

PaymentQueue& PaymentQueue::defaultQueue() {
  static auto* queue = new PaymentQueue();
  return *queue;
}

void PaymentQueue::addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer) {
  if (!observer) return;
  std::lock_guard lock(mutex_);
  for (const auto& existing : observers_) {
    if (existing.lock() == observer) return;
  }
  observers_.push_back(observer);
}

void PaymentQueue::removeTransactionObserver(const PaymentTransactionObserver* observer) {
  std::lock_guard lock(mutex_);
  std::erase_if(observers_, [observer](const std::weak_ptr<PaymentTransactionObserver>& entry) {
    auto live = entry.lock();
    return !live || live.get() == observer;
  });
}

size_t PaymentQueue::transactionObserverCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(observers_.begin(), observers_.end(),
                                           [](const auto& entry) { return !entry.expired(); }));
}

void PaymentQueue::deliverTransactions(PaymentTransactionList transactions) {
  std::vector<std::weak_ptr<PaymentTransactionObserver>> observers;
  {
    std::lock_guard lock(mutex_);
    observers = observers_;
  }
  dispatch::Queue::global(dispatch::Priority::Default)->async([this, observers, transactions] {
    for (const auto& entry : observers) {
      if (auto observer = entry.lock()) observer->paymentQueueUpdatedTransactions(*this, transactions);
    }
  });
}

std::shared_ptr<const PaymentTransaction> PaymentQueue::purchase(const std::string& productIdentifier,
                                                                int64_t quantity) {
  static std::mutex randomMutex;
  static std::mt19937_64 random{std::random_device{}()};
  uint64_t number;
  {
    std::lock_guard lock(randomMutex);
    // Fifteen digits and never only zeroes, as the store's identifiers.
    number = 100000000000000 + random() % 900000000000000;
  }
  auto transaction = std::make_shared<PaymentTransaction>();
  transaction->transactionState = PaymentTransactionState::Purchased;
  transaction->payment = Payment{productIdentifier, quantity};
  transaction->transactionIdentifier = std::to_string(number);
  transaction->transactionDate = ns::Date::now();
  deliverTransactions({transaction});
  return transaction;
}

}  // namespace sk
