#include "Libraries/EventTransport/ZTCORApplication.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Scene.h"

std::shared_ptr<ZTCORApplication> ZTCORApplication::sharedApplication() {
  static const auto application = [] {
    ZTCORLogDebug(
        "VOV is initializing. Please note that if you quit the app via the debugger and not through a lifecycle "
        "event, event data will remain on disk but storage won't have a reference to them since the singleton "
        "wasn't saved to disk.");
    return std::make_shared<ZTCORApplication>();
  }();
  return application;
}

ZTCORApplication::ZTCORApplication() {
  auto& center = ns::NotificationCenter::defaultCenter();
  auto background = [this](const ns::Notification& n) { iOSApplicationDidEnterBackground(n); };
  auto foreground = [this](const ns::Notification& n) { iOSApplicationWillEnterForeground(n); };
  center.addObserver(this, background, ui::kApplicationDidEnterBackgroundNotification, nullptr);
  center.addObserver(this, foreground, ui::kApplicationWillEnterForegroundNotification, nullptr);
  center.addObserver(
      this, [this](const ns::Notification& n) { iOSApplicationWillTerminate(n); },
      ui::kApplicationWillTerminateNotification, nullptr);
  center.addObserver(this, foreground, ui::kSceneWillEnterForegroundNotification, nullptr);
  center.addObserver(this, background, ui::kSceneWillDeactivateNotification, nullptr);
}

ZTCORApplication::~ZTCORApplication() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

bool ZTCORApplication::isAppExtension() {
  auto bundle = ns::Bundle::mainBundle();
  return bundle && ns::hasSuffix(bundle->bundlePath(), ".appex");
}

ui::Application* ZTCORApplication::sharedApplicationForBackgroundTask() {
  if (isAppExtension()) return nullptr;
  return &ui::Application::shared();
}

uint64_t ZTCORApplication::beginBackgroundTaskWithName(const std::string& name,
                                                       std::function<void()> expirationHandler) {
  ui::Application* application = sharedApplicationForBackgroundTask();
  if (!application) return 0;
  uint64_t identifier = application->beginBackgroundTask(name, std::move(expirationHandler));
  if (identifier != 0) {
    ZTCORLogDebug("Creating background task with name:%@ bgID:%ld", name, static_cast<long>(identifier));
  }
  return identifier;
}

void ZTCORApplication::endBackgroundTask(uint64_t identifier) {
  if (identifier == 0) return;
  ZTCORLogDebug("Ending background task with ID:%ld was successful", static_cast<long>(identifier));
  if (ui::Application* application = sharedApplicationForBackgroundTask()) application->endBackgroundTask(identifier);
}

void ZTCORApplication::iOSApplicationDidEnterBackground(const ns::Notification&) {
  isRunningInBackground_ = true;
  ZTCORLogDebug("ZTCORPlatform is sending a notif that the app is backgrounding.");
  ns::NotificationCenter::defaultCenter().post(kZTCORApplicationDidEnterBackgroundNotification);
}

void ZTCORApplication::iOSApplicationWillEnterForeground(const ns::Notification&) {
  isRunningInBackground_ = false;
  ZTCORLogDebug("ZTCORPlatform is sending a notif that the app is foregrounding.");
  ns::NotificationCenter::defaultCenter().post(kZTCORApplicationWillEnterForegroundNotification);
}

void ZTCORApplication::iOSApplicationWillTerminate(const ns::Notification&) {
  ZTCORLogDebug("ZTCORPlatform is sending a notif that the app is terminating.");
  ns::NotificationCenter::defaultCenter().post(kZTCORApplicationWillTerminateNotification);
}
