// The products the store described, by identifier, and the identifiers it
// called invalid, for the in-app purchase reporter. Both collections live
// on the serial queue "com.zorori.zmp.measurement.iap-cache". When a reply
// brings them to 101 entries or more together, only that reply's entries
// stay.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "Libraries/Measurement/Reporters/MSRProductsRequest.h"

class MSRInAppPurchaseProductCache : public std::enable_shared_from_this<MSRInAppPurchaseProductCache> {
 public:
  static constexpr size_t kMaxEntries = 100;

  static const std::shared_ptr<MSRInAppPurchaseProductCache>& sharedInstance();
  MSRInAppPurchaseProductCache();

  // Any thread but the cache's own queue.
  std::shared_ptr<const sk::Product> cachedProductForProductIdentifier(const std::string& productIdentifier);
  // Asks the store for these products, merges the reply and hands the
  // reply alone (not the whole cache) to the completion on `queue`.
  // Without a queue or a completion nothing happens.
  void requestProductsWithProductIdentifiers(const std::set<std::string>& productIdentifiers,
                                             std::shared_ptr<dispatch::Queue> queue,
                                             MSRProductsCompletionHandler completionHandler);

  // For tests: the valid products and invalid identifiers held, and a
  // cache emptied again.
  size_t entryCountForTesting();
  void removeAllForTesting();

 private:
  void mergeOnLockQueue(const MSRProductMap& products, const std::set<std::string>& invalid);

  std::shared_ptr<dispatch::Queue> lockQueue_;
  std::set<std::string> invalidProductIdentifiers_;
  MSRProductMap validProducts_;
};
