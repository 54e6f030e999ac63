// LKLogFormatter: turns a record into the line a logger writes, or drops it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/Logging/LKLogMessage.h"

namespace dispatch {
class Queue;
}
class LKLogger;

class LKLogFormatter {
 public:
  virtual ~LKLogFormatter() = default;

  // The line for `message`, or none to drop the record.
  virtual std::optional<std::string> formatLogMessage(const LKLogMessage& message) = 0;

  // Told when a logger starts or stops using this formatter. The queue form
  // by default forwards to the plain one.
  virtual void didAddToLogger(LKLogger& logger) { (void)logger; }
  virtual void didAddToLoggerInQueue(LKLogger& logger, const std::shared_ptr<dispatch::Queue>& queue) {
    (void)queue;
    didAddToLogger(logger);
  }
  virtual void willRemoveFromLogger(LKLogger& logger) { (void)logger; }
};
