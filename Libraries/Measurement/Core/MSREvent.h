// One event of the measurement engine: who logged it (its origin), its
// name, when it happened, when the previous event of that name happened
// (0 when none) and its parameters. The origin also travels among the
// parameters as the string parameter "_o", which is how it survives the
// event's upload message.
//
//   auto event = MSREvent::initWithOrigin("app", true, "purchase", now, 0, {{"value", MSRValue::initWithInt64(3)}});
//   std::shared_ptr<MSRPBEvent> message = event->protoEvent();
//   auto back = MSREvent::initWithEventProto(*message);   // the same event
//
// Today an event needs a non-empty origin and name; the rules of valid
// names and parameters come with the engine's validator behind the same
// initialiser. Events are changed only on the measurement worker queue.
#pragma once

#include <memory>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSREvent {
 public:
  // Null for an empty origin or name. The parameters are kept with "_o"
  // set to the origin (replacing a given "_o"). A previous timestamp after
  // the timestamp logs 16002 (level 5) and is kept.
  static std::shared_ptr<MSREvent> initWithOrigin(const std::string& origin, bool isPublic, const std::string& name,
                                                  double timestamp, double previousTimestamp,
                                                  const MSRValueMap& parameters);
  // The event of an upload message: the name, the timestamps (milliseconds
  // to seconds) and the parameters, "_o" giving the origin. Null when "_o"
  // is missing (or is not a string: 15001). A parameter without a name
  // (15000) or without a string, integer or double value (an array one
  // among them, 15002) is left out.
  static std::shared_ptr<MSREvent> initWithEventProto(const MSRPBEvent& message);

  const std::string& origin() const { return origin_; }
  const std::string& name() const { return name_; }
  double timestamp() const { return timestamp_; }
  double previousTimestamp() const { return previousTimestamp_; }
  const MSRValueMap& parameters() const { return parameters_; }

  // The upload message: the name, the timestamps in milliseconds (each
  // only when above zero), and one parameter per entry in name order
  // holding its one value; an array parameter holds one nameless parameter
  // per item, whose own parameters are the item's entries. An array within
  // an item is left out (16007).
  std::shared_ptr<MSRPBEvent> protoEvent() const;

 private:
  MSREvent() = default;

  std::string origin_;
  std::string name_;
  double timestamp_ = 0;
  double previousTimestamp_ = 0;
  MSRValueMap parameters_;
};
