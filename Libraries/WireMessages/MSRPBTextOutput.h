// Where the message runtime's texts go.
//
// The coders' failure lines, each ending in a line break, go to the coder
// output: standard output unless a sink is set. A program whose standard
// output is its screen (quillbox) sends them to standard error; tests
// capture them. The accessors' and field routines' texts go to the system
// log (systemlog::Log's default log, at the default type), which tests
// capture with systemlog::Log::setSinkForTesting.
#pragma once

#include <functional>
#include <string>

using MSRPBTextSink = std::function<void(const std::string& text)>;

// Any thread. A null sink restores standard output.
void MSRPBSetCoderOutput(MSRPBTextSink sink);
// A sink that writes to standard error.
MSRPBTextSink MSRPBStandardErrorSink();

void MSRPBPrintCoderText(const std::string& text);
void MSRPBLogText(const std::string& text);
