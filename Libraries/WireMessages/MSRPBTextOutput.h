// Where the message runtime's texts go.
//
// The coders' failure lines, each ending in a line break, go to the coder
// output: standard output unless a sink is set. A program whose standard
// output is its screen (quillbox) sends them to standard error; tests
// capture them. The accessors' and field routines' texts go to the system
// log (systemlog::Log's default log, at the default type), which tests
// capture with systemlog::Log::setSinkForTesting.
//
// The flag routines' messages (MSRPBFlagRoutines.h) are measurement log
// messages with a level and a code: they go to the measurement log sink.
// The measurement monitor installs itself there when it is made (this
// library cannot reach it); until then, and after a null sink, they go to
// the system log as "[I-ACS850001] Flag name must be a string: NSDate".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

using MSRPBTextSink = std::function<void(const std::string& text)>;

// Any thread. A null sink restores standard output.
void MSRPBSetCoderOutput(MSRPBTextSink sink);
// A sink that writes to standard error.
MSRPBTextSink MSRPBStandardErrorSink();

void MSRPBPrintCoderText(const std::string& text);
void MSRPBLogText(const std::string& text);

// One message for the measurement log. `context` absent: the message has
// none; a null value stands for nil.
struct MSRPBMeasurementLogMessage {
  int64_t level = 0;
  int64_t code = 0;
  std::string text;
  std::optional<ns::Value> context;
};
using MSRPBMeasurementLogSink = std::function<void(const MSRPBMeasurementLogMessage& message)>;

// Any thread; the sink is called on the logging thread. A null sink
// restores the system log.
void MSRPBSetMeasurementLogSink(MSRPBMeasurementLogSink sink);
void MSRPBLogToMeasurementLog(const MSRPBMeasurementLogMessage& message);
