// The log sink of programs that writes into the measurement monitor.
//
// Today it drops every line: the log functions' work maps the program's
// levels to the monitor's and forwards them (message code 24005).
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPLoggerDelegate.h"

class MSREvaluatorLogger final : public MSRPLoggerDelegate {
 public:
  void logWithLevel(int64_t level, const std::string& message, const std::vector<std::string>& context, bool silent,
                    bool monitored) override;
};
