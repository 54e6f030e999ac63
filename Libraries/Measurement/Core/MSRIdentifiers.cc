#include "Libraries/Measurement/Core/MSRIdentifiers.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"

std::shared_ptr<MSRIdentifiers> MSRIdentifiers::sharedInstance() {
  static const std::shared_ptr<MSRIdentifiers> instance = std::make_shared<MSRIdentifiers>();
  return instance;
}

std::string MSRIdentifiers::origin() const {
  std::lock_guard lock(mutex_);
  return origin_;
}

void MSRIdentifiers::setOrigin(const std::string& origin) {
  if (origin.empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 37004,
                                            "Cannot set the data collection origin. Origin cannot be empty");
    return;
  }
  std::lock_guard lock(mutex_);
  origin_ = origin;
}
