// Product requests. This device has no store: a request is answered from
// the product catalogue in the device directory, read when the request
// starts:
//
//   StoreKit/products.json
//   {
//     "products": [{"identifier": "pro", "price": "0.99",
//                   "locale": "en_US", "title": "Pro"}],
//     "fail": false,
//     "delay": 0
//   }
//
// - "price" is a decimal string read as ns::DecimalNumber ("0.99" is 0.99
//   exactly); "locale" is the price locale, whose region gives the
//   currency ("en" has none); "title" may be left out.
// - Identifiers asked for that the catalogue does not list come back as
//   invalid. Without a catalogue every identifier is invalid.
// - "fail": true answers every request with an error of
//   kProductsRequestErrorDomain instead; so does an unreadable catalogue.
// - "delay" holds the answer for that many seconds (ns::Clock: on a
//   virtual clock until it is moved).
//
// The delegate is held weakly and told once, on a background thread (the
// global queue of default priority); a request keeps itself alive until
// it has told it, and a cancelled one tells nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Foundation/DecimalNumber.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Locale.h"

namespace sk {

inline constexpr const char* kProductsRequestErrorDomain = "SKErrorDomain";

struct Product {
  std::string productIdentifier;
  ns::DecimalNumber price;
  ns::Locale priceLocale{"en_US"};
  std::optional<std::string> localizedTitle;
};

struct ProductsResponse {
  std::vector<std::shared_ptr<const Product>> products;
  std::set<std::string> invalidProductIdentifiers;
};

class ProductsRequest;

class ProductsRequestDelegate {
 public:
  virtual ~ProductsRequestDelegate() = default;
  virtual void productsRequestDidReceiveResponse(ProductsRequest& request, const ProductsResponse& response) = 0;
  virtual void requestDidFailWithError(ProductsRequest& request, const ns::Error& error) = 0;
};

class ProductsRequest : public std::enable_shared_from_this<ProductsRequest> {
 public:
  // Null for an empty set, which the store would refuse.
  static std::shared_ptr<ProductsRequest> initWithProductIdentifiers(std::set<std::string> productIdentifiers);

  const std::set<std::string>& productIdentifiers() const { return productIdentifiers_; }
  void setDelegate(std::weak_ptr<ProductsRequestDelegate> delegate);
  // Reads the catalogue and answers as it says; a second start does nothing.
  void start();
  // The delegate hears nothing more.
  void cancel();

  // The requests started in this process, for tests and the host program.
  static size_t startedRequestCount();

  // <device>/StoreKit/products.json
  static std::string catalogPath();

 private:
  explicit ProductsRequest(std::set<std::string> productIdentifiers)
      : productIdentifiers_(std::move(productIdentifiers)) {}
  void finish(const std::optional<ProductsResponse>& response, const std::optional<ns::Error>& error);

  const std::set<std::string> productIdentifiers_;
  std::mutex mutex_;
  std::weak_ptr<ProductsRequestDelegate> delegate_;
  bool started_ = false;
  bool cancelled_ = false;
};

}  // namespace sk
