#include "Libraries/Measurement/Reporters/MSRProductsRequest.h"

#include "Libraries/Measurement/Core/MSRError.h"

void MSRProductsRequest::requestProductsWithProductIdentifiers(const std::set<std::string>& productIdentifiers,
                                                               std::shared_ptr<dispatch::Queue> queue,
                                                               MSRProductsCompletionHandler completionHandler) {
  if (!queue || !completionHandler) return;
  auto request = initWithProductIdentifiers(productIdentifiers);
  if (!request) {
    queue->async([completionHandler] {
      completionHandler({}, {}, msr_errorWithCode(1, "Invalid product identifiers."));
    });
    return;
  }
  // The completion holds the request until it has run: nothing else does.
  request->requestWithQueue(queue, [request, completionHandler](const MSRProductMap& products,
                                                                 const std::set<std::string>& invalid,
                                                                 const std::optional<ns::Error>& error) {
    completionHandler(products, invalid, error);
  });
}

std::shared_ptr<MSRProductsRequest> MSRProductsRequest::initWithProductIdentifiers(
    const std::set<std::string>& productIdentifiers) {
  auto storeRequest = sk::ProductsRequest::initWithProductIdentifiers(productIdentifiers);
  if (!storeRequest) return nullptr;
  auto request = std::make_shared<MSRProductsRequest>();
  request->productsRequest_ = std::move(storeRequest);
  return request;
}

void MSRProductsRequest::requestWithQueue(std::shared_ptr<dispatch::Queue> queue,
                                          MSRProductsCompletionHandler completionHandler) {
  std::shared_ptr<sk::ProductsRequest> storeRequest;
  {
    std::lock_guard lock(mutex_);
    queue_ = std::move(queue);
    completionHandler_ = std::move(completionHandler);
    storeRequest = productsRequest_;
  }
  if (!storeRequest) return;
  storeRequest->setDelegate(weak_from_this());
  storeRequest->start();
}

void MSRProductsRequest::productsRequestDidReceiveResponse(sk::ProductsRequest&, const sk::ProductsResponse& response) {
  MSRProductMap products;
  for (const auto& product : response.products) {
    if (product && !product->productIdentifier.empty()) products[product->productIdentifier] = product;
  }
  replyOnQueue(products, response.invalidProductIdentifiers, std::nullopt);
}

void MSRProductsRequest::requestDidFailWithError(sk::ProductsRequest&, const ns::Error& error) {
  replyOnQueue({}, {}, error);
}

// The store calls on a thread of its own: the completion runs on the
// caller's queue, once, and the request then lets go of everything.
void MSRProductsRequest::replyOnQueue(const MSRProductMap& products, const std::set<std::string>& invalid,
                                      const std::optional<ns::Error>& error) {
  std::shared_ptr<dispatch::Queue> queue;
  {
    std::lock_guard lock(mutex_);
    if (!completionHandler_ || !queue_) return;
    queue = queue_;
  }
  std::weak_ptr<MSRProductsRequest> weak = weak_from_this();
  queue->async([weak, products, invalid, error] {
    auto self = weak.lock();
    if (!self) return;
    MSRProductsCompletionHandler completion;
    {
      std::lock_guard lock(self->mutex_);
      completion = self->completionHandler_;
    }
    if (completion) completion(products, invalid, error);
    self->clearInstance();
  });
}

void MSRProductsRequest::clearInstance() {
  std::lock_guard lock(mutex_);
  productsRequest_.reset();
  completionHandler_ = nullptr;
  queue_.reset();
}
