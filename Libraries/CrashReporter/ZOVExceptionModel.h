// A recorded exception: name, reason and stack frames, built from a caught
// exception at a failure site.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"

class ZOVExceptionModel {
 public:
  struct Frame {
    uintptr_t address = 0;
    std::string symbol;
  };

  ZOVExceptionModel(std::string name, std::string reason, std::vector<Frame> stackTrace = {})
      : name_(std::move(name)), reason_(std::move(reason)), stackTrace_(std::move(stackTrace)) {}

  static ZOVExceptionModel exceptionModelWithException(const ns::Exception& exception);

  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const std::vector<Frame>& stackTrace() const { return stackTrace_; }

 private:
  std::string name_;
  std::string reason_;
  std::vector<Frame> stackTrace_;
};
