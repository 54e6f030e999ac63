// ZULAppDelegateForwarder: what stands in the application's forwarder slot
// for one delegate object once it is proxied (ZULAppDelegateSwizzler.h).
//
// It plays a class derived from the delegate's own: it is named
// "ZUL_<the delegate's class>-<UUID>", keeps the delegate's own
// implementation of every call it forwards (null where the delegate has
// none) and the delegate's class name, and describes the delegate as
// "<RealClass: 0x...>". It holds the delegate weakly: the application and
// the swizzler own it.
//
// Always forwarded: continueUserActivity, the background URL session's
// events and the openURL with source application; openURL with options only
// when the delegate responds to it. addRemoteNotificationMethods adds the
// remote-notification calls. A call it does not forward goes straight to
// the delegate.
//
// Forwarding offers the call to the interceptors first, then runs the
// delegate's own implementation: a yes/no answer is the OR of all of
// them; a fetching remote notification completes the system's handler once
// on the main queue, after every participant completed, with new data when
// any brought new data, else no data when any brought none, else failed.
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/ApplicationDelegate.h"

class ZULAppDelegateForwarder : public ui::ApplicationDelegate {
 public:
  // For `delegate`, which must not be null.
  explicit ZULAppDelegateForwarder(const std::shared_ptr<ui::ApplicationDelegate>& delegate);

  const std::string& name() const { return name_; }
  const std::string& realClassName() const { return realClassName_; }
  std::shared_ptr<ui::ApplicationDelegate> delegate() const { return delegate_.lock(); }
  // Whether the call named `selector` is forwarded.
  bool forwards(std::string_view selector) const;
  // The delegate's own implementation of a forwarded call; null where it
  // has none (and for a call not forwarded).
  rt::IMP realImplementation(std::string_view selector) const;
  std::string description() const;

  // Forwards the three remote-notification calls, and the fetching one
  // when the delegate implements it.
  void addRemoteNotificationMethods();

  bool respondsToSelector(std::string_view selector) const override;
  bool openURL(ui::Application& application, const std::string& url, const ns::Dictionary& options) override;
  bool openURLFromSourceApplication(ui::Application& application, const std::string& url,
                                    const std::string& sourceApplication, const ns::Value& annotation) override;
  bool continueUserActivity(ui::Application& application, const ui::UserActivity& activity,
                            ui::RestorationHandler restorationHandler) override;
  void handleEventsForBackgroundURLSession(ui::Application& application, const std::string& identifier,
                                           std::function<void()> completionHandler) override;
  void didRegisterForRemoteNotifications(ui::Application& application, const ns::Data& deviceToken) override;
  void didFailToRegisterForRemoteNotifications(ui::Application& application, const ns::Error& error) override;
  void didReceiveRemoteNotification(ui::Application& application, const ns::Dictionary& userInfo) override;
  void didReceiveRemoteNotificationFetching(ui::Application& application, const ns::Dictionary& userInfo,
                                            ui::FetchCompletionHandler completion) override;

 private:
  // Records the delegate's own implementation of `selector` (null unless it
  // responds to it) and starts forwarding the call.
  template <class Result, class... Params>
  void forward(const char* selector, Result (ui::ApplicationDelegate::*call)(ui::Application&, Params...));
  // A call with a yes/no answer, and one without: to the interceptors,
  // then to the delegate's own implementation; straight to the delegate
  // when the call is not forwarded.
  template <class... Params, class... Args>
  bool ask(const char* selector, bool (ui::ApplicationDelegate::*call)(ui::Application&, Params...),
           ui::Application& application, const Args&... args);
  template <class... Params, class... Args>
  void tell(const char* selector, void (ui::ApplicationDelegate::*call)(ui::Application&, Params...),
            ui::Application& application, const Args&... args);
  template <class Signature>
  std::function<Signature> own(std::string_view selector) const {
    return rt::functionOf<Signature>(realImplementation(selector));
  }

  std::string name_;
  std::string realClassName_;
  std::weak_ptr<ui::ApplicationDelegate> delegate_;
  std::map<std::string, rt::IMP, std::less<>> realImplementations_;
};
