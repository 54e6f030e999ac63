// Prints session events for a developer who launched the app with
// "-ZOVSessionsDebugEvents": each logged event is decoded from its own bytes
// and written as one 29-line message at info level. Without the argument it
// does nothing. It never calls its completion.
#pragma once

#include <string>

#include "Libraries/EventTransport/Sessions/EventVOVLoggerProtocol.h"

inline constexpr const char* kDevEventConsoleLoggerArgument = "-ZOVSessionsDebugEvents";

class DevEventConsoleLogger : public EventVOVLoggerProtocol {
 public:
  explicit DevEventConsoleLogger(std::string commandLineArgument = kDevEventConsoleLoggerArgument);

  // Reads the launch arguments (ns::ProcessInfo) at each event.
  void logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion completion) override;

  // The message: strings as their text, "<NULL>" when absent, "<EMPTY>" when
  // empty; numbers in decimal; the rate in its shortest exact form with a
  // digit after the point ("1.0"); enumerations by their texts.
  std::string printEvent(const dozaveve_appvitals_sessions_SessionEvent& event) const;

  const std::string& commandLineArgument() const { return commandLineArgument_; }

 private:
  std::string commandLineArgument_;
};
