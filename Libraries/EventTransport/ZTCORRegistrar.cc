#include "Libraries/EventTransport/ZTCORRegistrar.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"

std::shared_ptr<ZTCORRegistrar> ZTCORRegistrar::sharedInstance() {
  static const auto registrar = std::make_shared<ZTCORRegistrar>();
  return registrar;
}

ZTCORRegistrar::ZTCORRegistrar() : registrarQueue_(dispatch::Queue::serial("com.zorori.ZTCORRegistrar")) {}

void ZTCORRegistrar::registerUploader(std::shared_ptr<ZTCORUploader> uploader, ZTCORUploadTargetID target) {
  registrarQueue_->async([self = shared_from_this(), uploader, target] {
    ZTCORLogDebug("Registered an uploader: %p for target:%ld", uploader.get(), static_cast<long>(target));
    self->targetToUploader_[target] = uploader;
  });
}

void ZTCORRegistrar::removeUploadersForTesting() {
  registrarQueue_->sync([this] { targetToUploader_.clear(); });
}

void ZTCORRegistrar::registerStorage(std::shared_ptr<ZTCORStorageProtocol> storage, ZTCORUploadTargetID target) {
  registrarQueue_->async([self = shared_from_this(), storage, target] {
    ZTCORLogDebug("Registered storage: %p for target:%ld", storage.get(), static_cast<long>(target));
    self->targetToStorage_[target] = storage;
    self->connectDelegateForTarget(target);
  });
}

void ZTCORRegistrar::registerMetricsController(std::shared_ptr<ZTCORMetricsControllerProtocol> controller,
                                               ZTCORUploadTargetID target) {
  registrarQueue_->async([self = shared_from_this(), controller, target] {
    ZTCORLogDebug("Registered metrics controller: %p for target:%ld", controller.get(), static_cast<long>(target));
    self->targetToMetricsController_[target] = controller;
    self->connectDelegateForTarget(target);
  });
}

void ZTCORRegistrar::connectDelegateForTarget(ZTCORUploadTargetID target) {
  auto storage = targetToStorage_.find(target);
  if (storage == targetToStorage_.end() || !storage->second) return;
  auto controller = targetToMetricsController_.find(target);
  std::shared_ptr<ZTCORStorageDelegate> delegate;
  if (controller != targetToMetricsController_.end()) delegate = controller->second;
  storage->second->setDelegate(delegate);
}

std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORUploader>> ZTCORRegistrar::targetToUploader() const {
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORUploader>> copy;
  registrarQueue_->sync([&] { copy = targetToUploader_; });
  return copy;
}

std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORStorageProtocol>> ZTCORRegistrar::targetToStorage() const {
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORStorageProtocol>> copy;
  registrarQueue_->sync([&] { copy = targetToStorage_; });
  return copy;
}

std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORMetricsControllerProtocol>>
ZTCORRegistrar::targetToMetricsController() const {
  std::map<ZTCORUploadTargetID, std::shared_ptr<ZTCORMetricsControllerProtocol>> copy;
  registrarQueue_->sync([&] { copy = targetToMetricsController_; });
  return copy;
}

void ZTCORRegistrar::forEachComponent(const std::function<void(ZTCORLifecycleProtocol&)>& call) {
  auto uploaders = targetToUploader();
  auto storages = targetToStorage();
  for (const auto& [target, uploader] : uploaders) {
    if (uploader) call(*uploader);
  }
  for (const auto& [target, storage] : storages) {
    if (storage) call(*storage);
  }
}

void ZTCORRegistrar::appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& application) {
  forEachComponent([&](ZTCORLifecycleProtocol& component) { component.appWillBackground(application); });
}

void ZTCORRegistrar::appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>& application) {
  forEachComponent([&](ZTCORLifecycleProtocol& component) { component.appWillForeground(application); });
}

void ZTCORRegistrar::appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& application) {
  forEachComponent([&](ZTCORLifecycleProtocol& component) { component.appWillTerminate(application); });
}

std::shared_ptr<ZTCORStoragePromiseProtocol> ZTCORRegistrarStorageForTarget(ZTCORUploadTargetID target) {
  ZTCORTransportStartUp();
  auto storages = ZTCORRegistrar::sharedInstance()->targetToStorage();
  auto found = storages.find(target);
  return found == storages.end() ? nullptr : std::dynamic_pointer_cast<ZTCORStoragePromiseProtocol>(found->second);
}

std::shared_ptr<ZTCORMetricsControllerProtocol> ZTCORRegistrarMetricsControllerForTarget(ZTCORUploadTargetID target) {
  ZTCORTransportStartUp();
  auto controllers = ZTCORRegistrar::sharedInstance()->targetToMetricsController();
  auto found = controllers.find(target);
  return found == controllers.end() ? nullptr : found->second;
}
