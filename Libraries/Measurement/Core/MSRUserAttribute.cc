#include "Libraries/Measurement/Core/MSRUserAttribute.h"

std::shared_ptr<MSRUserAttribute> MSRUserAttribute::initWithOrigin(const std::string& origin, const std::string& name,
                                                                   const MSRValue& value, double lastSetTimestamp) {
  if (name.empty() || value.isArray()) return nullptr;
  return std::shared_ptr<MSRUserAttribute>(new MSRUserAttribute(origin, name, value, lastSetTimestamp));
}
