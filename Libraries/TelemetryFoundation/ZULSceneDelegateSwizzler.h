// ZULSceneDelegateSwizzler: does for scene delegates what
// ZULAppDelegateSwizzler does for the application's delegate, for one
// call, openURLContexts ("scene:openURLContexts:").
//
// Once started (proxyOriginalSceneDelegate), every scene the application
// connects gets a forwarder (ZULSceneDelegateForwarder) in its slot for its
// delegate object, named "ZUL_<the delegate's class>-<UUID>", a new one for
// each delegate. The forwarder offers the URLs to every registered scene
// interceptor that responds to the call, then runs the delegate's own
// implementation when it has one. A delegate whose class name begins with
// "ZUL_", or one already forwarded, is left alone.
//
// The application proxy's Info.plist switches govern this one too; inside
// an application extension nothing starts. Lines go to the utilities
// logger under "[ZororiUtilities/SceneDelegateSwizzler]". Scenes and their
// calls on the main thread; registering from any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/UIKit/Scene.h"

class ZULSceneDelegateSwizzler {
 public:
  ZULSceneDelegateSwizzler() = delete;

  static bool isSceneDelegateProxyEnabled();
  // Once per process, when enabled: follows the scenes connecting.
  static void proxyOriginalSceneDelegate();

  // The identifier of the registered interceptor; "" with error 1100 for
  // null. Registering one object again keeps one entry.
  static std::string registerSceneDelegateInterceptor(const std::shared_ptr<ui::SceneDelegate>& interceptor);
  // Error 1103 for "", error 1104 when no live interceptor is registered
  // under `identifier`.
  static void unregisterSceneDelegateInterceptorWithID(const std::string& identifier);
  static void clearInterceptors();

  // Gives the scene's delegate a forwarder unless it has one.
  static void proxySceneDelegateIfNeeded(ui::Scene& scene);
  // The forwarder's side: openURLContexts to each live interceptor that
  // responds to it, pruning freed ones (warning 1110).
  static void notifyInterceptorsOpenURLContexts(ui::Scene& scene, const std::vector<ui::OpenURLContext>& contexts);
};

// What stands in a proxied scene's forwarder slot.
class ZULSceneDelegateForwarder : public ui::SceneDelegate {
 public:
  explicit ZULSceneDelegateForwarder(const std::shared_ptr<ui::SceneDelegate>& delegate);

  const std::string& name() const { return name_; }
  const std::string& realClassName() const { return realClassName_; }
  // Whether the delegate has its own openURLContexts.
  bool hasRealImplementation() const { return hasRealImplementation_; }

  bool respondsToSelector(std::string_view selector) const override;
  void openURLContexts(ui::Scene& scene, const std::vector<ui::OpenURLContext>& contexts) override;

 private:
  std::string name_;
  std::string realClassName_;
  bool hasRealImplementation_ = false;
  std::weak_ptr<ui::SceneDelegate> delegate_;
};
