#include "Platform/UIKit/Scene.h"

namespace ui {

void Scene::setDelegateForwarder(std::shared_ptr<SceneDelegate> forwarder) {
  forwarder_ = std::move(forwarder);
  forwardedDelegate_ = forwarder_ ? delegate_ : nullptr;
}

bool Scene::isDelegateForwarded() const {
  return forwarder_ && delegate_ && forwardedDelegate_.lock() == delegate_;
}

void Scene::openURLContexts(const std::vector<OpenURLContext>& contexts) {
  SceneDelegate* target = isDelegateForwarded() ? forwarder_.get() : delegate_.get();
  if (target) target->openURLContexts(*this, contexts);
}

}  // namespace ui
