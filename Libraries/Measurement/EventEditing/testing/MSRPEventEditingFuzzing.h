// One input of the evaluator's fuzzer, shared by the fuzz target and the
// test that replays its seeds, so what the fuzzer found stays mended.
//
// The bytes are read as a Program, else as a MeasurementConfig whose first
// program is taken (the wire messages' depth limit applies to both). The
// program is loaded into an engine with the three configuration modules
// and, when it loads, given a few events. An engine holding more than the
// live size cap aborts: that is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

// Runs the input; YES when a program was decoded and loaded.
bool MSRPEventEditingFuzzOneInput(const uint8_t* data, size_t size);
