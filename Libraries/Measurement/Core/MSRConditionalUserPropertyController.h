// Conditional user properties: properties another library asks the engine
// to set once an event of a given name is logged. The engine hands the
// controller every event it is about to write and logs the events the
// controller answers (triggered properties).
//
// Today no property waits, so no event triggers anything.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Libraries/Measurement/Core/MSREvent.h"

class MSRConditionalUserPropertyController {
 public:
  static std::shared_ptr<MSRConditionalUserPropertyController> sharedInstance();
  virtual ~MSRConditionalUserPropertyController() = default;

  // On the worker queue: the events the event triggers, in order; none on a
  // failure. Empty for now.
  virtual std::optional<std::vector<std::shared_ptr<MSREvent>>> processEventOnWorkerQueue(const MSREvent& event);
};
