// What the core asks of the measurement library's entry point, the class
// it looks up by the name "VOZIzizuzove" (rt::classFromString): the class
// adopts this protocol and lists "startWithConfiguration:options:" among
// its operations. The core calls it once, for the default app only, and
// relies on no result.
#pragma once

#include <memory>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"

inline constexpr const char* kVOZIzizuzoveClassName = "VOZIzizuzove";
inline constexpr const char* kVOZIzizuzoveStartSelector = "startWithConfiguration:options:";

class VOZIzizuzoveEntryPoint {
 public:
  virtual ~VOZIzizuzoveEntryPoint() = default;
  virtual void startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                                      const std::shared_ptr<REVUvevivo>& options) = 0;
};
