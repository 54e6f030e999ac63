// The kit's store: for now only the store page address the mail signature
// links to; the lookup, its cache and the product view come later.
#pragma once

#include <string>

class TXAppStore {
 public:
  static TXAppStore& sharedInstance();

  // "https://<store host>/app/id<id>?mt=8&ls=1&ct=email-sign", with
  // "&at=<token>" when the configured "app"/"affiliateToken" is not empty.
  std::string appStoreURLForAppID(const std::string& appID) const;

 private:
  TXAppStore() = default;
};
