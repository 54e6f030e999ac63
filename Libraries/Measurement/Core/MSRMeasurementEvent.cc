// Event handling on the worker queue. Until the pipeline is built, events
// reach no storage: they are accepted and dropped.
#include "Libraries/Measurement/Core/MSRMeasurement.h"

void MSRMeasurement::handleInternalEventOnWorkerQueue(const std::shared_ptr<MSREvent>& event) {
  handleEventOnWorkerQueue(event);
}

void MSRMeasurement::handleEventOnWorkerQueue(const std::shared_ptr<MSREvent>&) {}
