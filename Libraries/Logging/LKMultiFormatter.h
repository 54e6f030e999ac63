// LKMultiFormatter: a chain of formatters; each gets the record with the
// previous one's line as its message, and a dropped record stops the chain.
//
// The list is read concurrently and changed with barrier blocks on the
// formatter's queue ("logkit.multiformatter"), so loggers formatting at the
// same time never see a half-changed list; changes do not wait.
#pragma once

#include <memory>
#include <vector>

#include "Libraries/Logging/LKLogFormatter.h"
#include "Platform/Dispatch/Queue.h"

class LKMultiFormatter : public LKLogFormatter {
 public:
  LKMultiFormatter();

  void addFormatter(std::shared_ptr<LKLogFormatter> formatter);
  void removeFormatter(const std::shared_ptr<LKLogFormatter>& formatter);
  void removeAllFormatters();
  std::vector<std::shared_ptr<LKLogFormatter>> formatters();
  bool isFormattingWithFormatter(const std::shared_ptr<LKLogFormatter>& formatter);

  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override;
  static LKLogMessage logMessageForLine(const std::string& line, const LKLogMessage& original) {
    return original.withReplacedMessage(line);
  }

 private:
  std::shared_ptr<dispatch::Queue> queue_;
  // Shared with the queue's blocks, which may outlive a call.
  std::shared_ptr<std::vector<std::shared_ptr<LKLogFormatter>>> formatters_;
};
