#include "Libraries/Measurement/Reporters/MSRAdExposureReporter.h"

const std::shared_ptr<MSRAdExposureReporter>& MSRAdExposureReporter::sharedInstance() {
  static const auto* instance = new std::shared_ptr<MSRAdExposureReporter>(std::make_shared<MSRAdExposureReporter>());
  return *instance;
}
