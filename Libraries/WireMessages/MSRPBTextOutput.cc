#include "Libraries/WireMessages/MSRPBTextOutput.h"

#include <cstdio>
#include <mutex>

#include "Platform/Foundation/Format.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

std::mutex sinkMutex;
MSRPBTextSink coderSink;
MSRPBMeasurementLogSink measurementLogSink;

// The measurement log's levels 0 to 2 are errors; the flag routines log
// nothing else, but any level has a place.
systemlog::LogType systemLogTypeOf(int64_t level) {
  if (level >= 0 && level <= 2) return systemlog::LogType::Error;
  if (level >= 7) return systemlog::LogType::Debug;
  return systemlog::LogType::Default;
}

}  // namespace

void MSRPBSetCoderOutput(MSRPBTextSink sink) {
  std::lock_guard lock(sinkMutex);
  coderSink = std::move(sink);
}

MSRPBTextSink MSRPBStandardErrorSink() {
  return [](const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); };
}

void MSRPBPrintCoderText(const std::string& text) {
  MSRPBTextSink sink;
  {
    std::lock_guard lock(sinkMutex);
    sink = coderSink;
  }
  if (sink) {
    sink(text);
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
}

void MSRPBLogText(const std::string& text) {
  systemlog::Log::defaultLog()->write(systemlog::LogType::Default, text);
}

void MSRPBSetMeasurementLogSink(MSRPBMeasurementLogSink sink) {
  std::lock_guard lock(sinkMutex);
  measurementLogSink = std::move(sink);
}

void MSRPBLogToMeasurementLog(const MSRPBMeasurementLogMessage& message) {
  MSRPBMeasurementLogSink sink;
  {
    std::lock_guard lock(sinkMutex);
    sink = measurementLogSink;
  }
  if (sink) {
    sink(message);
    return;
  }
  std::string line = ns::format("[I-ACS%06lld] %s", static_cast<long long>(message.code), message.text.c_str());
  if (message.context) line += ": " + (message.context->isNull() ? std::string("(nil)") : message.context->description());
  systemlog::Log::defaultLog()->write(systemLogTypeOf(message.level), line);
}
