#include "Libraries/TelemetryFoundation/ZULAppDelegateForwarder.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"
#include "Platform/Dispatch/Group.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Uuid.h"

namespace {

// The delegate's own implementations, receiver first.
using ui::ApplicationDelegate;
using OpenURLOptions = bool(ApplicationDelegate&, ui::Application&, const std::string&, const ns::Dictionary&);
using OpenURLSourceApplication = bool(ApplicationDelegate&, ui::Application&, const std::string&, const std::string&,
                                      const ns::Value&);
using ContinueUserActivity = bool(ApplicationDelegate&, ui::Application&, const ui::UserActivity&,
                                  ui::RestorationHandler);
using HandleBackgroundEvents = void(ApplicationDelegate&, ui::Application&, const std::string&,
                                    std::function<void()>);
using DidRegister = void(ApplicationDelegate&, ui::Application&, const ns::Data&);
using DidFailToRegister = void(ApplicationDelegate&, ui::Application&, const ns::Error&);
using DidReceive = void(ApplicationDelegate&, ui::Application&, const ns::Dictionary&);
using DidReceiveFetching = void(ApplicationDelegate&, ui::Application&, const ns::Dictionary&,
                                ui::FetchCompletionHandler);

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
  forward<ContinueUserActivity>(ui::kContinueUserActivitySelector,
                                [](ApplicationDelegate& d, ui::Application& app, const ui::UserActivity& activity,
                                   ui::RestorationHandler handler) {
                                  return d.continueUserActivity(app, activity, std::move(handler));
                                });
  if (delegate->respondsToSelector(ui::kOpenURLOptionsSelector)) {
    forward<OpenURLOptions>(ui::kOpenURLOptionsSelector, [](ApplicationDelegate& d, ui::Application& app,
                                                            const std::string& url, const ns::Dictionary& options) {
      return d.openURL(app, url, options);
    });
  }
  forward<HandleBackgroundEvents>(ui::kHandleEventsForBackgroundURLSessionSelector,
                                  [](ApplicationDelegate& d, ui::Application& app, const std::string& identifier,
                                     std::function<void()> completion) {
                                    d.handleEventsForBackgroundURLSession(app, identifier, std::move(completion));
                                  });
  forward<OpenURLSourceApplication>(
      ui::kOpenURLSourceApplicationSelector,
      [](ApplicationDelegate& d, ui::Application& app, const std::string& url, const std::string& source,
         const ns::Value& annotation) { return d.openURLFromSourceApplication(app, url, source, annotation); });
}

template <class Signature>
void ZULAppDelegateForwarder::forward(const char* selector, std::function<Signature> own) {
  auto delegate = delegate_.lock();
  bool implemented = delegate && delegate->respondsToSelector(selector);
  realImplementations_[selector] = implemented ? rt::implementationWithBlock<Signature>(std::move(own)) : nullptr;
}

void ZULAppDelegateForwarder::addRemoteNotificationMethods() {
  forward<DidRegister>(ui::kDidRegisterForRemoteNotificationsSelector,
                       [](ApplicationDelegate& d, ui::Application& app, const ns::Data& token) {
                         d.didRegisterForRemoteNotifications(app, token);
                       });
  forward<DidFailToRegister>(ui::kDidFailToRegisterForRemoteNotificationsSelector,
                             [](ApplicationDelegate& d, ui::Application& app, const ns::Error& error) {
                               d.didFailToRegisterForRemoteNotifications(app, error);
                             });
  forward<DidReceive>(ui::kDidReceiveRemoteNotificationSelector,
                      [](ApplicationDelegate& d, ui::Application& app, const ns::Dictionary& userInfo) {
                        d.didReceiveRemoteNotification(app, userInfo);
                      });
  auto delegate = delegate_.lock();
  if (delegate && delegate->respondsToSelector(ui::kDidReceiveRemoteNotificationFetchSelector)) {
    forward<DidReceiveFetching>(ui::kDidReceiveRemoteNotificationFetchSelector,
                                [](ApplicationDelegate& d, ui::Application& app, const ns::Dictionary& userInfo,
                                   ui::FetchCompletionHandler completion) {
                                  d.didReceiveRemoteNotificationFetching(app, userInfo, std::move(completion));
                                });
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

bool ZULAppDelegateForwarder::openURL(ui::Application& application, const std::string& url,
                                      const ns::Dictionary& options) {
  auto delegate = delegate_.lock();
  if (!forwards(ui::kOpenURLOptionsSelector)) return delegate && delegate->openURL(application, url, options);
  bool handled = false;
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kOpenURLOptionsSelector,
      [&](ApplicationDelegate& interceptor) { handled = interceptor.openURL(application, url, options) || handled; });
  if (auto real = own<OpenURLOptions>(ui::kOpenURLOptionsSelector); real && delegate)
    handled = real(*delegate, application, url, options) || handled;
  return handled;
}

bool ZULAppDelegateForwarder::openURLFromSourceApplication(ui::Application& application, const std::string& url,
                                                           const std::string& sourceApplication,
                                                           const ns::Value& annotation) {
  auto delegate = delegate_.lock();
  bool handled = false;
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kOpenURLSourceApplicationSelector, [&](ApplicationDelegate& interceptor) {
        handled = interceptor.openURLFromSourceApplication(application, url, sourceApplication, annotation) || handled;
      });
  if (auto real = own<OpenURLSourceApplication>(ui::kOpenURLSourceApplicationSelector); real && delegate)
    handled = real(*delegate, application, url, sourceApplication, annotation) || handled;
  return handled;
}

bool ZULAppDelegateForwarder::continueUserActivity(ui::Application& application, const ui::UserActivity& activity,
                                                   ui::RestorationHandler restorationHandler) {
  auto delegate = delegate_.lock();
  bool handled = false;
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kContinueUserActivitySelector, [&](ApplicationDelegate& interceptor) {
        handled = interceptor.continueUserActivity(application, activity, restorationHandler) || handled;
      });
  if (auto real = own<ContinueUserActivity>(ui::kContinueUserActivitySelector); real && delegate)
    handled = real(*delegate, application, activity, restorationHandler) || handled;
  return handled;
}

void ZULAppDelegateForwarder::handleEventsForBackgroundURLSession(ui::Application& application,
                                                                  const std::string& identifier,
                                                                  std::function<void()> completionHandler) {
  auto delegate = delegate_.lock();
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kHandleEventsForBackgroundURLSessionSelector, [&](ApplicationDelegate& interceptor) {
        interceptor.handleEventsForBackgroundURLSession(application, identifier, completionHandler);
      });
  if (auto real = own<HandleBackgroundEvents>(ui::kHandleEventsForBackgroundURLSessionSelector); real && delegate)
    real(*delegate, application, identifier, completionHandler);
}

void ZULAppDelegateForwarder::didRegisterForRemoteNotifications(ui::Application& application,
                                                                const ns::Data& deviceToken) {
  auto delegate = delegate_.lock();
  if (!forwards(ui::kDidRegisterForRemoteNotificationsSelector)) {
    if (delegate) delegate->didRegisterForRemoteNotifications(application, deviceToken);
    return;
  }
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kDidRegisterForRemoteNotificationsSelector,
      [&](ApplicationDelegate& interceptor) { interceptor.didRegisterForRemoteNotifications(application, deviceToken); });
  if (auto real = own<DidRegister>(ui::kDidRegisterForRemoteNotificationsSelector); real && delegate)
    real(*delegate, application, deviceToken);
}

void ZULAppDelegateForwarder::didFailToRegisterForRemoteNotifications(ui::Application& application,
                                                                      const ns::Error& error) {
  auto delegate = delegate_.lock();
  if (!forwards(ui::kDidFailToRegisterForRemoteNotificationsSelector)) {
    if (delegate) delegate->didFailToRegisterForRemoteNotifications(application, error);
    return;
  }
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kDidFailToRegisterForRemoteNotificationsSelector,
      [&](ApplicationDelegate& interceptor) { interceptor.didFailToRegisterForRemoteNotifications(application, error); });
  if (auto real = own<DidFailToRegister>(ui::kDidFailToRegisterForRemoteNotificationsSelector); real && delegate)
    real(*delegate, application, error);
}

void ZULAppDelegateForwarder::didReceiveRemoteNotification(ui::Application& application,
                                                           const ns::Dictionary& userInfo) {
  auto delegate = delegate_.lock();
  if (!forwards(ui::kDidReceiveRemoteNotificationSelector)) {
    if (delegate) delegate->didReceiveRemoteNotification(application, userInfo);
    return;
  }
  ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
      ui::kDidReceiveRemoteNotificationSelector,
      [&](ApplicationDelegate& interceptor) { interceptor.didReceiveRemoteNotification(application, userInfo); });
  if (auto real = own<DidReceive>(ui::kDidReceiveRemoteNotificationSelector); real && delegate)
    real(*delegate, application, userInfo);
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
  if (auto real = own<DidReceiveFetching>(ui::kDidReceiveRemoteNotificationFetchSelector); real && delegate)
    real(*delegate, application, userInfo, aggregator.participantHandler());
  aggregator.notify(std::move(completion));
}
