// ZULAppDelegateSwizzler: lets telemetry components see selected calls the
// system makes on the application's delegate (URLs opened, user activities
// continued, background URL-session events, remote-notification
// registration and delivery) before the delegate does, without the app
// forwarding them by hand.
//
// proxyOriginalDelegate puts a forwarder (ZULAppDelegateForwarder) into
// the application's forwarder slot for the current delegate object. The
// delegate stays the same object; for the intercepted calls the forwarder
// first offers the call to every registered interceptor that responds to
// it, then runs the delegate's own implementation. Every interceptor runs,
// whatever the others answer, and the order among them is not defined.
//
// Two Info.plist switches, "DozaveveAppDelegateProxyEnabled" and
// "ZororiUtilitiesAppDelegateProxyEnabled", turn it off when either is a
// false number; a value of another type is ignored. Inside an application
// extension nothing is installed.
//
// Interceptors are ui::ApplicationDelegate objects, held weakly under
// "ZUL_" and their address ("%p"); one freed without unregistering is
// dropped, with warning I-SWZ001010, the next time a call is forwarded.
// When the application replaces the delegate, the proxied delegate is
// released and no longer intercepted.
//
// Lines go to the utilities logger under "[ZororiUtilities/AppDelegateSwizzler]"
// with codes "I-SWZ00xxxx". Installation and forwarding run on the main
// thread; registering and unregistering from any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationDelegate.h"

class ZULAppDelegateSwizzler {
 public:
  ZULAppDelegateSwizzler() = delete;

  static bool isAppDelegateProxyEnabled();
  // Installs the forwarder on the current delegate, once per process.
  // Notice 1014 without a delegate, notice 1011 when switched off, error
  // 1013 when installing throws; debug 1008 once installed.
  static void proxyOriginalDelegate();
  // proxyOriginalDelegate, then, once, also forwards the remote-notification
  // calls (the fetching one only when the delegate implements it).
  static void proxyOriginalDelegateIncludingAPNSMethods();

  // The identifier of the registered interceptor; "" with error 1000 for
  // null. Registering one object again keeps one entry.
  static std::string registerAppDelegateInterceptor(const std::shared_ptr<ui::ApplicationDelegate>& interceptor);
  // Error 1003 for "", error 1004 when no live interceptor is registered
  // under `identifier` (nothing is removed then).
  static void unregisterAppDelegateInterceptorWithID(const std::string& identifier);
  static void clearInterceptors();

  // The shared application; null inside an application extension.
  static ui::Application* sharedApplication();
  // The delegate the forwarder was installed for, until the application
  // replaces it.
  static std::shared_ptr<ui::ApplicationDelegate> originalDelegate();
  // Lets the next proxyOriginalDelegate and
  // proxyOriginalDelegateIncludingAPNSMethods run their one-time steps again.
  static void resetProxyOriginalDelegateOnceToken();

  // The forwarder's side: calls `callback` with each live interceptor that
  // responds to `selector`, pruning freed ones (warning 1010).
  static void notifyInterceptorsWithMethodSelector(std::string_view selector,
                                                   const std::function<void(ui::ApplicationDelegate&)>& callback);

  // The switch to name in log lines: "DozaveveAppDelegateProxyEnabled" when
  // the measurement core (runtime class "ZOVCore") is present, else
  // "ZororiUtilitiesAppDelegateProxyEnabled".
  static std::string correctAppDelegateProxyKey();
  // The hint of the "not created" lines ("" without the measurement core).
  static std::string correctAlternativeWhenAppDelegateProxyNotCreated();
};
