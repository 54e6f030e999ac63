// LKLogFileFormatterDefault: the file logger's line: the record's time, two
// spaces and its message, "yyyy/MM/dd HH:mm:ss:SSS  <message>" in UTC unless
// a date formatter of the caller's is given.
#pragma once

#include <memory>

#include "Libraries/Logging/LKLogFormatter.h"
#include "Platform/Foundation/DateFormatter.h"

class LKLogFileFormatterDefault : public LKLogFormatter {
 public:
  // Null: the standard UTC formatter above.
  explicit LKLogFileFormatterDefault(std::shared_ptr<ns::DateFormatter> dateFormatter = nullptr);

  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override;

  // The standard time text of `date`, as the standard formatter writes it.
  static std::string standardTimeText(ns::Date date);

 private:
  std::shared_ptr<ns::DateFormatter> dateFormatter_;
  bool standard_;
};
