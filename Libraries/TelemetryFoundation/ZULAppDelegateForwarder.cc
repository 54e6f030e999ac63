#include "Libraries/TelemetryFoundation/ZULAppDelegateForwarder.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"
#include "Platform/Dispatch/Group.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Uuid.h"

namespace {

using ui::ApplicationDelegate;

// Gathers the results of everyone a fetching remote notification was
// handed to, and completes the system's handler once all of them have.
// A participant's later calls of its handler are ignored: counting them
// would end the wait before the others are done.
class FetchResultAggregator {
 public:
  // A handler for one more participant.
  ui::FetchCompletionHandler participantHandler() {
    group_.enter();
    auto called = std::make_shared<std::atomic<bool>>(false);
    return [group = group_, state = state_, called](ui::BackgroundFetchResult result) mutable {
      if (called->exchange(true)) return;
      {
        std::lock_guard lock(state->mutex);
        state->results.push_back(result);
      }
      group.leave();
    };
  }

  // Once every participant completed: `system` on the main queue.
  void notify(ui::FetchCompletionHandler system) {
    group_.notify(dispatch::Queue::main(), [state = state_, system = std::move(system)] {
      if (system) system(combined(*state));
    });
  }

 private:
  struct State {
    std::mutex mutex;
    std::vector<ui::BackgroundFetchResult> results;
  };
  static ui::BackgroundFetchResult combined(State& state) {
    std::lock_guard lock(state.mutex);
    auto any = [&](ui::BackgroundFetchResult wanted) {
      for (auto result : state.results)
        if (result == wanted) return true;
      return false;
    };
    if (any(ui::BackgroundFetchResult::NewData)) return ui::BackgroundFetchResult::NewData;
    if (any(ui::BackgroundFetchResult::NoData)) return ui::BackgroundFetchResult::NoData;
    return ui::BackgroundFetchResult::Failed;
  }

  dispatch::Group group_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace

ZULAppDelegateForwarder::ZULAppDelegateForwarder(const std::shared_ptr<ApplicationDelegate>& delegate)
    : realClassName_(rt::classNameOf(*delegate)), delegate_(delegate) {
  name_ = ns::format("%@-%@", "ZUL_" + realClassName_, ns::Uuid::random().uuidString());
  forward(ui::kContinueUserActivitySelector, &ApplicationDelegate::continueUserActivity);
  if (delegate->respondsToSelector(ui::kOpenURLOptionsSelector))
    forward(ui::kOpenURLOptionsSelector, &ApplicationDelegate::openURL);
  forward(ui::kHandleEventsForBackgroundURLSessionSelector, &ApplicationDelegate::handleEventsForBackgroundURLSession);
  forward(ui::kOpenURLSourceApplicationSelector, &ApplicationDelegate::openURLFromSourceApplication);
}

template <class Result, class... Params>
void ZULAppDelegateForwarder::forward(const char* selector,
                                      Result (ApplicationDelegate::*call)(ui::Application&, Params...)) {
  auto delegate = delegate_.lock();
  if (!delegate || !delegate->respondsToSelector(selector)) {
    realImplementations_[selector] = nullptr;
    return;
  }
  // Calls the delegate's own function: the forwarder's overrides are never
  // reached through it, since the receiver is the delegate object.
  using Own = Result(ApplicationDelegate&, ui::Application&, Params...);
  realImplementations_[selector] = rt::implementationWithBlock<Own>(
      [call](ApplicationDelegate& receiver, ui::Application& application, Params... args) {
        return (receiver.*call)(application, std::forward<Params>(args)...);
      });
}

void ZULAppDelegateForwarder::addRemoteNotificationMethods() {
  forward(ui::kDidRegisterForRemoteNotificationsSelector, &ApplicationDelegate::didRegisterForRemoteNotifications);
  forward(ui::kDidFailToRegisterForRemoteNotificationsSelector,
          &ApplicationDelegate::didFailToRegisterForRemoteNotifications);
  forward(ui::kDidReceiveRemoteNotificationSelector, &ApplicationDelegate::didReceiveRemoteNotification);
  auto delegate = delegate_.lock();
  if (delegate && delegate->respondsToSelector(ui::kDidReceiveRemoteNotificationFetchSelector)) {
    forward(ui::kDidReceiveRemoteNotificationFetchSelector, &ApplicationDelegate::didReceiveRemoteNotificationFetching);
  }
}

bool ZULAppDelegateForwarder::forwards(std::string_view selector) const {
  return realImplementations_.find(selector) != realImplementations_.end();
}

rt::IMP ZULAppDelegateForwarder::realImplementation(std::string_view selector) const {
  auto found = realImplementations_.find(selector);
  return found == realImplementations_.end() ? nullptr : found->second;
}

std::string ZULAppDelegateForwarder::description() const {
  return ns::format("<%@: %p>", realClassName_, static_cast<const void*>(delegate_.lock().get()));
}

bool ZULAppDelegateForwarder::respondsToSelector(std::string_view selector) const {
  if (forwards(selector)) return true;
  auto delegate = delegate_.lock();
  return delegate && delegate->respondsToSelector(selector);
}

template <class... Params, class... Args>
bool ZULAppDelegateForwarder::ask(const char* selector,
                                  bool (ApplicationDelegate::*call)(ui::Application&, Params...),
                                  ui::Application& application, const Args&... args) {
  auto delegate = delegate_.lock();
  if (!forwards(selector)) return delegate && ((*delegate).*call)(application, args...);
  bool handled = false;
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(selector, [&](ApplicationDelegate& interceptor) {
    handled = (interceptor.*call)(application, args...) || handled;
  });
  auto real = own<bool(ApplicationDelegate&, ui::Application&, Params...)>(selector);
  if (real && delegate) handled = real(*delegate, application, args...) || handled;
  return handled;
}

template <class... Params, class... Args>
void ZULAppDelegateForwarder::tell(const char* selector,
                                   void (ApplicationDelegate::*call)(ui::Application&, Params...),
                                   ui::Application& application, const Args&... args) {
  auto delegate = delegate_.lock();
  if (!forwards(selector)) {
    if (delegate) ((*delegate).*call)(application, args...);
    return;
  }
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      selector, [&](ApplicationDelegate& interceptor) { (interceptor.*call)(application, args...); });
  auto real = own<void(ApplicationDelegate&, ui::Application&, Params...)>(selector);
  if (real && delegate) real(*delegate, application, args...);
}

bool ZULAppDelegateForwarder::openURL(ui::Application& application, const std::string& url,
                                      const ns::Dictionary& options) {
  return ask(ui::kOpenURLOptionsSelector, &ApplicationDelegate::openURL, application, url, options);
}

bool ZULAppDelegateForwarder::openURLFromSourceApplication(ui::Application& application, const std::string& url,
                                                           const std::string& sourceApplication,
                                                           const ns::Value& annotation) {
  return ask(ui::kOpenURLSourceApplicationSelector, &ApplicationDelegate::openURLFromSourceApplication, application,
             url, sourceApplication, annotation);
}

bool ZULAppDelegateForwarder::continueUserActivity(ui::Application& application, const ui::UserActivity& activity,
                                                   ui::RestorationHandler restorationHandler) {
  return ask(ui::kContinueUserActivitySelector, &ApplicationDelegate::continueUserActivity, application, activity,
             restorationHandler);
}

void ZULAppDelegateForwarder::handleEventsForBackgroundURLSession(ui::Application& application,
                                                                  const std::string& identifier,
                                                                  std::function<void()> completionHandler) {
  tell(ui::kHandleEventsForBackgroundURLSessionSelector, &ApplicationDelegate::handleEventsForBackgroundURLSession,
       application, identifier, completionHandler);
}

void ZULAppDelegateForwarder::didRegisterForRemoteNotifications(ui::Application& application,
                                                                const ns::Data& deviceToken) {
  tell(ui::kDidRegisterForRemoteNotificationsSelector, &ApplicationDelegate::didRegisterForRemoteNotifications,
       application, deviceToken);
}

void ZULAppDelegateForwarder::didFailToRegisterForRemoteNotifications(ui::Application& application,
                                                                      const ns::Error& error) {
  tell(ui::kDidFailToRegisterForRemoteNotificationsSelector,
       &ApplicationDelegate::didFailToRegisterForRemoteNotifications, application, error);
}

void ZULAppDelegateForwarder::didReceiveRemoteNotification(ui::Application& application,
                                                           const ns::Dictionary& userInfo) {
  tell(ui::kDidReceiveRemoteNotificationSelector, &ApplicationDelegate::didReceiveRemoteNotification, application,
       userInfo);
}

void ZULAppDelegateForwarder::didReceiveRemoteNotificationFetching(ui::Application& application,
                                                                   const ns::Dictionary& userInfo,
                                                                   ui::FetchCompletionHandler completion) {
  auto delegate = delegate_.lock();
  if (!forwards(ui::kDidReceiveRemoteNotificationFetchSelector)) {
    if (delegate) delegate->didReceiveRemoteNotificationFetching(application, userInfo, std::move(completion));
    return;
  }
  FetchResultAggregator aggregator;
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kDidReceiveRemoteNotificationFetchSelector, [&](ApplicationDelegate& interceptor) {
        interceptor.didReceiveRemoteNotificationFetching(application, userInfo, aggregator.participantHandler());
      });
  auto real = own<void(ApplicationDelegate&, ui::Application&, const ns::Dictionary&, ui::FetchCompletionHandler)>(
      ui::kDidReceiveRemoteNotificationFetchSelector);
  if (real && delegate) real(*delegate, application, userInfo, aggregator.participantHandler());
  aggregator.notify(std::move(completion));
}
