// The system's store product page, shown inside the app: it takes the
// store item's id with the affiliate and campaign tokens, loads, and is
// then presented by the caller. It tells its delegate when the person taps
// "Done"; the delegate dismisses it.
//
// Nothing is fetched: this device has no store, so a load with an item id
// always succeeds and the page names the item. The renderer shows it as
//   "Item: 1189034522"
//   "Campaign: moreapps:1189034522"
//   "Affiliate: p4wq7z"          (only when the parameters hold a token)
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/NavigationController.h"

namespace sk {

// Parameter keys of a product load.
inline constexpr const char* kStoreProductParameterITunesItemIdentifier = "id";
inline constexpr const char* kStoreProductParameterAffiliateToken = "at";
inline constexpr const char* kStoreProductParameterCampaignToken = "ct";

inline constexpr const char* kErrorDomain = "SKErrorDomain";
inline constexpr int64_t kErrorStoreProductNotAvailable = 5;

class StoreProductViewController;

class StoreProductViewControllerDelegate {
 public:
  virtual ~StoreProductViewControllerDelegate() = default;
  virtual void productViewControllerDidFinish(StoreProductViewController& controller) = 0;
};

class StoreProductViewController : public ui::NavigationController {
 public:
  using LoadCompletion = std::function<void(bool result, std::optional<ns::Error> error)>;

  StoreProductViewController();
  std::string typeName() const override { return "StoreProductViewController"; }

  // Held weakly.
  void setDelegate(std::weak_ptr<StoreProductViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  // Loads the page for `parameters`; the completion runs later on the main
  // queue: YES, or NO and kErrorStoreProductNotAvailable when the item id
  // is missing or not a string or number. Tokens that are not strings are
  // left out.
  void loadProductWithParameters(const ns::Dictionary& parameters, LoadCompletion completion);
  // The parameters of the last load that succeeded (tests).
  const ns::Dictionary& loadedParameters() const { return loaded_; }

 private:
  void finish();
  void showProduct();

  std::weak_ptr<StoreProductViewControllerDelegate> delegate_;
  ns::Dictionary loaded_;
};

}  // namespace sk
