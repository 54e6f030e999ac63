#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"

#include "Libraries/Measurement/Core/MSRScheduler.h"

std::shared_ptr<MSRConditionalUserPropertyController> MSRConditionalUserPropertyController::sharedInstance() {
  static const auto instance = std::make_shared<MSRConditionalUserPropertyController>();
  return instance;
}

std::optional<std::vector<std::shared_ptr<MSREvent>>> MSRConditionalUserPropertyController::processEventOnWorkerQueue(
    const MSREvent&) {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("processEventOnWorkerQueue:");
  return std::vector<std::shared_ptr<MSREvent>>{};
}
