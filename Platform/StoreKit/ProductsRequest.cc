#include "Platform/StoreKit/ProductsRequest.h"

#include <atomic>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"

namespace sk {

namespace {

std::atomic<size_t> startedRequests{0};

ns::Error storeError(int64_t code, const std::string& description) {
  return ns::Error(kProductsRequestErrorDomain, code, ns::Dictionary{{ns::kLocalizedDescriptionKey, description}});
}

struct Catalog {
  std::vector<std::shared_ptr<const Product>> products;
  bool fail = false;
  double delay = 0;
};

// None when the file is there but cannot be read as a catalogue: the
// request then fails rather than calling every product invalid.
std::optional<Catalog> readCatalog() {
  Catalog catalog;
  auto& files = ns::FileManager::defaultManager();
  const std::string path = ProductsRequest::catalogPath();
  if (!files.fileExists(path)) return catalog;
  ns::Error error;
  auto data = files.contentsAtPath(path, &error);
  auto json = data ? ns::jsonObjectFromData(*data, &error) : std::nullopt;
  if (!json || !json->isDictionary()) return std::nullopt;
  if (const auto* fail = json->find("fail")) catalog.fail = fail->boolValue();
  if (const auto* delay = json->find("delay"); delay && delay->isNumber()) catalog.delay = delay->doubleValue();
  const auto* products = json->find("products");
  if (products && !products->isArray()) return std::nullopt;
  if (!products) return catalog;
  for (const auto& entry : *products->asArray()) {
    const auto* identifier = entry.find("identifier");
    const auto* price = entry.find("price");
    if (!entry.isDictionary() || !identifier || !identifier->isString() || !price || !price->isString()) {
      return std::nullopt;
    }
    auto product = std::make_shared<Product>();
    product->productIdentifier = identifier->stringValue();
    product->price = ns::DecimalNumber::fromString(price->stringValue());
    if (product->price.isNaN()) return std::nullopt;
    if (const auto* locale = entry.find("locale"); locale && locale->isString()) {
      product->priceLocale = ns::Locale(locale->stringValue());
    }
    if (const auto* title = entry.find("title"); title && title->isString()) product->localizedTitle = title->stringValue();
    catalog.products.push_back(std::move(product));
  }
  return catalog;
}

}  // namespace

std::string ProductsRequest::catalogPath() { return ns::Device::current().directory() + "/StoreKit/products.json"; }

size_t ProductsRequest::startedRequestCount() { return startedRequests.load(); }

std::shared_ptr<ProductsRequest> ProductsRequest::initWithProductIdentifiers(std::set<std::string> productIdentifiers) {
  if (productIdentifiers.empty()) return nullptr;
  return std::shared_ptr<ProductsRequest>(new ProductsRequest(std::move(productIdentifiers)));
}

void ProductsRequest::setDelegate(std::weak_ptr<ProductsRequestDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

void ProductsRequest::start() {
  {
    std::lock_guard lock(mutex_);
    if (started_ || cancelled_) return;
    started_ = true;
  }
  std::optional<Catalog> catalog = readCatalog();
  std::optional<ProductsResponse> response;
  std::optional<ns::Error> error;
  if (!catalog) {
    error = storeError(0, "The product catalogue cannot be read.");
  } else if (catalog->fail) {
    error = storeError(0, "Cannot connect to the store.");
  } else {
    response.emplace();
    for (const auto& identifier : productIdentifiers_) {
      bool found = false;
      for (const auto& product : catalog->products) {
        if (product->productIdentifier == identifier) {
          response->products.push_back(product);
          found = true;
          break;
        }
      }
      if (!found) response->invalidProductIdentifiers.insert(identifier);
    }
  }
  auto self = shared_from_this();
  auto answer = [self, response, error] { self->finish(response, error); };
  const auto& queue = dispatch::Queue::global(dispatch::Priority::Default);
  if (catalog && catalog->delay > 0) {
    queue->afterSeconds(catalog->delay, std::move(answer));
  } else {
    queue->async(std::move(answer));
  }
  // Counted once the answer is on its way: whoever sees the count and then
  // moves the clock must find a delayed answer already waiting for it.
  ++startedRequests;
}

void ProductsRequest::cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
}

void ProductsRequest::finish(const std::optional<ProductsResponse>& response, const std::optional<ns::Error>& error) {
  std::shared_ptr<ProductsRequestDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    delegate = delegate_.lock();
  }
  if (!delegate) return;
  if (response) {
    delegate->productsRequestDidReceiveResponse(*this, *response);
  } else {
    delegate->requestDidFailWithError(*this, error.value_or(storeError(0, "Unknown error.")));
  }
}

}  // namespace sk
