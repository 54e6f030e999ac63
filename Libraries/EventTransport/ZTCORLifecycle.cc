#include "Libraries/EventTransport/ZTCORLifecycle.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORTransformer.h"
#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"
#include "Platform/Foundation/NotificationCenter.h"

std::shared_ptr<ZTCORLifecycle> ZTCORLifecycle::sharedInstance() {
  static const auto lifecycle = std::make_shared<ZTCORLifecycle>();
  return lifecycle;
}

ZTCORLifecycle::ZTCORLifecycle()
    : ZTCORLifecycle({{"ZTCORTransformer", ZTCORTransformer::sharedInstance(), false, false, true},
                      {"ZTCORUploadCoordinator", ZTCORUploadCoordinator::sharedInstance()},
                      {"ZTCORRegistrar", ZTCORRegistrar::sharedInstance()}},
                     ZTCORApplication::sharedApplication()) {}

ZTCORLifecycle::ZTCORLifecycle(std::vector<Component> components,
                               std::shared_ptr<ZTCORApplicationProtocol> application)
    : components_(std::move(components)),
      application_(application ? std::move(application) : ZTCORApplication::sharedApplication()) {
  observe();
}

ZTCORLifecycle::~ZTCORLifecycle() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void ZTCORLifecycle::observe() {
  auto& center = ns::NotificationCenter::defaultCenter();
  center.addObserver(
      this, [this](const ns::Notification&) { appWillBackground(); }, kZTCORApplicationDidEnterBackgroundNotification,
      nullptr);
  center.addObserver(
      this, [this](const ns::Notification&) { appWillForeground(); }, kZTCORApplicationWillEnterForegroundNotification,
      nullptr);
  center.addObserver(
      this, [this](const ns::Notification&) { appWillTerminate(); }, kZTCORApplicationWillTerminateNotification,
      nullptr);
}

void ZTCORLifecycle::appWillBackground() {
  for (const auto& component : components_) {
    if (!component.background || !component.object) continue;
    ZTCORLogDebug("Signaling %@ that the app is backgrounding.", component.name);
    component.object->appWillBackground(application_);
  }
}

void ZTCORLifecycle::appWillForeground() {
  for (const auto& component : components_) {
    if (!component.foreground || !component.object) continue;
    ZTCORLogDebug("Signaling %@ that the app is foregrounding.", component.name);
    component.object->appWillForeground(application_);
  }
}

void ZTCORLifecycle::appWillTerminate() {
  for (const auto& component : components_) {
    if (!component.terminate || !component.object) continue;
    ZTCORLogDebug("Signaling %@ that the app is terminating.", component.name);
    component.object->appWillTerminate(application_);
  }
}
