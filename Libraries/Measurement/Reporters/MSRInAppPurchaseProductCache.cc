#include "Libraries/Measurement/Reporters/MSRInAppPurchaseProductCache.h"

const std::shared_ptr<MSRInAppPurchaseProductCache>& MSRInAppPurchaseProductCache::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRInAppPurchaseProductCache>(std::make_shared<MSRInAppPurchaseProductCache>());
  return *instance;
}

MSRInAppPurchaseProductCache::MSRInAppPurchaseProductCache()
    : lockQueue_(dispatch::Queue::serial("com.zorori.zmp.measurement.iap-cache")) {}

std::shared_ptr<const sk::Product> MSRInAppPurchaseProductCache::cachedProductForProductIdentifier(
    const std::string& productIdentifier) {
  std::shared_ptr<const sk::Product> product;
  lockQueue_->sync([&] {
    auto found = validProducts_.find(productIdentifier);
    if (found != validProducts_.end()) product = found->second;
  });
  return product;
}

void MSRInAppPurchaseProductCache::requestProductsWithProductIdentifiers(
    const std::set<std::string>& productIdentifiers, std::shared_ptr<dispatch::Queue> queue,
    MSRProductsCompletionHandler completionHandler) {
  if (!queue || !completionHandler) return;
  std::weak_ptr<MSRInAppPurchaseProductCache> weak = weak_from_this();
  MSRProductsRequest::requestProductsWithProductIdentifiers(
      productIdentifiers, lockQueue_,
      [weak, queue, completionHandler](const MSRProductMap& products, const std::set<std::string>& invalid,
                                       const std::optional<ns::Error>& error) {
        auto cache = weak.lock();
        if (!cache) return;
        cache->mergeOnLockQueue(products, invalid);
        queue->async([completionHandler, products, invalid, error] { completionHandler(products, invalid, error); });
      });
}

void MSRInAppPurchaseProductCache::mergeOnLockQueue(const MSRProductMap& products,
                                                    const std::set<std::string>& invalid) {
  for (const auto& [identifier, product] : products) validProducts_[identifier] = product;
  for (const auto& identifier : invalid) validProducts_.erase(identifier);
  invalidProductIdentifiers_.insert(invalid.begin(), invalid.end());
  for (const auto& entry : products) invalidProductIdentifiers_.erase(entry.first);
  if (validProducts_.size() + invalidProductIdentifiers_.size() > kMaxEntries) {
    validProducts_ = products;
    invalidProductIdentifiers_ = invalid;
  }
}

size_t MSRInAppPurchaseProductCache::entryCountForTesting() {
  size_t count = 0;
  lockQueue_->sync([&] { count = validProducts_.size() + invalidProductIdentifiers_.size(); });
  return count;
}

void MSRInAppPurchaseProductCache::removeAllForTesting() {
  lockQueue_->sync([&] {
    validProducts_.clear();
    invalidProductIdentifiers_.clear();
  });
}
