// LKLogger: what the logging core calls on a logger. Every call comes on the
// logger's own queue.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "Libraries/Logging/LKLogFormatter.h"
#include "Libraries/Logging/LKLogMessage.h"

namespace dispatch {
class Queue;
}

class LKLogger {
 public:
  virtual ~LKLogger() = default;

  // One record. Must not throw.
  virtual void logMessage(const LKLogMessage& message) = 0;
  // Records that came together, in order; by default one logMessage each.
  // A logger that writes somewhere costly overrides it to write them in one
  // go. Must not throw.
  virtual void logMessages(std::span<const LKLogMessage* const> messages) {
    for (const LKLogMessage* message : messages) logMessage(*message);
  }
  virtual std::shared_ptr<LKLogFormatter> logFormatter() = 0;
  virtual void setLogFormatter(std::shared_ptr<LKLogFormatter> formatter) = 0;

  // Optional parts; the defaults do nothing.
  // After registration, on the logger's queue. The queue form by default
  // forwards to the plain one.
  virtual void didAddLogger() {}
  virtual void didAddLoggerInQueue(const std::shared_ptr<dispatch::Queue>& queue) {
    (void)queue;
    didAddLogger();
  }
  // Before removal, on the logger's queue.
  virtual void willRemoveLogger() {}
  // Make everything written durable; the core waits for it. Must not throw.
  virtual void flush() {}
  // The queue to be called on; null lets the core make one.
  virtual std::shared_ptr<dispatch::Queue> loggerQueue() { return nullptr; }
  // The label of a queue the core makes; empty for none.
  virtual std::string loggerName() { return {}; }
};
