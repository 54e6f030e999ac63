#include "Libraries/Measurement/Reporters/MSREClient.h"

MSREClient::MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags)
    : property_(std::move(property)), defaultFlags_(std::move(defaultFlags)) {}

bool MSREClient::activateLatestSnapshot(ns::Error* error) {
  (void)error;
  // No snapshot was ever fetched, so the defaults stay active.
  return true;
}

std::optional<ns::Value> MSREClient::objectForKeyedSubscript(const std::string& flagName) const {
  const ns::Value* value = defaultFlags_.find(flagName);
  if (!value) return std::nullopt;
  return *value;
}

std::shared_ptr<MSREExperimentObserverDelegate> MSREClient::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void MSREClient::setDelegate(std::weak_ptr<MSREExperimentObserverDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}
