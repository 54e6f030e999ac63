// The transport's view of the application: background tasks and whether
// the app runs in the background, and the lifecycle calls the transport's
// parts receive.
//
// Seam: today ZTCORApplication answers as a process without a platform
// application object (no background task is ever begun: identifier 0) and
// observes no notifications; the intake and lifecycle work gives it the
// platform's application and notifications behind this same interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
  static std::shared_ptr<ZTCORApplication> sharedApplication();

  uint64_t beginBackgroundTaskWithName(const std::string& name, std::function<void()> expirationHandler) override;
  void endBackgroundTask(uint64_t identifier) override;
  bool isRunningInBackground() const override { return isRunningInBackground_; }
  void setIsRunningInBackground(bool value) { isRunningInBackground_ = value; }

 private:
  bool isRunningInBackground_ = false;
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
