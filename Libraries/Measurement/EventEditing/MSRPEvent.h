// An event as the editing programs see it: a name, a timestamp (in the
// measurement event's own unit, never converted here) and parameters from
// names to strings or numbers. A plain value: copying it copies the
// parameters.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRPEvent {
 public:
  // An empty name, timestamp 0, no parameters.
  MSRPEvent() = default;
  MSRPEvent(std::string name, double timestamp, ns::Dictionary parameters);

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  double timestamp() const { return timestamp_; }
  void setTimestamp(double timestamp) { timestamp_ = timestamp; }
  const ns::Dictionary& parameters() const { return parameters_; }

  // The value, or null.
  const ns::Value* parameterForName(const std::string& name) const { return parameters_.find(name); }
  bool hasParameterName(const std::string& name) const { return parameters_.contains(name); }
  // Absent removes the parameter; a value is stored as
  // MSRPCoerceParameterValue makes it over the current one, so that a
  // parameter keeps its numeric type.
  void setParameter(const std::optional<ns::Value>& value, const std::string& name);

  // The same timestamp (within the double epsilon), the same name, and the
  // same parameter names with equal values, where a floating-point number
  // equals only a floating-point number. Both events' names count: an edit
  // that only removes a parameter is an edit, so a redaction is stored.
  bool isEqualToEvent(const MSRPEvent& other) const;

 private:
  std::string name_;
  double timestamp_ = 0;
  ns::Dictionary parameters_;
};
