// Where a finished session-start event goes: logged with a completion that
// gets nothing on success, or the error.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "Libraries/EventTransport/Sessions/SessionStartEvent.h"
#include "Platform/Foundation/Error.h"

class EventVOVLoggerProtocol {
 public:
  using Completion = std::function<void(std::optional<ns::Error> error)>;

  virtual ~EventVOVLoggerProtocol() = default;
  virtual void logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion completion) = 0;
};
