#include "Libraries/CrashReporter/DVCRNetworkOperation.h"

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Platform/Foundation/Locale.h"

namespace {

constexpr const char* kDeveloperToken = "a7f3d2c91e0b84f65d2a0c7e39b1f48d6e25c0a9";

}  // namespace

void DVCRNetworkOperation::startWithToken(const DVCRDataCollectionToken& token) {
  if (!token.isValid()) {
    DVCRLogErrorMessage("Skipping network operation with invalid data collection token");
    return;
  }
  start();
}

std::string DVCRNetworkOperation::userAgentString() {
  return DVCRApplicationGetSDKBundleID() + "/" + DVCRSDKVersion();
}

std::string DVCRNetworkOperation::localeIdentifier() { return ns::Locale::current().identifier(); }

net::URLRequest DVCRNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const ns::URL& url) const {
  return mutableRequestWithDefaultHTTPHeadersForURL(url, 10.0);
}

net::URLRequest DVCRNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const ns::URL& url,
                                                                                 double timeout) const {
  net::URLRequest request(url, net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, timeout);
  request.setValue(userAgentString(), "User-Agent");
  request.setValue("utf-8", "Accept-Charset");
  request.setValue(localeIdentifier(), "Accept-Language");
  request.setValue(localeIdentifier(), "Content-Language");
  request.setValue(kDeveloperToken, "X-Dodevadarud-Developer-Token");
  request.setValue(DVCRApplicationGetSDKBundleID(), "X-Dodevadarud-API-Client-Id");
  request.setValue(DVCRSDKVersion(), "X-Dodevadarud-API-Client-Display-Version");
  request.setValue(zororiAppID_, "X-Dodevadarud-Zorori-App-Id");
  return request;
}
