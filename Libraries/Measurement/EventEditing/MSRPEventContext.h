// The state of one event while the callbacks run: the event as handed in,
// the event being edited (which the callbacks' functions read and write),
// and the events the program created. The engine resets it at the start
// of every event, so between events it describes the last one.
#pragma once

#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPEvent.h"

class MSRPEventContext {
 public:
  // Input and output an empty event, nothing logged.
  MSRPEventContext() = default;
  // Input the event, output a copy of it, nothing logged.
  explicit MSRPEventContext(const MSRPEvent& event) : inputEvent_(event), outputEvent_(event) {}

  const MSRPEvent& inputEvent() const { return inputEvent_; }
  // Input the event, output a new copy of it, the logged events cleared.
  void setInputEvent(const MSRPEvent& event);
  const MSRPEvent& outputEvent() const { return outputEvent_; }
  MSRPEvent& outputEvent() { return outputEvent_; }
  void setOutputEvent(MSRPEvent event) { outputEvent_ = std::move(event); }
  const std::vector<MSRPEvent>& eventsToLog() const { return loggedEvents_; }

  // Appends a created event; each parameter is stored as
  // MSRPCoerceParameterValue makes it over the input event's value of the
  // same name.
  void logEventWithName(const std::string& name, double timestamp, const ns::Dictionary& parameters);

 private:
  MSRPEvent inputEvent_;
  MSRPEvent outputEvent_;
  std::vector<MSRPEvent> loggedEvents_;
};
