#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"

int64_t MSRESDKProperty::version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void MSRESDKProperty::setVersion(int64_t version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

std::shared_ptr<MSRESDKPropertyProviderDelegate> MSRESDKProperty::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void MSRESDKProperty::setDelegate(std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}
