#include "Libraries/CrashReporter/ZOVExceptionModel.h"

ZOVExceptionModel ZOVExceptionModel::exceptionModelWithException(const ns::Exception& exception) {
  std::vector<Frame> frames;
  const auto& addresses = exception.callStackReturnAddresses();
  auto symbols = exception.callStackSymbols();
  for (size_t i = 0; i < addresses.size(); ++i)
    frames.push_back(Frame{addresses[i], i < symbols.size() ? symbols[i] : std::string()});
  return ZOVExceptionModel(exception.name(), exception.reason(), std::move(frames));
}
