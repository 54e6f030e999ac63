// A user property set only once its trigger event is logged within the
// trigger time-out, and cleared again after its time to live. Until then
// it waits inactive; the engine logs the stored timed-out, triggered or
// expired event when its life reaches that point. Times are seconds (since
// 1970 for the two timestamps).
//
// A plain record: every field is read and written as it stands. The engine
// changes one only on the measurement worker queue.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSRValue.h"

class MSRConditionalUserProperty {
 public:
  virtual ~MSRConditionalUserProperty() = default;
  // Every field, the events copied too.
  std::shared_ptr<MSRConditionalUserProperty> copy() const {
    auto made = std::make_shared<MSRConditionalUserProperty>(*this);
    if (triggeredEvent_) made->triggeredEvent_ = triggeredEvent_->copy();
    if (timedOutEvent_) made->timedOutEvent_ = timedOutEvent_->copy();
    if (expiredEvent_) made->expiredEvent_ = expiredEvent_->copy();
    return made;
  }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& origin() const { return origin_; }
  void setOrigin(std::string origin) { origin_ = std::move(origin); }
  const std::optional<MSRValue>& value() const { return value_; }
  void setValue(std::optional<MSRValue> value) { value_ = std::move(value); }

  double creationTimestamp() const { return creationTimestamp_; }
  void setCreationTimestamp(double timestamp) { creationTimestamp_ = timestamp; }
  double triggeredTimestamp() const { return triggeredTimestamp_; }
  void setTriggeredTimestamp(double timestamp) { triggeredTimestamp_ = timestamp; }
  double triggerTimeout() const { return triggerTimeout_; }
  void setTriggerTimeout(double seconds) { triggerTimeout_ = seconds; }
  double timeToLive() const { return timeToLive_; }
  void setTimeToLive(double seconds) { timeToLive_ = seconds; }
  bool isActive() const { return active_; }
  void setActive(bool active) { active_ = active; }

  // Empty when the property waits for no event.
  const std::string& triggerEventName() const { return triggerEventName_; }
  void setTriggerEventName(std::string name) { triggerEventName_ = std::move(name); }
  const std::shared_ptr<MSREvent>& triggeredEvent() const { return triggeredEvent_; }
  void setTriggeredEvent(std::shared_ptr<MSREvent> event) { triggeredEvent_ = std::move(event); }
  const std::shared_ptr<MSREvent>& timedOutEvent() const { return timedOutEvent_; }
  void setTimedOutEvent(std::shared_ptr<MSREvent> event) { timedOutEvent_ = std::move(event); }
  const std::shared_ptr<MSREvent>& expiredEvent() const { return expiredEvent_; }
  void setExpiredEvent(std::shared_ptr<MSREvent> event) { expiredEvent_ = std::move(event); }

 private:
  std::string name_;
  std::string origin_;
  std::optional<MSRValue> value_;
  double creationTimestamp_ = 0;
  double triggeredTimestamp_ = 0;
  double triggerTimeout_ = 0;
  double timeToLive_ = 0;
  bool active_ = false;
  std::string triggerEventName_;
  std::shared_ptr<MSREvent> triggeredEvent_;
  std::shared_ptr<MSREvent> timedOutEvent_;
  std::shared_ptr<MSREvent> expiredEvent_;
};

// The connector's name for the same record.
class ZOVAConditionalUserProperty : public MSRConditionalUserProperty {};
