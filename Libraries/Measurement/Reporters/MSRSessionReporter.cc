#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"

std::shared_ptr<MSRSessionReporter> MSRSessionReporter::initWithPersistedConfig(
    std::shared_ptr<MSRPersistedConfig> persistedConfig) {
  return std::shared_ptr<MSRSessionReporter>(new MSRSessionReporter(std::move(persistedConfig)));
}

bool MSRSessionReporter::isSessionExpired() const { return false; }

bool MSRSessionReporter::extendSession() { return !isSessionExpired(); }
