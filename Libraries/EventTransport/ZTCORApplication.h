// The transport's view of the application: background tasks, whether the
// app runs in the background, and the lifecycle calls the transport's
// parts receive.
//
// ZTCORApplication turns the platform's application and scene
// notifications (on the default centre, delivered on the posting thread)
// into the transport's three notifications, and takes the platform
// application's background tasks; inside an app extension (a main bundle
// ending ".appex") it takes none (identifier 0).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Platform/Foundation/Notification.h"

namespace ui {
class Application;
}

// Posted and observed inside the process; no object, no user info.
inline constexpr const char* kZTCORApplicationDidEnterBackgroundNotification =
    "ZTCORApplicationDidEnterBackgroundNotification";
inline constexpr const char* kZTCORApplicationWillEnterForegroundNotification =
    "ZTCORApplicationWillEnterForegroundNotification";
inline constexpr const char* kZTCORApplicationWillTerminateNotification = "ZTCORApplicationWillTerminateNotification";

class ZTCORApplicationProtocol {
 public:
  virtual ~ZTCORApplicationProtocol() = default;
  // 0 means no task was begun.
  virtual uint64_t beginBackgroundTaskWithName(const std::string& name, std::function<void()> expirationHandler) = 0;
  // 0 is ignored.
  virtual void endBackgroundTask(uint64_t identifier) = 0;
  virtual bool isRunningInBackground() const = 0;
};

class ZTCORApplication : public ZTCORApplicationProtocol {
 public:
  // Made once; from then on it observes the platform's notifications.
  static std::shared_ptr<ZTCORApplication> sharedApplication();

  uint64_t beginBackgroundTaskWithName(const std::string& name, std::function<void()> expirationHandler) override;
  void endBackgroundTask(uint64_t identifier) override;
  bool isRunningInBackground() const override { return isRunningInBackground_; }
  void setIsRunningInBackground(bool value) { isRunningInBackground_ = value; }

  static bool isAppExtension();
  // The platform application whose background tasks are taken; null inside
  // an app extension.
  static ui::Application* sharedApplicationForBackgroundTask();

  // The platform notifications' handlers.
  void iOSApplicationDidEnterBackground(const ns::Notification& notification);
  void iOSApplicationWillEnterForeground(const ns::Notification& notification);
  void iOSApplicationWillTerminate(const ns::Notification& notification);

  ZTCORApplication();
  ~ZTCORApplication() override;
  ZTCORApplication(const ZTCORApplication&) = delete;
  ZTCORApplication& operator=(const ZTCORApplication&) = delete;

 private:
  std::atomic<bool> isRunningInBackground_ = false;
};

// What the transport's parts hear of the application's lifecycle; each
// operation is optional (the default does nothing).
class ZTCORLifecycleProtocol {
 public:
  virtual ~ZTCORLifecycleProtocol() = default;
  virtual void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>&) {}
  virtual void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>&) {}
  virtual void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>&) {}
};
