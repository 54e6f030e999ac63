// What the application tells its delegate: launch, the lifecycle, URLs to
// open, quick actions and protected data, and the main window it is given
// (ApplicationMain.h); user activities to continue, a background URL
// session's events, remote-notification registration and delivery. Every
// operation is optional.
//
// A default body cannot say "not implemented", so a delegate also answers
// respondsToSelector for the calls it implements, by the platform's
// selector name (kOpenURLOptionsSelector and the others below); those who
// stand between the application and its delegate go by that answer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/ShortcutItem.h"

namespace ui {

class Application;
class Responder;
class Window;

// The selector names of the calls a delegate may answer respondsToSelector for.
inline constexpr const char* kOpenURLOptionsSelector = "application:openURL:options:";
inline constexpr const char* kOpenURLSourceApplicationSelector = "application:openURL:sourceApplication:annotation:";
inline constexpr const char* kContinueUserActivitySelector = "application:continueUserActivity:restorationHandler:";
inline constexpr const char* kHandleEventsForBackgroundURLSessionSelector =
    "application:handleEventsForBackgroundURLSession:completionHandler:";
inline constexpr const char* kDidRegisterForRemoteNotificationsSelector =
    "application:didRegisterForRemoteNotificationsWithDeviceToken:";
inline constexpr const char* kDidFailToRegisterForRemoteNotificationsSelector =
    "application:didFailToRegisterForRemoteNotificationsWithError:";
inline constexpr const char* kDidReceiveRemoteNotificationSelector = "application:didReceiveRemoteNotification:";
inline constexpr const char* kDidReceiveRemoteNotificationFetchSelector =
    "application:didReceiveRemoteNotification:fetchCompletionHandler:";

// A piece of the user's work handed over to be continued here.
struct UserActivity {
  std::string activityType;
  std::string webpageURL;
  ns::Dictionary userInfo;
};
using RestorationHandler = std::function<void(const std::vector<std::shared_ptr<Responder>>& restorableObjects)>;

// What a background fetch brought.
enum class BackgroundFetchResult { NewData = 0, NoData = 1, Failed = 2 };
using FetchCompletionHandler = std::function<void(BackgroundFetchResult)>;

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  // The main window; a delegate that keeps one holds it strongly.
  virtual std::shared_ptr<Window> window() const { return nullptr; }
  virtual void setWindow(std::shared_ptr<Window> window) { (void)window; }
  virtual bool willFinishLaunching(Application&, const ns::Dictionary& options) {
    (void)options;
    return true;
  }
  virtual bool didFinishLaunching(Application&, const ns::Dictionary& options) {
    (void)options;
    return true;
  }
  virtual void willResignActive(Application&) {}
  virtual void didEnterBackground(Application&) {}
  virtual void willEnterForeground(Application&) {}
  virtual void didBecomeActive(Application&) {}
  virtual void willTerminate(Application&) {}
  virtual void significantTimeChange(Application&) {}
  virtual void protectedDataWillBecomeUnavailable(Application&) {}
  virtual void protectedDataDidBecomeAvailable(Application&) {}
  // A URL handed to the app; whether it was handled.
  virtual bool openURL(Application&, const std::string& url, const ns::Dictionary& options) {
    (void)url;
    (void)options;
    return false;
  }
  virtual void performActionForShortcutItem(Application&, const ShortcutItem& item,
                                            std::function<void(bool succeeded)> completion) {
    (void)item;
    if (completion) completion(false);
  }

  // Whether this delegate implements the call named `selector`.
  virtual bool respondsToSelector(std::string_view selector) const {
    (void)selector;
    return false;
  }
  // Whether the activity was continued.
  virtual bool continueUserActivity(Application&, const UserActivity& activity, RestorationHandler restorationHandler) {
    (void)activity;
    (void)restorationHandler;
    return false;
  }
  // The events of the background URL session `identifier` are handed in;
  // call `completionHandler` once they are dealt with.
  virtual void handleEventsForBackgroundURLSession(Application&, const std::string& identifier,
                                                   std::function<void()> completionHandler) {
    (void)identifier;
    if (completionHandler) completionHandler();
  }
  // The older form of openURL: the opening application and an annotation.
  virtual bool openURLFromSourceApplication(Application&, const std::string& url, const std::string& sourceApplication,
                                            const ns::Value& annotation) {
    (void)url;
    (void)sourceApplication;
    (void)annotation;
    return false;
  }
  virtual void didRegisterForRemoteNotifications(Application&, const ns::Data& deviceToken) { (void)deviceToken; }
  virtual void didFailToRegisterForRemoteNotifications(Application&, const ns::Error& error) { (void)error; }
  virtual void didReceiveRemoteNotification(Application&, const ns::Dictionary& userInfo) { (void)userInfo; }
  // A remote notification that may fetch: call `completion` once with what
  // it brought.
  virtual void didReceiveRemoteNotificationFetching(Application&, const ns::Dictionary& userInfo,
                                                    FetchCompletionHandler completion) {
    (void)userInfo;
    if (completion) completion(BackgroundFetchResult::NoData);
  }
};

}  // namespace ui
