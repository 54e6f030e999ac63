// Measurement sessions: whether the current session has expired and its
// extension by background activity. The engine makes one over its
// persisted configuration and asks it on the worker queue.
//
// Today a session never expires and extending it only says so, so events
// never end a session; the reporter's timers and events come later.
#pragma once

#include <memory>

class MSRPersistedConfig;

class MSRSessionReporter {
 public:
  static std::shared_ptr<MSRSessionReporter> initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig);
  virtual ~MSRSessionReporter() = default;

  // Whether the time since the last session activity exceeds the session
  // time-out. NO for now.
  virtual bool isSessionExpired() const;
  // Moves the last activity to now unless the session has expired; whether
  // it did.
  virtual bool extendSession();

  const std::shared_ptr<MSRPersistedConfig>& persistedConfig() const { return persistedConfig_; }

 protected:
  explicit MSRSessionReporter(std::shared_ptr<MSRPersistedConfig> persistedConfig)
      : persistedConfig_(std::move(persistedConfig)) {}

 private:
  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
};
