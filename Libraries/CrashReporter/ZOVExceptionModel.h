// A recorded exception: name, reason and stack frames, built from a caught
// exception at a failure site (or by the notes code and the kit by hand).
#pragma once

#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVStackFrame.h"
#include "Platform/Foundation/Error.h"

class ZOVExceptionModel {
 public:
  ZOVExceptionModel(std::string name, std::string reason, std::vector<ZOVStackFrame> stackTrace = {})
      : name_(std::move(name)), reason_(std::move(reason)), stackTrace_(std::move(stackTrace)) {}

  static ZOVExceptionModel exceptionModelWithName(std::string name, std::string reason) {
    return ZOVExceptionModel(std::move(name), std::move(reason));
  }
  // One address-only frame per return address of the exception.
  static ZOVExceptionModel exceptionModelWithException(const ns::Exception& exception);

  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const std::vector<ZOVStackFrame>& stackTrace() const { return stackTrace_; }
  void setStackTrace(std::vector<ZOVStackFrame> stackTrace) { stackTrace_ = std::move(stackTrace); }
  bool isFatal() const { return isFatal_; }
  void setIsFatal(bool fatal) { isFatal_ = fatal; }
  bool onDemand() const { return onDemand_; }
  void setOnDemand(bool onDemand) { onDemand_ = onDemand; }

 private:
  std::string name_;
  std::string reason_;
  std::vector<ZOVStackFrame> stackTrace_;
  bool isFatal_ = false;
  bool onDemand_ = false;
};
