// Carries a finished session-start event to the transport with the
// installation ID filled in. When the installations service fails, the
// event still goes, with an empty installation ID; the outcome is then
// SessionInstallationsError, but only once the transport has accepted the
// event (a transport failure is reported as DataTransportError instead).
#pragma once

#include <functional>
#include <memory>

#include "Libraries/EventTransport/Sessions/DozaveveSessionsError.h"
#include "Libraries/EventTransport/Sessions/EventVOVLoggerProtocol.h"
#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"

class SessionCoordinatorProtocol {
 public:
  using Completion = std::function<void(SessionStartResult result)>;

  virtual ~SessionCoordinatorProtocol() = default;
  virtual void sendSessionStart(const std::shared_ptr<SessionStartEvent>& event, Completion completion) = 0;
};

class SessionCoordinator : public SessionCoordinatorProtocol {
 public:
  SessionCoordinator(std::shared_ptr<InstallationsProtocol> installations,
                     std::shared_ptr<EventVOVLoggerProtocol> zovLogger);

  // The installation ID is asked for, written into the event and the event
  // logged on the installations service's queue; the completion runs on the
  // transport's. A success logs "Successfully logged Session Start event to
  // ZeziruRadoVirazaruv" at debug level first.
  void sendSessionStart(const std::shared_ptr<SessionStartEvent>& event, Completion completion) override;

 private:
  std::shared_ptr<InstallationsProtocol> installations_;
  std::shared_ptr<EventVOVLoggerProtocol> zovLogger_;
};
