// One user property: who set it (its origin), its name, its value (a
// string, int64 or double) and when it was last set, in seconds since
// 1970. Internal properties have names beginning with "_".
//
// A property's name passes the internal user-property name rule and its
// value the internal value rule (1 to 36 characters for a string, 256 for
// "_id", "_gbraid" and "_psmvalue"; no arrays). Immutable.
#pragma once

#include <memory>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

class MSRUserAttribute {
 public:
  // Null when the name or the value breaks the rules.
  static std::shared_ptr<MSRUserAttribute> initWithOrigin(const std::string& origin, const std::string& name,
                                                          const MSRValue& value, double lastSetTimestamp);

  const std::string& origin() const { return origin_; }
  const std::string& name() const { return name_; }
  const MSRValue& value() const { return value_; }
  double lastSetTimestamp() const { return lastSetTimestamp_; }
  // A non-empty name that does not begin with "_".
  bool isPublic() const { return !name_.empty() && name_[0] != '_'; }

  // The upload message: the name, the set time in milliseconds (saturated)
  // and exactly one value field.
  std::shared_ptr<MSRPBUserAttribute> protoUserAttribute() const;

 private:
  MSRUserAttribute(std::string origin, std::string name, MSRValue value, double lastSetTimestamp)
      : origin_(std::move(origin)), name_(std::move(name)), value_(std::move(value)),
        lastSetTimestamp_(lastSetTimestamp) {}

  std::string origin_;
  std::string name_;
  MSRValue value_;
  double lastSetTimestamp_;
};
