// Conditional user properties: properties another library asks the engine
// to set once an event of a given name is logged within a trigger
// time-out, and to clear again after a time to live. They live in the
// database's "conditional_properties"; every change runs on the worker
// queue in one transaction. The engine hands the controller every event it
// is about to write: time-outs and expiries are settled first (their
// events written before it), then the properties it triggers become user
// properties, whose triggered events the engine writes after it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRConditionalUserProperty.h"
#include "Libraries/Measurement/Core/MSREvent.h"

class MSRConditionalUserPropertyController : public std::enable_shared_from_this<MSRConditionalUserPropertyController> {
 public:
  static std::shared_ptr<MSRConditionalUserPropertyController> sharedInstance();
  virtual ~MSRConditionalUserPropertyController() = default;

  // Any thread; return at once. An invalid property is dropped (11000 and
  // 11001 for time-outs and times to live outside 0.001 s ... 180 days).
  void setConditionalUserProperty(const std::shared_ptr<MSRConditionalUserProperty>& property,
                                  const std::string& name);
  void clearConditionalUserPropertyWithClearEvent(const std::shared_ptr<MSREvent>& clearEvent,
                                                  const std::string& name);
  // Any thread; blocks for at most 30 s; none after a time-out or error.
  std::optional<std::vector<std::shared_ptr<MSRConditionalUserProperty>>> conditionalUserPropertiesWithNamePrefix(
      const std::string& prefix, const std::string& origin);

  // On the worker queue: the events the event triggers, in order; none on a
  // failure.
  virtual std::optional<std::vector<std::shared_ptr<MSREvent>>> processEventOnWorkerQueue(const MSREvent& event);

  void setConditionalUserPropertyOnWorkerQueue(const std::shared_ptr<MSRConditionalUserProperty>& property);
  void removeConditionalUserPropertyOnWorkerQueue(const std::shared_ptr<MSRConditionalUserProperty>& property);
  bool removeTimedOutCUPWithTimedOutEvents(std::vector<std::shared_ptr<MSREvent>>* events);
  bool removeExpiredCUPWithExpiredEvents(std::vector<std::shared_ptr<MSREvent>>* events);
  std::optional<std::vector<std::shared_ptr<MSREvent>>> updateConditionalUserPropertiesWithEventNameOnWorkerQueue(
      const std::string& eventName);
};
