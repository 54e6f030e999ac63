// The shared application: its delegate and lifecycle state, the windows and
// the key window, URLs it opens and is asked to open, quick actions,
// background tasks, and protected-data availability.
//
// Each lifecycle step calls the delegate and then posts the matching
// notification (object: the application) on the default centre. Nothing
// happens by itself: the host program and the input layer (Input.h) call
// launch(), enterBackground(), enterForeground() and so on. Main thread
// only, like the rest of the interface model.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/ApplicationDelegate.h"
#include "Platform/UIKit/ShortcutItem.h"

namespace ui {

class Scene;
class Window;

inline constexpr const char* kApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* kApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";
inline constexpr const char* kApplicationSignificantTimeChangeNotification =
    "UIApplicationSignificantTimeChangeNotification";
inline constexpr const char* kApplicationProtectedDataWillBecomeUnavailable =
    "UIApplicationProtectedDataWillBecomeUnavailable";
inline constexpr const char* kApplicationProtectedDataDidBecomeAvailable =
    "UIApplicationProtectedDataDidBecomeAvailable";
inline constexpr const char* kApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* kContentSizeCategoryDidChangeNotification =
    "UIContentSizeCategoryDidChangeNotification";

// Launch option keys.
inline constexpr const char* kLaunchOptionsURLKey = "UIApplicationLaunchOptionsURLKey";
inline constexpr const char* kLaunchOptionsShortcutItemKey = "UIApplicationLaunchOptionsShortcutItemKey";
inline constexpr const char* kLaunchOptionsLocalNotificationKey =
    "UIApplicationLaunchOptionsLocalNotificationKey";
// A user activity the app was launched to continue: the dictionary under
// kLaunchOptionsUserActivityDictionaryKey holds the activity under
// kLaunchOptionsUserActivityKey, itself a dictionary of UserActivity's
// fields ("activityType", "webpageURL", "userInfo").
inline constexpr const char* kLaunchOptionsUserActivityDictionaryKey =
    "UIApplicationLaunchOptionsUserActivityDictionaryKey";
inline constexpr const char* kLaunchOptionsUserActivityKey = "UIApplicationLaunchOptionsUserActivityKey";
// The activity type of a web page the user was browsing.
inline constexpr const char* kUserActivityTypeBrowsingWeb = "NSUserActivityTypeBrowsingWeb";
ns::Dictionary launchOptionsValue(const UserActivity& activity);
// None unless the value is a dictionary whose fields have their types.
std::optional<UserActivity> userActivityFromLaunchOptionsValue(const ns::Value& value);

// Open-URL option keys.
inline constexpr const char* kOpenURLOptionsSourceApplicationKey =
    "UIApplicationOpenURLOptionsSourceApplicationKey";
inline constexpr const char* kOpenURLOptionsOpenInPlaceKey = "UIApplicationOpenURLOptionsOpenInPlaceKey";

// The URL that opens the app's page of the system settings.
inline constexpr const char* kOpenSettingsURLString = "app-settings:";

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

// The interface's orientation. Its landscape names are the device's
// swapped (turning the device left turns the interface right); the numbers
// agree.
enum class InterfaceOrientation {
  Unknown = 0,
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeLeft = 4,
  LandscapeRight = 3,
};

using BackgroundTaskIdentifier = uint64_t;
inline constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;

class Application {
 public:
  static Application& shared();

  std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_; }
  // Every setting is reported to the delegate observers, old and new, also
  // when they are the same object.
  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate);
  using DelegateObserver = std::function<void(const std::shared_ptr<ApplicationDelegate>& oldDelegate,
                                              const std::shared_ptr<ApplicationDelegate>& newDelegate)>;
  using DelegateObserverToken = uint64_t;
  DelegateObserverToken addDelegateObserver(DelegateObserver observer);
  void removeDelegateObserver(DelegateObserverToken token);

  // The calls that can be intercepted (openURL and the calls from
  // continueUserActivity on) reach the delegate through one forwarder slot:
  // a forwarder set for the current delegate object stands in for it while
  // that object is the delegate (set again after a change, it applies
  // again). Null clears the slot.
  void setDelegateForwarder(std::shared_ptr<ApplicationDelegate> forwarder);
  std::shared_ptr<ApplicationDelegate> delegateForwarder() const { return forwarder_; }

  ApplicationState applicationState() const { return state_; }
  // The interface follows the device (the screen's bounds do too): a device
  // lying flat or in an unknown position shows the interface upright.
  InterfaceOrientation statusBarOrientation() const;

  // Lifecycle, driven by the host program and the input layer.
  // Launch: will/did finish launching with the options (the
  // did-finish-launching notification carries them as its user info), then
  // active.
  bool launch(const ns::Dictionary& options = {});
  void resignActive();
  void enterBackground();  // resigns active first when active
  void enterForeground();  // then becomes active
  void becomeActive();
  // The system ends the app, as after its last moment in the background:
  // running background tasks get up to `graceSeconds` of real time to end
  // (the main run loop is pumped meanwhile), then the expiration handlers
  // of those still running are called; then the delegate is told and the
  // notification posted. Main thread only. The process ends next: the host
  // stops the queues (dispatch::shutdown) before it returns.
  static constexpr double kTerminationGraceSeconds = 10;
  void terminate(double graceSeconds = kTerminationGraceSeconds);
  void significantTimeChange();

  // URLs handed to the app from outside: the delegate decides.
  bool deliverOpenURL(const std::string& url, const ns::Dictionary& options = {});
  bool deliverOpenURL(const std::string& url, const std::string& sourceApplication, const ns::Value& annotation);
  // Whether the delegate continued the activity.
  bool continueUserActivity(const UserActivity& activity, RestorationHandler restorationHandler = nullptr);
  // The events of a background URL session: the session's side learns of
  // them (net::URLSession::handleEventsForBackgroundURLSession), then the
  // delegate is told.
  void handleEventsForBackgroundURLSession(const std::string& identifier,
                                           std::function<void()> completionHandler = nullptr);
  // Remote notifications, as the system delivers them.
  void didRegisterForRemoteNotifications(const ns::Data& deviceToken);
  void didFailToRegisterForRemoteNotifications(const ns::Error& error);
  void didReceiveRemoteNotification(const ns::Dictionary& userInfo);
  void didReceiveRemoteNotification(const ns::Dictionary& userInfo, FetchCompletionHandler completion);

  // Scenes: connecting one posts kSceneWillConnectNotification (object:
  // the scene) and keeps it among the connected scenes.
  void connectScene(const std::shared_ptr<Scene>& scene);
  const std::vector<std::shared_ptr<Scene>>& connectedScenes() const { return scenes_; }
  // URLs the app asks the system to open: recorded, answered with success
  // for the settings URL and for schemes registered with registerScheme.
  void openURL(const std::string& url, const ns::Dictionary& options = {},
               std::function<void(bool success)> completion = nullptr);
  bool canOpenURL(const std::string& url) const;
  void registerScheme(const std::string& scheme);
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }

  // Quick actions.
  const std::vector<ShortcutItem>& shortcutItems() const { return shortcutItems_; }
  void setShortcutItems(std::vector<ShortcutItem> items) { shortcutItems_ = std::move(items); }
  // The user picked a quick action while the app ran; the completion's
  // answer is kept in lastShortcutSucceeded().
  void performShortcut(const ShortcutItem& item);
  bool lastShortcutSucceeded() const { return lastShortcutSucceeded_; }

  // Background tasks: named, with a handler called if time runs out. Work
  // on any thread begins and ends its own tasks, so these are thread-safe.
  BackgroundTaskIdentifier beginBackgroundTask(const std::string& name,
                                               std::function<void()> expirationHandler);
  BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler) {
    return beginBackgroundTask({}, std::move(expirationHandler));
  }
  void endBackgroundTask(BackgroundTaskIdentifier identifier);
  // Names of the running tasks in start order.
  std::vector<std::string> runningBackgroundTasks() const;
  // Time runs out: every running task's handler is called (each must end
  // its task); tasks still running afterwards are ended.
  void expireBackgroundTasks();
  double backgroundTimeRemaining() const;

  // Protected data (files under complete protection while locked).
  bool isProtectedDataAvailable() const { return protectedDataAvailable_; }
  // The device locks (false) or unlocks (true): the delegate is told and
  // the notification posted; "will become unavailable" comes before the
  // data goes.
  void setProtectedDataAvailable(bool available);

  // Windows.
  std::vector<std::shared_ptr<Window>> windows() const;  // visible, by level
  std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
  void setKeyWindow(std::shared_ptr<Window> window);
  void addWindow(const std::shared_ptr<Window>& window);
  void removeWindow(const Window* window);
  // Resizes the windows that covered the screen to its new bounds.
  void screenBoundsDidChange();

  // Ends editing anywhere (resigns the first responder).
  bool resignFirstResponder();

  int64_t applicationIconBadgeNumber() const { return badge_; }
  void setApplicationIconBadgeNumber(int64_t n) { badge_ = n; }
  bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
  void setIdleTimerDisabled(bool d) { idleTimerDisabled_ = d; }
  bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
  void setNetworkActivityIndicatorVisible(bool v) { networkActivity_ = v; }

  // Back to a fresh, never-launched application (tests).
  void reset();

 private:
  void post(const char* name);
  // Where the interceptable calls go: the forwarder while it applies.
  ApplicationDelegate* interceptableDelegate() const;
  struct Task {
    std::string name;
    std::function<void()> expiration;
  };

  std::shared_ptr<ApplicationDelegate> delegate_;
  std::shared_ptr<ApplicationDelegate> forwarder_;
  std::weak_ptr<ApplicationDelegate> forwardedDelegate_;
  std::map<DelegateObserverToken, DelegateObserver> delegateObservers_;
  DelegateObserverToken nextDelegateObserver_ = 1;
  std::vector<std::shared_ptr<Scene>> scenes_;
  ApplicationState state_ = ApplicationState::Inactive;
  std::vector<std::string> openedURLs_;
  std::vector<std::string> schemes_;
  std::vector<ShortcutItem> shortcutItems_;
  bool lastShortcutSucceeded_ = false;
  mutable std::mutex tasksMutex_;
  std::map<BackgroundTaskIdentifier, Task> tasks_;
  BackgroundTaskIdentifier nextTask_ = 1;
  std::atomic<bool> protectedDataAvailable_{true};  // read by background work
  std::vector<std::weak_ptr<Window>> windows_;
  std::weak_ptr<Window> keyWindow_;
  int64_t badge_ = 0;
  bool idleTimerDisabled_ = false;
  bool networkActivity_ = false;
};

}  // namespace ui
