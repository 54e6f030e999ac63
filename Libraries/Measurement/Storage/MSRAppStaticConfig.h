// Settings an app may compile into the engine. Each is optional: a reader
// asks first whether the configuration answers it.
#pragma once

#include <memory>
#include <optional>

class MSRStaticConfig {
 public:
  virtual ~MSRStaticConfig() = default;
  // Whether screens are reported; none when the configuration does not say.
  virtual std::optional<bool> screenReportingEnabled() const { return std::nullopt; }
};

// The app's static configuration: it says nothing, so every reader keeps
// its own default.
class MSRAppStaticConfig : public MSRStaticConfig {
 public:
  static std::shared_ptr<MSRAppStaticConfig> sharedInstance();
};
