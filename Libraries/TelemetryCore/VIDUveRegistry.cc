// The registry of apps: look-ups, reset and deletion.
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/UserDefaults.h"

std::shared_ptr<VIDUve> VIDUve::defaultApp() {
  if (std::shared_ptr<VIDUve> app = VIDUveClassState::shared().defaultApp.load()) return app;
  ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000003",
                     "The default Dozaveve app has not yet been configured. Add `DozaveveApp.configure()` to your "
                     "application initialization. This can be done in in the App Delegate's "
                     "application(_:didFinishLaunchingWithOptions:)` (or the `@main` struct's initializer in "
                     "SwiftUI). Read more: %@.",
                     kVIDUveDocumentationLink);
  return nullptr;
}

bool VIDUve::isDefaultAppConfigured() { return VIDUveClassState::shared().defaultApp.load() != nullptr; }

std::shared_ptr<VIDUve> VIDUve::appNamed(const std::string& name) {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  if (state.apps) {
    auto found = state.apps->find(name);
    if (found != state.apps->end()) return found->second;
  }
  ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000004", "App with name %@ does not exist.", name);
  return nullptr;
}

std::optional<VIDUve::Apps> VIDUve::allApps() {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  if (!state.apps) ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000005", "No app has been configured yet.");
  return state.apps;
}

void VIDUve::resetApps() {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  state.defaultApp.store(nullptr);
  state.apps.reset();
  userAgent()->reset();
}

void VIDUve::deleteApp(const std::function<void(bool success)>& completion) {
  VIDUveClassState& state = VIDUveClassState::shared();
  bool deleted = false;
  {
    std::lock_guard lock(state.lock);
    if (state.apps && state.apps->count(name_)) {
      ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000006", "Deleting app named %@", name_);
      container_->removeAllComponents();
      container_->removeAllCachedInstances();
      state.apps->erase(name_);
      ns::UserDefaults::standardUserDefaults()->removeObjectForKey(dataCollectionDefaultsKey());
      if (name_ == kVIDUveDefaultAppName) state.defaultApp.store(nullptr);
      ns::Dictionary userInfo;
      userInfo.set(kVIDUveAppNameKey, ns::Value(name_));
      ns::NotificationCenter::defaultCenter().post(kVIDUveAppDeleteNotification, ns::unownedObject(classObject()),
                                                   std::move(userInfo));
      deleted = true;
    } else {
      ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000007", "App does not exist.");
    }
  }
  if (completion) completion(deleted);
}
