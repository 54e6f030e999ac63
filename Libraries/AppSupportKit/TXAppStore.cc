#include "Libraries/AppSupportKit/TXAppStore.h"

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Platform/Foundation/Format.h"

namespace {

// The store's host; the page address is the kit's own format around it.
constexpr const char* kStoreHost = "apps.store.example";

}  // namespace

TXAppStore& TXAppStore::sharedInstance() {
  static TXAppStore store;
  return store;
}

std::string TXAppStore::appStoreURLForAppID(const std::string& appID) const {
  std::string url = ns::format("https://%@/app/id%@?mt=8&ls=1&ct=email-sign", kStoreHost, appID);
  std::string token = TXConfig::sharedInstance().valueForGroup("app", "affiliateToken", ns::Value("")).stringValue();
  if (!token.empty()) url += ns::format("&at=%@", token);
  return url;
}
