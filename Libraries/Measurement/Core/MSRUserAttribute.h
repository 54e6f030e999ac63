// One user property: who set it (its origin), its name, its value (a
// string, int64 or double) and when it was last set, in seconds since
// 1970. Internal properties have names beginning with "_".
//
// Today a property needs a non-empty name and a value that is not an
// array; the engine's validator adds its name and value rules behind the
// same initialiser. Immutable.
#pragma once

#include <memory>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"

class MSRUserAttribute {
 public:
  // Null for an empty name or an array value.
  static std::shared_ptr<MSRUserAttribute> initWithOrigin(const std::string& origin, const std::string& name,
                                                          const MSRValue& value, double lastSetTimestamp);

  const std::string& origin() const { return origin_; }
  const std::string& name() const { return name_; }
  const MSRValue& value() const { return value_; }
  double lastSetTimestamp() const { return lastSetTimestamp_; }
  // A non-empty name that does not begin with "_".
  bool isPublic() const { return !name_.empty() && name_[0] != '_'; }

 private:
  MSRUserAttribute(std::string origin, std::string name, MSRValue value, double lastSetTimestamp)
      : origin_(std::move(origin)), name_(std::move(name)), value_(std::move(value)),
        lastSetTimestamp_(lastSetTimestamp) {}

  std::string origin_;
  std::string name_;
  MSRValue value_;
  double lastSetTimestamp_;
};
