// A scene: one instance of the app's interface, with a delegate that hears
// the URLs handed to it. The application connects scenes
// (Application::connectScene), posting kSceneWillConnectNotification with
// the scene as the object.
//
// Like the application, a scene delivers the URLs through one forwarder
// slot: a forwarder set for the current delegate object stands in for it
// while that object is the delegate. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace ui {

class Scene;

inline constexpr const char* kSceneWillConnectNotification = "UISceneWillConnectNotification";
// Posted by the host as a scene comes to the front or leaves it.
inline constexpr const char* kSceneWillEnterForegroundNotification = "UISceneWillEnterForegroundNotification";
inline constexpr const char* kSceneWillDeactivateNotification = "UISceneWillDeactivateNotification";
inline constexpr const char* kSceneOpenURLContextsSelector = "scene:openURLContexts:";

// A URL handed to a scene, with the options it came with.
struct OpenURLContext {
  std::string url;
  std::string sourceApplication;
  bool openInPlace = false;
};

class SceneDelegate {
 public:
  virtual ~SceneDelegate() = default;
  // Whether this delegate implements the call named `selector`
  // (kSceneOpenURLContextsSelector), since a default body cannot say so.
  virtual bool respondsToSelector(std::string_view selector) const {
    (void)selector;
    return false;
  }
  virtual void openURLContexts(Scene&, const std::vector<OpenURLContext>& contexts) { (void)contexts; }
};

class Scene {
 public:
  explicit Scene(std::string identifier = {}) : identifier_(std::move(identifier)) {}

  const std::string& identifier() const { return identifier_; }
  std::shared_ptr<SceneDelegate> delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<SceneDelegate> delegate) { delegate_ = std::move(delegate); }

  // Null clears the slot.
  void setDelegateForwarder(std::shared_ptr<SceneDelegate> forwarder);
  std::shared_ptr<SceneDelegate> delegateForwarder() const { return forwarder_; }
  // Whether a forwarder stands in for the current delegate.
  bool isDelegateForwarded() const;

  // URLs handed to the scene from outside.
  void openURLContexts(const std::vector<OpenURLContext>& contexts);

 private:
  std::string identifier_;
  std::shared_ptr<SceneDelegate> delegate_;
  std::shared_ptr<SceneDelegate> forwarder_;
  std::weak_ptr<SceneDelegate> forwardedDelegate_;
};

}  // namespace ui
