#include "Libraries/Measurement/Core/MSRAppDelegateInterceptor.h"

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/TelemetryFoundation/ZULNetwork.h"

const std::shared_ptr<MSRAppDelegateInterceptor>& MSRAppDelegateInterceptor::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRAppDelegateInterceptor>(std::make_shared<MSRAppDelegateInterceptor>());
  return *instance;
}

bool MSRAppDelegateInterceptor::respondsToSelector(std::string_view selector) const {
  return selector == ui::kOpenURLOptionsSelector || selector == ui::kOpenURLSourceApplicationSelector ||
         selector == ui::kHandleEventsForBackgroundURLSessionSelector || selector == ui::kContinueUserActivitySelector;
}

bool MSRAppDelegateInterceptor::openURL(ui::Application&, const std::string& url, const ns::Dictionary&) {
  MSRAnalytics::handleOpenURL(url);
  return false;
}

bool MSRAppDelegateInterceptor::openURLFromSourceApplication(ui::Application&, const std::string& url,
                                                             const std::string&, const ns::Value&) {
  MSRAnalytics::handleOpenURL(url);
  return false;
}

void MSRAppDelegateInterceptor::handleEventsForBackgroundURLSession(ui::Application&, const std::string& identifier,
                                                                    std::function<void()> completionHandler) {
  ZULNetwork::handleEventsForBackgroundURLSessionID(identifier, std::move(completionHandler));
}

bool MSRAppDelegateInterceptor::continueUserActivity(ui::Application&, const ui::UserActivity& activity,
                                                     ui::RestorationHandler) {
  auto url = MSRMeasurement::deepLinkFromUserActivity(&activity);
  if (url && !url->empty()) MSRAnalytics::handleOpenURL(*url);
  return false;
}
