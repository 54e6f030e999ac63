#include "Libraries/Measurement/Reporters/MSREClient.h"

#include "Libraries/Measurement/Reporters/MSREManager.h"

MSREClient::MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags)
    : MSREClient(std::move(property), std::move(defaultFlags), {}) {}

MSREClient::MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags,
                       std::weak_ptr<MSREManager> manager)
    : property_(std::move(property)), defaultFlags_(std::move(defaultFlags)), manager_(std::move(manager)) {}

bool MSREClient::activateLatestSnapshot(ns::Error* error) {
  auto manager = manager_.lock();
  // Without a manager no snapshot was ever fetched: the defaults stay.
  if (!manager) return true;
  return manager->activateSnapshotOfSDK(property_->name(), error);
}

std::optional<ns::Value> MSREClient::objectForKeyedSubscript(const std::string& flagName) const {
  return valueForFlag(flagName);
}

std::optional<ns::Value> MSREClient::valueForFlag(const std::string& flagName) const {
  if (flagName.empty()) {
    MSREManager::monitor()->logWithLevel(0, 830002, "Cannot get value for empty flag name");
    return std::nullopt;
  }
  if (auto manager = manager_.lock()) return manager->flagValueForFlagName(ns::Value(flagName), ns::Value(SDKName()));
  const ns::Value* value = defaultFlags_.find(flagName);
  if (!value) return std::nullopt;
  return *value;
}

bool MSREClient::hasStaleSnapshot() const {
  auto manager = manager_.lock();
  return manager && manager->activatedSnapshotStatusOfSDKName(SDKName()) == MSRESnapshotStatusStale;
}

void MSREClient::resetToDefaults() {
  if (auto manager = manager_.lock()) manager->resetToDefaultsOfSDKName(SDKName());
}

std::shared_ptr<MSREExperimentObserverDelegate> MSREClient::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void MSREClient::setDelegate(std::weak_ptr<MSREExperimentObserverDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}
