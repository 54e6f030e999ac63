#include "Libraries/Measurement/Reporters/MSREManager.h"

std::shared_ptr<MSREClient> MSREManager::registerSDKProperty(std::shared_ptr<MSRESDKProperty> property,
                                                             const ns::Dictionary& defaultFlags) {
  if (!property) return nullptr;
  return std::make_shared<MSREClient>(std::move(property), defaultFlags);
}

std::vector<int64_t> MSREManager::experimentIDs() const { return {}; }

void MSREManager::reset() {}
