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
// An event needs a valid origin and name, and its parameters pass the
// engine's validator (what it drops is recorded as "_err", "_ev", "_el").
// Events are changed only on the measurement worker queue.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Storage/MSRDataKind.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSRPEvent;

class MSREvent {
 public:
  // Null for an invalid origin (a forwarded one ends "+ztm") or name (a
  // public event's name also passes the public rule). The parameters are
  // cleaned by MSRValidatedEventParameters and kept with "_o" set to the
  // origin (replacing a given "_o"); a conversion or ad impression whose
  // "value" lacks a valid "currency" loses "value" and "_c". A previous
  // timestamp after the timestamp logs 16002 (level 5) and is kept.
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

  // The flags live among the parameters as int64 1: "_c", "_r", "_dbg".
  // Setting conversion runs the value/currency rule first and leaves "_c"
  // out when it fails; clearing it records "_err" 10 (unless an "_err" is
  // there). A non-int64 "_r" reads as NO and logs 16006.
  bool isConversion() const;
  void setConversion(bool conversion);
  bool isRealtime() const;
  void setRealtime(bool realtime);
  bool isDebug() const;
  void setDebug(bool debug);
  // A conversion, or an ad impression ("ad_impression" or "_ai").
  bool shouldValidateParams() const;

  // The screen the event happened on ("_si", "_sc", "_sn"), added only to
  // an event without any of them and only with an "_si": the id must be a
  // number, the class and name strings of 1 to 100 characters (an invalid
  // one logs 16003 or 16004 and adds nothing). Whether "_si" was added.
  bool addScreenParameters(const std::map<std::string, MSRValueCandidate>& screen);

  // Copies through the initialiser as internal events, so they may be null.
  std::shared_ptr<MSREvent> copyWithPreviousTimestamp(double previousTimestamp) const;
  std::shared_ptr<MSREvent> copyWithParameters(const MSRValueMap& parameters) const;
  std::shared_ptr<MSREvent> copy() const;

  // Default parameters under the event's own (which win on equal names),
  // after they pass the validator as public ones.
  void applyParameters(const MSRValueMap& defaults);

  // The event for the event-editing engine: public names, plain values.
  MSRPEvent editEvent() const;
  // An edited event back: internal name, origin from its "_o" ("app" when
  // none), parameters re-validated as internal ones; null when invalid.
  static std::shared_ptr<MSREvent> eventFromEditEvent(const MSRPEvent& edited);

  // The upload message: the name, the timestamps in milliseconds (each
  // only when above zero; saturated at the int64 range, NaN as 0), and one parameter per entry in name order
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
