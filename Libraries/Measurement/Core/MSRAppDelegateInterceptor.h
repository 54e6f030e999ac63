// What measurement hears of the application delegate's calls through the
// app-delegate proxy (ZULAppDelegateSwizzler): URLs opened and user
// activities continued reach the analytics interface as deep links, and a
// background URL session's events the network client. It answers NO, so
// the delegate still handles each call. Registered once by
// MSRAnalytics::createAppDelegateProxy. No state.
#pragma once

#include <memory>

#include "Platform/UIKit/ApplicationDelegate.h"

class MSRAppDelegateInterceptor : public ui::ApplicationDelegate {
 public:
  static const std::shared_ptr<MSRAppDelegateInterceptor>& sharedInstance();

  bool respondsToSelector(std::string_view selector) const override;
  bool openURL(ui::Application& application, const std::string& url, const ns::Dictionary& options) override;
  bool openURLFromSourceApplication(ui::Application& application, const std::string& url,
                                    const std::string& sourceApplication, const ns::Value& annotation) override;
  void handleEventsForBackgroundURLSession(ui::Application& application, const std::string& identifier,
                                           std::function<void()> completionHandler) override;
  bool continueUserActivity(ui::Application& application, const ui::UserActivity& activity,
                            ui::RestorationHandler restorationHandler) override;
};
