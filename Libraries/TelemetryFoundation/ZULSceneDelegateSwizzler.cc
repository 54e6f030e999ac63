#include "Libraries/TelemetryFoundation/ZULSceneDelegateSwizzler.h"

#include <utility>

#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/TelemetryFoundation/ZULInterceptorRegistry.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULDelegateProxyTesting.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kService = "[ZororiUtilities/SceneDelegateSwizzler]";

std::string code(long number) { return ns::format("I-SWZ%06ld", number); }

ZULInterceptorRegistry<ui::SceneDelegate>& interceptors() {
  static auto* registry = new ZULInterceptorRegistry<ui::SceneDelegate>();
  return *registry;
}

// The one-time step and the observation it made.
struct ObservationState {
  bool started = false;
  ns::NotificationCenter::TokenPtr sceneConnections;
};

ObservationState& observation() {
  static ObservationState state;
  return state;
}

}  // namespace

ZULSceneDelegateForwarder::ZULSceneDelegateForwarder(const std::shared_ptr<ui::SceneDelegate>& delegate)
    : realClassName_(rt::classNameOf(*delegate)),
      hasRealImplementation_(delegate->respondsToSelector(ui::kSceneOpenURLContextsSelector)),
      delegate_(delegate) {
  name_ = ns::format("%@-%@", "ZUL_" + realClassName_, ns::Uuid::random().uuidString());
}

bool ZULSceneDelegateForwarder::respondsToSelector(std::string_view selector) const {
  return selector == ui::kSceneOpenURLContextsSelector;
}

void ZULSceneDelegateForwarder::openURLContexts(ui::Scene& scene, const std::vector<ui::OpenURLContext>& contexts) {
  auto delegate = delegate_.lock();
  ZULSceneDelegateSwizzler::notifyInterceptorsOpenURLContexts(scene, contexts);
  if (hasRealImplementation_ && delegate) delegate->openURLContexts(scene, contexts);
}

bool ZULSceneDelegateSwizzler::isSceneDelegateProxyEnabled() {
  return ZULAppDelegateSwizzler::isAppDelegateProxyEnabled();
}

void ZULSceneDelegateSwizzler::proxyOriginalSceneDelegate() {
  if (ZULAppEnvironmentUtil::isAppExtension()) return;
  ObservationState& state = observation();
  if (std::exchange(state.started, true) || !isSceneDelegateProxyEnabled()) return;
  state.sceneConnections = ns::NotificationCenter::defaultCenter().addObserver(
      ui::kSceneWillConnectNotification, nullptr, nullptr, [](const ns::Notification& notification) {
        // The notification's name says its object is a scene.
        if (auto scene = notification.objectAs<ui::Scene>()) proxySceneDelegateIfNeeded(*scene);
      });
}

void ZULSceneDelegateSwizzler::proxySceneDelegateIfNeeded(ui::Scene& scene) {
  std::shared_ptr<ui::SceneDelegate> delegate = scene.delegate();
  if (!delegate || scene.isDelegateForwarded()) return;
  std::string className = rt::classNameOf(*delegate);
  if (className.empty() || className.starts_with("ZUL_")) return;
  scene.setDelegateForwarder(std::make_shared<ZULSceneDelegateForwarder>(delegate));
  ZULLoggerLogDebug(kService, false, code(1114),
                    "Successfully created Scene Delegate Proxy automatically. To disable the proxy, set the flag %@ "
                    "to NO (Boolean) in the Info.plist",
                    ZULAppDelegateSwizzler::correctAppDelegateProxyKey());
}

std::string ZULSceneDelegateSwizzler::registerSceneDelegateInterceptor(
    const std::shared_ptr<ui::SceneDelegate>& interceptor) {
  if (!interceptor) {
    ZULLoggerLogError(kService, false, code(1100), "SceneDelegateProxy cannot add nil interceptor.");
    return {};
  }
  return interceptors().add(interceptor);
}

void ZULSceneDelegateSwizzler::unregisterSceneDelegateInterceptorWithID(const std::string& identifier) {
  if (identifier.empty()) {
    ZULLoggerLogError(kService, false, code(1103), "SceneDelegateProxy cannot unregister empty interceptor ID.");
    return;
  }
  if (!interceptors().removeLive(identifier)) {
    ZULLoggerLogError(kService, false, code(1104),
                      "SceneDelegateProxy cannot unregister interceptor that was not registered. Interceptor ID %@",
                      identifier);
  }
}

void ZULSceneDelegateSwizzler::clearInterceptors() { interceptors().clear(); }

void ZULSceneDelegateSwizzler::notifyInterceptorsOpenURLContexts(ui::Scene& scene,
                                                                 const std::vector<ui::OpenURLContext>& contexts) {
  interceptors().forEachLive(
      [&](ui::SceneDelegate& interceptor) {
        if (interceptor.respondsToSelector(ui::kSceneOpenURLContextsSelector))
          interceptor.openURLContexts(scene, contexts);
      },
      [](const std::string& identifier) {
        ZULLoggerLogWarning(kService, false, code(1110),
                            "SceneDelegateProxy cannot find interceptor with ID %@. Removing the interceptor.",
                            identifier);
      });
}

void ZULSceneDelegateSwizzlerResetForTesting() {
  ZULSceneDelegateSwizzler::clearInterceptors();
  ObservationState& state = observation();
  ns::NotificationCenter::defaultCenter().removeObserver(state.sceneConnections);
  state.sceneConnections.reset();
  state.started = false;
}
