// One source of the sessions settings. Each answer is absent when the
// source has no value of its own, so that the next source is asked
// (SessionsSettings.h: local overrides, then remote settings, then the
// defaults).
#pragma once

#include <optional>

class SettingsProvider {
 public:
  virtual ~SettingsProvider() = default;

  virtual std::optional<bool> sessionsEnabled() const = 0;
  virtual std::optional<double> samplingRate() const = 0;
  // Seconds in the background after which an activation starts a session.
  virtual std::optional<double> sessionTimeout() const = 0;
};

// The fixed values when no other source has one: sessions on, every
// process sampled in, a new session after 30 minutes in the background.
class SDKDefaultSettings : public SettingsProvider {
 public:
  std::optional<bool> sessionsEnabled() const override { return true; }
  std::optional<double> samplingRate() const override { return 1.0; }
  std::optional<double> sessionTimeout() const override { return 30 * 60.0; }
};
