// Decides when a new session starts: once at launch (the component calls
// the start action while it is made) and at each activation that follows a
// background period longer than the session timeout. The period is
// measured from the last time the app entered the background, which starts
// in the distant future: the first activation after launch never starts a
// session, and an activation without a background period in between
// measures from the same background time again.
//
//   SessionInitiator initiator(settings);
//   initiator.setInitiateSessionStart([&] { sessions.startNewSession(); });
//   // on did-enter-background: initiator.appBackgrounded();
//   // on did-become-active:    initiator.appForegrounded();
//
// Safe to call from any thread; the start action runs on the caller's.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Libraries/EventTransport/Sessions/SettingsProtocol.h"
#include "Platform/Foundation/Date.h"

class SessionInitiator {
 public:
  using Clock = std::function<ns::Date()>;

  // `currentTime` defaults to ns::Clock::now.
  explicit SessionInitiator(std::shared_ptr<SettingsProtocol> settings, Clock currentTime = nullptr);

  // Replaces the start action (at first one that does nothing).
  void setInitiateSessionStart(std::function<void()> initiateSessionStart);
  void initiateSessionStart();

  void appBackgrounded();
  // Starts a session when the time since the background moment is strictly
  // greater than the settings' session timeout.
  void appForegrounded();

 private:
  std::shared_ptr<SettingsProtocol> settings_;
  Clock currentTime_;
  std::mutex mutex_;
  ns::Date backgroundTime_ = ns::Date::distantFuture();
  std::function<void()> initiateSessionStart_;
};
