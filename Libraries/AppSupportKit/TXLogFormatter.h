// The kit's compact log line: each piece only when asked for, in this order:
//
//   "<HH:mm:ss.SSS> "   the record's time
//   "[<thread id>] "
//   "<function>,<line>: "
//   "<level mark> "     by the record's flag: error "🛑", warning "🔶",
//                       info "🔷", debug "◾️", verbose "◽️"; any other flag
//                       (a combination of bits too) has an empty mark,
//                       which leaves a single space
//   the message text.
//
// With nothing asked for the line is the bare message text. The launch uses
// thread and function only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/Logging/LKLogFormatter.h"

namespace ns {
class DateFormatter;
}

class TXLogFormatter : public LKLogFormatter {
 public:
  TXLogFormatter(bool includeTimestamp, bool includeThread, bool includeFunction, bool includeLevel);
  ~TXLogFormatter() override;

  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override;

  // The mark of one flag; empty for any other value.
  static std::string levelMark(uint64_t flag);

 private:
  std::unique_ptr<ns::DateFormatter> dateFormatter_;  // only with timestamps
  bool includeThread_;
  bool includeFunction_;
  bool includeLevel_;
};
