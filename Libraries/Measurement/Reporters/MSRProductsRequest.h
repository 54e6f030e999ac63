// One store product request and its reply, handed to a completion on a
// queue of the caller's choosing. The request keeps itself alive until the
// completion has run; after the first reply it forgets the store request,
// the completion and the queue, so a late second callback does nothing.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Error.h"
#include "Platform/StoreKit/ProductsRequest.h"

using MSRProductMap = std::map<std::string, std::shared_ptr<const sk::Product>>;
// The valid products by identifier, the invalid identifiers, the error.
using MSRProductsCompletionHandler =
    std::function<void(const MSRProductMap& products, const std::set<std::string>& invalidProductIdentifiers,
                       const std::optional<ns::Error>& error)>;

class MSRProductsRequest : public sk::ProductsRequestDelegate,
                           public std::enable_shared_from_this<MSRProductsRequest> {
 public:
  // Without a queue or a completion nothing happens. Identifiers the store
  // cannot take (none at all) answer with the measurement error 1
  // "Invalid product identifiers.".
  static void requestProductsWithProductIdentifiers(const std::set<std::string>& productIdentifiers,
                                                    std::shared_ptr<dispatch::Queue> queue,
                                                    MSRProductsCompletionHandler completionHandler);
  // Null when the store request cannot be made.
  static std::shared_ptr<MSRProductsRequest> initWithProductIdentifiers(const std::set<std::string>& productIdentifiers);

  void requestWithQueue(std::shared_ptr<dispatch::Queue> queue, MSRProductsCompletionHandler completionHandler);

  void productsRequestDidReceiveResponse(sk::ProductsRequest& request, const sk::ProductsResponse& response) override;
  void requestDidFailWithError(sk::ProductsRequest& request, const ns::Error& error) override;
  void clearInstance();

 private:
  void replyOnQueue(const MSRProductMap& products, const std::set<std::string>& invalid,
                    const std::optional<ns::Error>& error);

  std::mutex mutex_;
  std::shared_ptr<sk::ProductsRequest> productsRequest_;
  MSRProductsCompletionHandler completionHandler_;
  std::shared_ptr<dispatch::Queue> queue_;
};
