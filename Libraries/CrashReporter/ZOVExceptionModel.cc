#include "Libraries/CrashReporter/ZOVExceptionModel.h"

ZOVExceptionModel ZOVExceptionModel::exceptionModelWithException(const ns::Exception& exception) {
  std::vector<ZOVStackFrame> frames;
  for (uintptr_t address : exception.callStackReturnAddresses())
    frames.push_back(ZOVStackFrame::stackFrameWithAddress(address));
  return ZOVExceptionModel(exception.name(), exception.reason(), std::move(frames));
}
