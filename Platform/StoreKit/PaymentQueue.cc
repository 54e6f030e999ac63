#include "Platform/StoreKit/PaymentQueue.h"

#include <algorithm>

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

}  // namespace sk
