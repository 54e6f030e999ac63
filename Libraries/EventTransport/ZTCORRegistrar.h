// The process-wide table of uploader, storage and metrics controller per
// target, and the lifecycle's way to every uploader and storage.
//
// Registrations run asynchronously on the serial queue
// "com.zorori.ZTCORRegistrar"; lookups are copies taken on that queue, so a
// caller never reads a table another thread is changing. A later
// registration for a target replaces the earlier one. After a storage or a
// metrics controller is registered for a target, that target's storage gets
// the target's metrics controller (or none) as its delegate.
#pragma once

#include <map>
#include <memory>

#include "Libraries/EventTransport/ZTCORUploader.h"
#include "Platform/Dispatch/Queue.h"

class ZTCORRegistrar : public ZTCORLifecycleProtocol, public std::enable_shared_from_this<ZTCORRegistrar> {
 public:
  static std::shared_ptr<ZTCORRegistrar> sharedInstance();

  ZTCORRegistrar();

  void registerUploader(std::shared_ptr<ZTCORUploader> uploader, ZTCORUploadTargetID target);
  void registerStorage(std::shared_ptr<ZTCORStorageProtocol> storage, ZTCORUploadTargetID target);
  void registerMetricsController(std::shared_ptr<ZTCORMetricsControllerProtocol> controller,
                                 ZTCORUploadTargetID target);

  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORUploader>> targetToUploader() const;
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORStorageProtocol>> targetToStorage() const;
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORMetricsControllerProtocol>> targetToMetricsController() const;

  const std::shared_ptr<dispatch::Queue>& registrarQueue() const { return registrarQueue_; }

  // For tests: forgets every uploader (returns once done), so that neither
  // the timer nor a forced upload reaches one.
  void removeUploadersForTesting();

  // Every registered uploader, then every registered storage; an object
  // registered for several targets is called once per registration.
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;
  void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;

 private:
  void connectDelegateForTarget(ZTCORUploadTargetID target);
  void forEachComponent(const std::function<void(ZTCORLifecycleProtocol&)>& call);

  std::shared_ptr<dispatch::Queue> registrarQueue_;
  // Changed and read only on registrarQueue_.
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORUploader>> targetToUploader_;
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORStorageProtocol>> targetToStorage_;
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORMetricsControllerProtocol>> targetToMetricsController_;
};

// The storage of the target when it offers promises, else null.
std::shared_ptr<ZTCORStoragePromiseProtocol> ZTCORRegistrarStorageForTarget(ZTCORUploadTargetID target);
std::shared_ptr<ZTCORMetricsControllerProtocol> ZTCORRegistrarMetricsControllerForTarget(ZTCORUploadTargetID target);
