#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"

#include <exception>
#include <mutex>

#include "Libraries/TelemetryFoundation/ZULAppDelegateForwarder.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/TelemetryFoundation/ZULInterceptorRegistry.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULDelegateProxyTesting.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kService = "[ZororiUtilities/AppDelegateSwizzler]";
constexpr const char* kCoreProxyKey = "DozaveveAppDelegateProxyEnabled";
constexpr const char* kUtilitiesProxyKey = "ZororiUtilitiesAppDelegateProxyEnabled";

std::string code(long number) { return ns::format("I-SWZ%06ld", number); }

ZULInterceptorRegistry<ui::ApplicationDelegate>& interceptors() {
  static auto* registry = new ZULInterceptorRegistry<ui::ApplicationDelegate>();
  return *registry;
}

// What installing left behind. Main thread, like the application.
struct ProxyState {
  bool proxied = false;             // proxyOriginalDelegate's one-time step ran
  bool remoteMethodsAdded = false;  // and that of the remote-notification calls
  std::shared_ptr<ui::ApplicationDelegate> originalDelegate;
  std::shared_ptr<ZULAppDelegateForwarder> forwarder;
  // Watching the application for a replaced delegate.
  ui::Application* observedApplication = nullptr;
  ui::Application::DelegateObserverToken observation = 0;
};

ProxyState& state() {
  static ProxyState proxyState;
  return proxyState;
}

void stopObservingApplication() {
  ProxyState& s = state();
  if (s.observedApplication) s.observedApplication->removeDelegateObserver(s.observation);
  s.observedApplication = nullptr;
  s.observation = 0;
}

// Once the application replaces the proxied delegate, it is released and no
// longer followed; a new delegate is not proxied (the one-time step ran).
void observeApplication(ui::Application& application) {
  ProxyState& s = state();
  if (s.observedApplication) return;
  s.observedApplication = &application;
  s.observation = application.addDelegateObserver(
      [](const std::shared_ptr<ui::ApplicationDelegate>& old, const std::shared_ptr<ui::ApplicationDelegate>& now) {
        ProxyState& current = state();
        if (old == now || !old || old != current.originalDelegate) return;
        current.originalDelegate.reset();
        stopObservingApplication();
      });
}

// Sets the delegate to nil and back, as a platform requires to take in the
// delegate's new set of methods, and keeps it.
void reassignAppDelegate(ui::Application& application) {
  std::shared_ptr<ui::ApplicationDelegate> delegate = application.delegate();
  application.setDelegate(nullptr);
  application.setDelegate(delegate);
  state().originalDelegate = delegate;
  observeApplication(application);
}

void proxyAppDelegate(ui::Application& application) {
  std::shared_ptr<ui::ApplicationDelegate> delegate = application.delegate();
  if (!delegate) {
    ZULLoggerLogNotice(kService, false, code(1014),
                       "App Delegate does not conform to UIApplicationDelegate protocol. %@",
                       ZULAppDelegateSwizzler::correctAlternativeWhenAppDelegateProxyNotCreated());
    return;
  }
  if (!ZULAppDelegateSwizzler::isAppDelegateProxyEnabled()) {
    ZULLoggerLogNotice(kService, false, code(1011), "App Delegate Proxy is disabled. %@",
                       ZULAppDelegateSwizzler::correctAlternativeWhenAppDelegateProxyNotCreated());
    return;
  }
  try {
    auto forwarder = std::make_shared<ZULAppDelegateForwarder>(delegate);
    state().forwarder = forwarder;
    application.setDelegateForwarder(forwarder);
    ZULLoggerLogDebug(kService, false, code(1008),
                      "Successfully created App Delegate Proxy automatically. To disable the proxy, set the flag %@ "
                      "to NO (Boolean) in the Info.plist",
                      ZULAppDelegateSwizzler::correctAppDelegateProxyKey());
    reassignAppDelegate(application);
  } catch (const std::exception&) {
    ZULLoggerLogError(kService, false, code(1013), "Cannot create App Delegate Proxy. %@",
                      ZULAppDelegateSwizzler::correctAlternativeWhenAppDelegateProxyNotCreated());
  }
}

bool switchIsOn(const char* key) {
  const ns::Value* value = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(key);
  return !value || !value->isNumber() || value->boolValue();
}

bool coreIsPresent() { return rt::classFromString("ZOVCore") != nullptr; }

}  // namespace

bool ZULAppDelegateSwizzler::isAppDelegateProxyEnabled() {
  return switchIsOn(kCoreProxyKey) && switchIsOn(kUtilitiesProxyKey);
}

void ZULAppDelegateSwizzler::proxyOriginalDelegate() {
  ui::Application* application = sharedApplication();
  if (!application || std::exchange(state().proxied, true)) return;
  proxyAppDelegate(*application);
}

void ZULAppDelegateSwizzler::proxyOriginalDelegateIncludingAPNSMethods() {
  ui::Application* application = sharedApplication();
  if (!application) return;
  proxyOriginalDelegate();
  ProxyState& s = state();
  if (std::exchange(s.remoteMethodsAdded, true)) return;
  std::shared_ptr<ui::ApplicationDelegate> delegate = application->delegate();
  if (!s.forwarder || !delegate || s.forwarder->delegate() != delegate) return;
  s.forwarder->addRemoteNotificationMethods();
  reassignAppDelegate(*application);
}

std::string ZULAppDelegateSwizzler::registerAppDelegateInterceptor(
    const std::shared_ptr<ui::ApplicationDelegate>& interceptor) {
  if (!interceptor) {
    ZULLoggerLogError(kService, false, code(1000), "AppDelegateProxy cannot add nil interceptor.");
    return {};
  }
  return interceptors().add(interceptor);
}

void ZULAppDelegateSwizzler::unregisterAppDelegateInterceptorWithID(const std::string& identifier) {
  if (identifier.empty()) {
    ZULLoggerLogError(kService, false, code(1003), "AppDelegateProxy cannot unregister empty interceptor ID.");
    return;
  }
  if (!interceptors().removeLive(identifier)) {
    ZULLoggerLogError(kService, false, code(1004),
                      "AppDelegateProxy cannot unregister interceptor that was not registered. Interceptor ID %@",
                      identifier);
  }
}

void ZULAppDelegateSwizzler::clearInterceptors() { interceptors().clear(); }

ui::Application* ZULAppDelegateSwizzler::sharedApplication() {
  if (ZULAppEnvironmentUtil::isAppExtension()) return nullptr;
  return &ui::Application::shared();
}

std::shared_ptr<ui::ApplicationDelegate> ZULAppDelegateSwizzler::originalDelegate() { return state().originalDelegate; }

void ZULAppDelegateSwizzler::resetProxyOriginalDelegateOnceToken() {
  state().proxied = false;
  state().remoteMethodsAdded = false;
}

void ZULAppDelegateSwizzler::notifyInterceptorsWithMethodSelector(
    std::string_view selector, const std::function<void(ui::ApplicationDelegate&)>& callback) {
  if (!callback) return;
  interceptors().forEachLive(
      [&](ui::ApplicationDelegate& interceptor) {
        if (interceptor.respondsToSelector(selector)) callback(interceptor);
      },
      [](const std::string& identifier) {
        ZULLoggerLogWarning(kService, false, code(1010),
                            "AppDelegateProxy cannot find interceptor with ID %@. Removing the interceptor.",
                            identifier);
      });
}

std::string ZULAppDelegateSwizzler::correctAppDelegateProxyKey() {
  return coreIsPresent() ? kCoreProxyKey : kUtilitiesProxyKey;
}

std::string ZULAppDelegateSwizzler::correctAlternativeWhenAppDelegateProxyNotCreated() {
  return coreIsPresent() ? "To log deep link campaigns manually, call the methods in VOZIzizuzove+AppDelegate.h." : "";
}

void ZULAppDelegateSwizzlerResetForTesting() {
  ZULAppDelegateSwizzler::clearInterceptors();
  ZULAppDelegateSwizzler::resetProxyOriginalDelegateOnceToken();
  stopObservingApplication();
  state().originalDelegate.reset();
  state().forwarder.reset();
}
