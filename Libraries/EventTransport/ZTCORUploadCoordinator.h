// The transport's clock for uploads: a repeating timer on its own queue
// that, while the app is in the foreground, offers every registered
// uploader its target under the current network conditions; a forced
// upload of one target (the store asks for it after an event of the fast
// tier); and, on return to the foreground, the stores' expiry sweep.
//
// The timer first fires 0.5 s after a start, then every 30 s. Entering the
// background stops it, coming back starts it again; a start while it runs
// does nothing. With no network no uploader is asked.
#pragma once

#include <memory>
#include <vector>

#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Libraries/EventTransport/ZTCORUploader.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/TimerSource.h"

class ZTCORRegistrar;

class ZTCORUploadCoordinator : public ZTCORLifecycleProtocol,
                               public std::enable_shared_from_this<ZTCORUploadCoordinator> {
 public:
  static constexpr uint64_t kTimerIntervalNanos = 30000000000ULL;
  static constexpr uint64_t kTimerLeewayNanos = 5000000000ULL;
  static constexpr uint64_t kFirstFireNanos = 500000000ULL;

  virtual ~ZTCORUploadCoordinator();
  // Made once, with its timer started.
  static std::shared_ptr<ZTCORUploadCoordinator> sharedInstance();

  // Stopped; the shared registrar and application.
  ZTCORUploadCoordinator();

  // Uploads the target now, with the high-priority condition.
  virtual void forceUploadForTarget(ZTCORUploadTargetID target);

  // Exactly one network bit: no network, else mobile data, else Wi-Fi.
  static ZTCORUploadConditions uploadConditions();
  // Asks each target's uploader, in order, unless the conditions say no network.
  void uploadTargets(const std::vector<ZTCORUploadTargetID>& targets, ZTCORUploadConditions conditions);
  void startTimer();
  // On the caller's thread: use the coordination queue.
  void stopTimer();
  // Each distinct store once.
  void signalToStoragesToCheckExpirations();
  std::shared_ptr<ZTCORStorageProtocol> storageForTarget(ZTCORUploadTargetID target);

  void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;

  const std::shared_ptr<dispatch::Queue>& coordinationQueue() const { return coordinationQueue_; }
  const std::shared_ptr<ZTCORRegistrar>& registrar() const { return registrar_; }
  void setRegistrar(std::shared_ptr<ZTCORRegistrar> registrar) { registrar_ = std::move(registrar); }
  // Whose isRunningInBackground the timer asks (the shared ZTCORApplication).
  void setApplication(std::shared_ptr<ZTCORApplicationProtocol> application) { application_ = std::move(application); }
  // For tests; read on the coordination queue.
  bool hasTimer() const { return timer_ != nullptr; }

 private:
  void timerFired();

  std::shared_ptr<dispatch::Queue> coordinationQueue_;
  std::shared_ptr<dispatch::TimerSource> timer_;  // only on coordinationQueue_
  std::shared_ptr<ZTCORRegistrar> registrar_;
  std::shared_ptr<ZTCORApplicationProtocol> application_;
};
