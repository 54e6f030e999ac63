// Device uptime in seconds: what the upload suspension, sessions and ad
// exposure measure against, so a user moving the wall clock changes none
// of them. It never fails, and the virtual clock moves it.
#pragma once

#include "Platform/Foundation/Clock.h"

inline double MSRTimeSinceBoot() { return static_cast<double>(ns::Clock::uptimeNanos()) / 1e9; }
