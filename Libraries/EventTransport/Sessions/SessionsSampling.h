// Whether this process sends its session events at all: one draw per
// process, uniform in [0, 1] with both ends possible, against the sampling
// rate. The draw comes from a random integer r in 0 ... 2^53 (inclusive):
// 1.0 when r is 2^53, else r × 2^-53. The process collects when
// draw ≤ rate, so a rate of 1.0 always collects and a rate of 0 collects
// only when r is 0.
#pragma once

#include <cstdint>
#include <functional>

inline constexpr uint64_t kSessionsSamplingDrawRange = uint64_t{1} << 53;

// A uniform integer in 0 ... 2^53; thread-safe.
using SessionsRandomSource = std::function<uint64_t()>;

// The draw of `r` (taken as 2^53 when larger).
double SessionsSamplingDraw(uint64_t r);
// Draws from the random source and compares with `samplingRate`.
bool SessionsShouldCollectEvents(double samplingRate);

// For tests: the source of the next draws (null: the system's again).
void SessionsSetRandomSourceForTesting(SessionsRandomSource source);
