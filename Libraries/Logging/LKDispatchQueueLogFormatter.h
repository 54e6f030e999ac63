// LKDispatchQueueLogFormatter: "<time> [<queue or thread> (QOS:<code>)] <message>"
// with the time as "yyyy-MM-dd HH:mm:ss:SSS" in the device's time zone.
//
// The label is the record's queue label (unless it is a global queue's),
// else its thread name, else its thread identifier; queue labels and thread
// names may be replaced by shorter texts (the main queue's label by "main"
// from the start), and the label can be padded or cut to a length.
// Safe to share between loggers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Libraries/Logging/LKLogFormatter.h"
#include "Platform/Foundation/DateFormatter.h"

class LKDispatchQueueLogFormatter : public LKLogFormatter {
 public:
  enum class Mode { ShareableToMultipleLoggers, NonShareable };

  LKDispatchQueueLogFormatter();
  // The mode makes no difference.
  explicit LKDispatchQueueLogFormatter(Mode mode) : LKDispatchQueueLogFormatter() { (void)mode; }

  std::optional<std::string> replacementStringForQueueLabel(const std::string& label);
  // None removes the replacement.
  void setReplacementStringForQueueLabel(const std::optional<std::string>& replacement, const std::string& label);

  // 0: no padding / no cut. Set them before the formatter is in use.
  uint64_t minQueueLength() const { return minQueueLength_; }
  void setMinQueueLength(uint64_t length) { minQueueLength_ = length; }
  uint64_t maxQueueLength() const { return maxQueueLength_; }
  void setMaxQueueLength(uint64_t length) { maxQueueLength_ = length; }

  // Hooks for subclasses.
  virtual std::unique_ptr<ns::DateFormatter> createDateFormatter();
  virtual void configureDateFormatter(ns::DateFormatter& formatter);
  virtual std::string stringFromDate(ns::Date date);

  std::string queueThreadLabelForLogMessage(const LKLogMessage& message);
  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override;

  // The two-letter code of a quality-of-service class.
  static const char* qosCode(uint64_t qos);

 private:
  std::unique_ptr<ns::DateFormatter> dateFormatter_;
  std::once_flag dateFormatterOnce_;
  std::mutex mutex_;
  uint64_t minQueueLength_ = 0;
  uint64_t maxQueueLength_ = 0;
  std::map<std::string, std::string> replacements_;
};
