// The module "internal.logger": a function value over a log sink.
//
// Today it is the plain function of that name (calling it gives undefined);
// the log functions' work adds its "log", "silent" and "unmonitored".
#pragma once

#include <memory>

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPLoggerDelegate.h"

class MSRPMessageLogger final : public MSRPFunctionValue {
 public:
  explicit MSRPMessageLogger(std::shared_ptr<MSRPLoggerDelegate> logger);

  const std::shared_ptr<MSRPLoggerDelegate>& logger() const { return logger_; }

 private:
  std::shared_ptr<MSRPLoggerDelegate> logger_;
};
