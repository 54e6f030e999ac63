#include "Platform/StoreKit/StoreProductViewController.h"

#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Label.h"

namespace sk {

namespace {

std::optional<std::string> textOf(const ns::Value* value) {
  if (!value || !(value->isString() || value->isNumber())) return std::nullopt;
  return value->stringValue();
}

}  // namespace

StoreProductViewController::StoreProductViewController() : NavigationController(std::make_shared<ui::ViewController>()) {
  auto root = topViewController();
  root->setTitle("Store");
  root->navigationItem().setRightBarButtonItem(ui::BarButtonItem::withSystemItem(
      ui::BarButtonSystemItem::Done, [this](ui::BarButtonItem&) { finish(); }));
}

void StoreProductViewController::loadProductWithParameters(const ns::Dictionary& parameters,
                                                           LoadCompletion completion) {
  std::optional<ns::Error> error;
  auto item = textOf(parameters.find(kStoreProductParameterITunesItemIdentifier));
  if (item && !item->empty()) {
    loaded_ = ns::Dictionary{{kStoreProductParameterITunesItemIdentifier, ns::Value(*item)}};
    for (const char* key : {kStoreProductParameterCampaignToken, kStoreProductParameterAffiliateToken})
      if (auto token = textOf(parameters.find(key))) loaded_.set(key, ns::Value(*token));
    showProduct();
  } else {
    error = ns::Error::withDescription(kErrorDomain, kErrorStoreProductNotAvailable,
                                       "The product is not available.");
  }
  if (!completion) return;
  std::weak_ptr<ui::ViewController> self = shared();
  dispatch::Queue::main()->async([self, completion = std::move(completion), error] {
    if (self.lock()) completion(!error, error);
  });
}

void StoreProductViewController::showProduct() {
  auto content = topViewController()->view();
  for (const auto& sub : std::vector<std::shared_ptr<ui::View>>(content->subviews())) sub->removeFromSuperview();
  double y = 8;
  auto line = [&](const std::string& caption, const char* key) {
    const ns::Value* value = loaded_.find(key);
    if (!value) return;
    auto label = std::make_shared<ui::Label>(ui::Rect(16, y, 343, 24));
    label->setText(caption + value->stringValue());
    content->addSubview(label);
    y += 32;
  };
  line("Item: ", kStoreProductParameterITunesItemIdentifier);
  line("Campaign: ", kStoreProductParameterCampaignToken);
  line("Affiliate: ", kStoreProductParameterAffiliateToken);
}

void StoreProductViewController::finish() {
  if (auto delegate = delegate_.lock()) delegate->productViewControllerDidFinish(*this);
}

}  // namespace sk
