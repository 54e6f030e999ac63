#include "Libraries/WireMessages/MSRPBTextOutput.h"

#include <cstdio>
#include <mutex>

#include "Platform/SystemLog/SystemLog.h"

namespace {

std::mutex sinkMutex;
MSRPBTextSink coderSink;

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
