// The log sink of programs that writes into the measurement monitor with
// message code 24005. Program levels become monitor levels: 2 verbose (8),
// 3 debug (7), 4 information (6, notice); 5 warning and 6 error keep their
// silent and monitored meanings through the monitor's own levels (5 / 4 / 3
// and 2 / 1 / 0: silent, else monitored, else neither); any other level is
// a notice.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPLoggerDelegate.h"

class MSREvaluatorLogger final : public MSRPLoggerDelegate {
 public:
  void logWithLevel(int64_t level, const std::string& message, const std::vector<std::string>& context, bool silent,
                    bool monitored) override;

  static int64_t monitorLevel(int64_t level, bool silent, bool monitored);
};
