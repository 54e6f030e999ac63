#include "Platform/UIKit/Application.h"

#include <algorithm>
#include <utility>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Network/URLSession.h"
#include "Platform/UIKit/Scene.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui {

Application& Application::shared() {
  static Application app;
  return app;
}

void Application::post(const char* name) {
  ns::NotificationCenter::defaultCenter().post(name, ns::unownedObject(this));
}

void Application::setDelegate(std::shared_ptr<ApplicationDelegate> delegate) {
  auto old = std::exchange(delegate_, std::move(delegate));
  auto now = delegate_;
  // An observer may remove itself (or others) while it is told.
  auto observers = delegateObservers_;
  for (const auto& [token, observer] : observers) {
    if (delegateObservers_.count(token)) observer(old, now);
  }
}

Application::DelegateObserverToken Application::addDelegateObserver(DelegateObserver observer) {
  DelegateObserverToken token = nextDelegateObserver_++;
  delegateObservers_[token] = std::move(observer);
  return token;
}

void Application::removeDelegateObserver(DelegateObserverToken token) { delegateObservers_.erase(token); }

void Application::setDelegateForwarder(std::shared_ptr<ApplicationDelegate> forwarder) {
  forwarder_ = std::move(forwarder);
  forwardedDelegate_ = forwarder_ ? delegate_ : nullptr;
}

ApplicationDelegate* Application::interceptableDelegate() const {
  if (forwarder_ && delegate_ && forwardedDelegate_.lock() == delegate_) return forwarder_.get();
  return delegate_.get();
}

bool Application::launch(const ns::Dictionary& options) {
  state_ = ApplicationState::Inactive;
  bool ok = true;
  if (delegate_) ok = delegate_->willFinishLaunching(*this, options);
  if (delegate_) ok = delegate_->didFinishLaunching(*this, options) && ok;
  ns::NotificationCenter::defaultCenter().post(kApplicationDidFinishLaunchingNotification, ns::unownedObject(this),
                                               options);
  becomeActive();
  return ok;
}

void Application::resignActive() {
  if (state_ != ApplicationState::Active) return;
  if (delegate_) delegate_->willResignActive(*this);
  post(kApplicationWillResignActiveNotification);
  state_ = ApplicationState::Inactive;
}

void Application::enterBackground() {
  if (state_ == ApplicationState::Background) return;
  resignActive();
  state_ = ApplicationState::Background;
  if (delegate_) delegate_->didEnterBackground(*this);
  post(kApplicationDidEnterBackgroundNotification);
}

void Application::enterForeground() {
  if (state_ != ApplicationState::Background) return;
  if (delegate_) delegate_->willEnterForeground(*this);
  post(kApplicationWillEnterForegroundNotification);
  state_ = ApplicationState::Inactive;
  becomeActive();
}

void Application::becomeActive() {
  if (state_ == ApplicationState::Active) return;
  state_ = ApplicationState::Active;
  if (delegate_) delegate_->didBecomeActive(*this);
  post(kApplicationDidBecomeActiveNotification);
}

void Application::terminate(double graceSeconds) {
  auto tasksEnded = [this] {
    std::lock_guard lock(tasksMutex_);
    return tasks_.empty();
  };
  if (!tasksEnded() && !dispatch::RunLoop::main().runUntil(tasksEnded, graceSeconds)) expireBackgroundTasks();
  if (delegate_) delegate_->willTerminate(*this);
  post(kApplicationWillTerminateNotification);
}

void Application::significantTimeChange() {
  if (delegate_) delegate_->significantTimeChange(*this);
  post(kApplicationSignificantTimeChangeNotification);
}

bool Application::deliverOpenURL(const std::string& url, const ns::Dictionary& options) {
  ApplicationDelegate* target = interceptableDelegate();
  return target && target->openURL(*this, url, options);
}

bool Application::deliverOpenURL(const std::string& url, const std::string& sourceApplication,
                                  const ns::Value& annotation) {
  ApplicationDelegate* target = interceptableDelegate();
  return target && target->openURLFromSourceApplication(*this, url, sourceApplication, annotation);
}

bool Application::continueUserActivity(const UserActivity& activity, RestorationHandler restorationHandler) {
  ApplicationDelegate* target = interceptableDelegate();
  return target && target->continueUserActivity(*this, activity, std::move(restorationHandler));
}

void Application::handleEventsForBackgroundURLSession(const std::string& identifier,
                                                      std::function<void()> completionHandler) {
  net::URLSession::handleEventsForBackgroundURLSession(identifier);
  if (ApplicationDelegate* target = interceptableDelegate()) {
    target->handleEventsForBackgroundURLSession(*this, identifier, std::move(completionHandler));
  } else if (completionHandler) {
    completionHandler();
  }
}

void Application::didRegisterForRemoteNotifications(const ns::Data& deviceToken) {
  if (ApplicationDelegate* target = interceptableDelegate())
    target->didRegisterForRemoteNotifications(*this, deviceToken);
}

void Application::didFailToRegisterForRemoteNotifications(const ns::Error& error) {
  if (ApplicationDelegate* target = interceptableDelegate())
    target->didFailToRegisterForRemoteNotifications(*this, error);
}

void Application::didReceiveRemoteNotification(const ns::Dictionary& userInfo) {
  if (ApplicationDelegate* target = interceptableDelegate()) target->didReceiveRemoteNotification(*this, userInfo);
}

void Application::didReceiveRemoteNotification(const ns::Dictionary& userInfo, FetchCompletionHandler completion) {
  if (ApplicationDelegate* target = interceptableDelegate()) {
    target->didReceiveRemoteNotificationFetching(*this, userInfo, std::move(completion));
  } else if (completion) {
    completion(BackgroundFetchResult::NoData);
  }
}

ns::Dictionary launchOptionsValue(const UserActivity& activity) {
  return ns::Dictionary{{"activityType", ns::Value(activity.activityType)},
                        {"webpageURL", ns::Value(activity.webpageURL)},
                        {"userInfo", ns::Value(activity.userInfo)}};
}

std::optional<UserActivity> userActivityFromLaunchOptionsValue(const ns::Value& value) {
  const ns::Dictionary* fields = value.asDictionary();
  if (!fields) return std::nullopt;
  UserActivity activity;
  if (const ns::Value* type = fields->find("activityType")) {
    if (!type->isString()) return std::nullopt;
    activity.activityType = *type->asString();
  }
  if (const ns::Value* url = fields->find("webpageURL")) {
    if (!url->isString()) return std::nullopt;
    activity.webpageURL = *url->asString();
  }
  if (const ns::Value* info = fields->find("userInfo")) {
    if (!info->asDictionary()) return std::nullopt;
    activity.userInfo = *info->asDictionary();
  }
  return activity;
}

void Application::connectScene(const std::shared_ptr<Scene>& scene) {
  if (!scene) return;
  if (std::find(scenes_.begin(), scenes_.end(), scene) == scenes_.end()) scenes_.push_back(scene);
  ns::NotificationCenter::defaultCenter().post(kSceneWillConnectNotification, scene);
}

namespace {
std::string schemeOf(const std::string& url) {
  size_t colon = url.find(':');
  return colon == std::string::npos ? std::string() : url.substr(0, colon);
}
}  // namespace

bool Application::canOpenURL(const std::string& url) const {
  if (url == kOpenSettingsURLString) return true;
  std::string scheme = schemeOf(url);
  return !scheme.empty() && std::find(schemes_.begin(), schemes_.end(), scheme) != schemes_.end();
}

void Application::registerScheme(const std::string& scheme) { schemes_.push_back(scheme); }

void Application::openURL(const std::string& url, const ns::Dictionary&,
                          std::function<void(bool)> completion) {
  openedURLs_.push_back(url);
  if (completion) completion(canOpenURL(url));
}

void Application::performShortcut(const ShortcutItem& item) {
  lastShortcutSucceeded_ = false;
  if (!delegate_) return;
  delegate_->performActionForShortcutItem(*this, item, [this](bool ok) { lastShortcutSucceeded_ = ok; });
}

BackgroundTaskIdentifier Application::beginBackgroundTask(const std::string& name,
                                                          std::function<void()> expirationHandler) {
  std::lock_guard lock(tasksMutex_);
  BackgroundTaskIdentifier id = nextTask_++;
  tasks_[id] = Task{name, std::move(expirationHandler)};
  return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
  std::lock_guard lock(tasksMutex_);
  tasks_.erase(identifier);
}

std::vector<std::string> Application::runningBackgroundTasks() const {
  std::lock_guard lock(tasksMutex_);
  std::vector<std::string> names;
  for (const auto& [id, task] : tasks_) names.push_back(task.name);
  return names;
}

void Application::expireBackgroundTasks() {
  std::vector<BackgroundTaskIdentifier> ids;
  {
    std::lock_guard lock(tasksMutex_);
    for (const auto& [id, task] : tasks_) ids.push_back(id);
  }
  // Handlers end their tasks, so they run outside the lock.
  for (BackgroundTaskIdentifier id : ids) {
    std::function<void()> handler;
    {
      std::lock_guard lock(tasksMutex_);
      auto it = tasks_.find(id);
      if (it == tasks_.end()) continue;
      handler = it->second.expiration;
    }
    if (handler) handler();
  }
  std::lock_guard lock(tasksMutex_);
  tasks_.clear();
}

double Application::backgroundTimeRemaining() const {
  // The platform's "no limit" while in the foreground.
  return state_ == ApplicationState::Background ? 30.0 : 1.7976931348623157e308;
}

void Application::setProtectedDataAvailable(bool available) {
  if (available == protectedDataAvailable_) return;
  if (!available) {
    if (delegate_) delegate_->protectedDataWillBecomeUnavailable(*this);
    post(kApplicationProtectedDataWillBecomeUnavailable);
    protectedDataAvailable_ = false;
  } else {
    protectedDataAvailable_ = true;
    if (delegate_) delegate_->protectedDataDidBecomeAvailable(*this);
    post(kApplicationProtectedDataDidBecomeAvailable);
  }
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
  std::vector<std::shared_ptr<Window>> out;
  for (const auto& w : windows_) {
    if (auto s = w.lock()) out.push_back(s);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });
  return out;
}

void Application::setKeyWindow(std::shared_ptr<Window> window) {
  auto old = keyWindow_.lock();
  if (old == window) return;
  keyWindow_ = window;
  if (old) ns::NotificationCenter::defaultCenter().post(kWindowDidResignKeyNotification, old);
  if (window) ns::NotificationCenter::defaultCenter().post(kWindowDidBecomeKeyNotification, window);
}

void Application::addWindow(const std::shared_ptr<Window>& window) {
  removeWindow(window.get());
  windows_.push_back(window);
}

void Application::removeWindow(const Window* window) {
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [&](const auto& w) {
                                  auto s = w.lock();
                                  return !s || s.get() == window;
                                }),
                 windows_.end());
  if (keyWindow_.lock().get() == window) {
    keyWindow_.reset();
    // The next visible window of the normal level becomes key, as when an
    // alert's window goes away.
    for (const auto& w : windows()) {
      if (w->windowLevel() == kWindowLevelNormal) keyWindow_ = w;
    }
  }
}

InterfaceOrientation Application::statusBarOrientation() const {
  switch (ns::Device::current().facts().orientation) {
    case ns::DeviceOrientation::PortraitUpsideDown:
      return InterfaceOrientation::PortraitUpsideDown;
    case ns::DeviceOrientation::LandscapeLeft:
      return InterfaceOrientation::LandscapeRight;
    case ns::DeviceOrientation::LandscapeRight:
      return InterfaceOrientation::LandscapeLeft;
    default:
      return InterfaceOrientation::Portrait;
  }
}

void Application::screenBoundsDidChange() {
  Rect screen = Screen::main().bounds();
  for (const auto& w : windows()) {
    Rect old = w->frame();
    if (old == screen) continue;
    if (old.origin == Point{0, 0}) {
      w->setFrame(screen);
      if (auto root = w->rootViewController()) root->viewWillTransitionToSize(screen.size);
      w->layoutIfNeeded();
    }
  }
  post(kApplicationDidChangeStatusBarOrientationNotification);
}

bool Application::resignFirstResponder() {
  Responder* first = currentFirstResponder();
  return !first || first->resignFirstResponder();
}

void Application::reset() {
  resignFirstResponder();
  for (const auto& w : windows()) w->setHidden(true);
  setDelegate(nullptr);
  setDelegateForwarder(nullptr);
  scenes_.clear();
  state_ = ApplicationState::Inactive;
  openedURLs_.clear();
  schemes_.clear();
  shortcutItems_.clear();
  {
    std::lock_guard lock(tasksMutex_);
    tasks_.clear();
  }
  protectedDataAvailable_ = true;
  windows_.clear();
  keyWindow_.reset();
  badge_ = 0;
  idleTimerDisabled_ = false;
  networkActivity_ = false;
}

}  // namespace ui
