#include "Libraries/EventTransport/Sessions/SessionInitiator.h"

#include <utility>

#include "Platform/Foundation/Clock.h"

SessionInitiator::SessionInitiator(std::shared_ptr<SettingsProtocol> settings, Clock currentTime)
    : settings_(std::move(settings)), currentTime_(currentTime ? std::move(currentTime) : Clock(ns::Clock::now)) {}

void SessionInitiator::setInitiateSessionStart(std::function<void()> initiateSessionStart) {
  std::lock_guard lock(mutex_);
  initiateSessionStart_ = std::move(initiateSessionStart);
}

void SessionInitiator::initiateSessionStart() {
  std::function<void()> start;
  {
    std::lock_guard lock(mutex_);
    start = initiateSessionStart_;
  }
  if (start) start();
}

void SessionInitiator::appBackgrounded() {
  ns::Date now = currentTime_();
  std::lock_guard lock(mutex_);
  backgroundTime_ = now;
}

void SessionInitiator::appForegrounded() {
  ns::Date now = currentTime_();
  ns::Date backgroundTime;
  {
    std::lock_guard lock(mutex_);
    backgroundTime = backgroundTime_;
  }
  if (now.timeIntervalSince(backgroundTime) > settings_->sessionTimeout()) initiateSessionStart();
}
