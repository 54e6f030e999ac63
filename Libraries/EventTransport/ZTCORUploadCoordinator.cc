#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"

#include <algorithm>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORReachability.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"

std::shared_ptr<ZTCORUploadCoordinator> ZTCORUploadCoordinator::sharedInstance() {
  static const auto coordinator = [] {
    auto made = std::make_shared<ZTCORUploadCoordinator>();
    made->startTimer();
    return made;
  }();
  return coordinator;
}

ZTCORUploadCoordinator::ZTCORUploadCoordinator()
    : coordinationQueue_(dispatch::Queue::serial("com.zorori.ZTCORUploadCoordinator")),
      registrar_(ZTCORRegistrar::sharedInstance()),
      application_(ZTCORApplication::sharedApplication()) {}

ZTCORUploadCoordinator::~ZTCORUploadCoordinator() {
  if (timer_) timer_->cancel();
}

void ZTCORUploadCoordinator::forceUploadForTarget(ZTCORUploadTargetID target) {
  auto self = shared_from_this();
  coordinationQueue_->async([self, target] {
    ZTCORLogDebug("Forcing an upload of target %ld", static_cast<long>(target));
    self->uploadTargets({target}, uploadConditions() | ZTCORUploadConditionHighPriority);
  });
}

ZTCORUploadConditions ZTCORUploadCoordinator::uploadConditions() {
  uint32_t flags = ZTCORReachability::currentFlags();
  if (!ZTCORReachabilityIsReachable(flags)) return ZTCORUploadConditionNoNetwork;
  if (ZTCORReachabilityIsCellular(flags)) return ZTCORUploadConditionMobileData;
  return ZTCORUploadConditionWifiData;
}

void ZTCORUploadCoordinator::uploadTargets(const std::vector<ZTCORUploadTargetID>& targets,
                                           ZTCORUploadConditions conditions) {
  auto self = shared_from_this();
  coordinationQueue_->async([self, targets, conditions] {
    if (conditions & ZTCORUploadConditionNoNetwork) return;
    auto uploaders = self->registrar_->targetToUploader();
    for (ZTCORUploadTargetID target : targets) {
      auto found = uploaders.find(static_cast<int32_t>(target));
      if (found != uploaders.end() && found->second) found->second->uploadTarget(static_cast<int32_t>(target), conditions);
    }
  });
}

void ZTCORUploadCoordinator::startTimer() {
  std::weak_ptr<ZTCORUploadCoordinator> weak = shared_from_this();
  coordinationQueue_->async([weak] {
    auto self = weak.lock();
    if (!self || self->timer_) return;
    self->timer_ = dispatch::TimerSource::create(self->coordinationQueue_);
    self->timer_->setTimer(dispatch::timeAfter(kFirstFireNanos), kTimerIntervalNanos, kTimerLeewayNanos);
    self->timer_->setEventHandler([weak] {
      if (auto coordinator = weak.lock()) coordinator->timerFired();
    });
    ZTCORLogDebug("%@", "Upload timer started");
    self->timer_->resume();
  });
}

void ZTCORUploadCoordinator::stopTimer() {
  if (!timer_) return;
  timer_->cancel();
  timer_.reset();
}

void ZTCORUploadCoordinator::timerFired() {
  if (application_ && application_->isRunningInBackground()) return;
  ZTCORUploadConditions conditions = uploadConditions();
  ZTCORLogDebug("%@", "Upload timer fired");
  std::vector<ZTCORUploadTargetID> targets;
  for (const auto& [target, uploader] : registrar_->targetToUploader()) targets.push_back(target);
  uploadTargets(targets, conditions);
}

void ZTCORUploadCoordinator::signalToStoragesToCheckExpirations() {
  std::vector<std::shared_ptr<ZTCORStorageProtocol>> distinct;
  for (const auto& [target, storage] : registrar_->targetToStorage()) {
    if (storage && std::find(distinct.begin(), distinct.end(), storage) == distinct.end()) distinct.push_back(storage);
  }
  for (const auto& storage : distinct) storage->checkForExpirations();
}

std::shared_ptr<ZTCORStorageProtocol> ZTCORUploadCoordinator::storageForTarget(ZTCORUploadTargetID target) {
  auto storages = registrar_->targetToStorage();
  auto found = storages.find(target);
  return found == storages.end() ? nullptr : found->second;
}

void ZTCORUploadCoordinator::appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>&) {
  startTimer();
  signalToStoragesToCheckExpirations();
}

void ZTCORUploadCoordinator::appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>&) {
  auto self = shared_from_this();
  coordinationQueue_->async([self] { self->stopTimer(); });
}

void ZTCORUploadCoordinator::appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>&) {
  auto self = shared_from_this();
  coordinationQueue_->sync([self] { self->stopTimer(); });
}
