#include "Libraries/AppSupportKit/TXLogFormatter.h"

#include "Platform/Foundation/DateFormatter.h"

TXLogFormatter::TXLogFormatter(bool includeTimestamp, bool includeThread, bool includeFunction, bool includeLevel)
    : includeThread_(includeThread), includeFunction_(includeFunction), includeLevel_(includeLevel) {
  if (includeTimestamp) {
    dateFormatter_ = std::make_unique<ns::DateFormatter>();
    dateFormatter_->setDateFormat("HH:mm:ss.SSS");
  }
}

TXLogFormatter::~TXLogFormatter() = default;

std::string TXLogFormatter::levelMark(uint64_t flag) {
  switch (flag) {
    case LKLogFlagError: return "\U0001F6D1";
    case LKLogFlagWarning: return "\U0001F536";
    case LKLogFlagInfo: return "\U0001F537";
    case LKLogFlagDebug: return "\u25FE\uFE0F";
    case LKLogFlagVerbose: return "\u25FD\uFE0F";
    default: return "";
  }
}

std::optional<std::string> TXLogFormatter::formatLogMessage(const LKLogMessage& message) {
  std::string line;
  if (dateFormatter_ && message.timestamp()) line += dateFormatter_->stringFromDate(*message.timestamp()) + " ";
  if (includeThread_) line += "[" + message.threadID() + "] ";
  if (includeFunction_)
    line += message.function().value_or("") + "," + std::to_string(message.line()) + ": ";
  if (includeLevel_) line += levelMark(message.flag()) + " ";
  return line + message.message();
}
