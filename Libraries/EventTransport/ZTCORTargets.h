// Upload targets and quality-of-service tiers.
//
// A target names one upload destination; the store keeps one directory of
// events per target. Transports and events accept any target of 1 or more;
// only 999 to 1003 have storage.
#pragma once

#include <cstdint>
#include <string>

using ZTCORUploadTargetID = int64_t;

inline constexpr ZTCORUploadTargetID kZTCORTargetTest = 999;  // nothing sends to it
inline constexpr ZTCORUploadTargetID kZTCORTargetCCT = 1000;
inline constexpr ZTCORUploadTargetID kZTCORTargetFLL = 1001;  // sessions events
inline constexpr ZTCORUploadTargetID kZTCORTargetCSH = 1002;  // crash reports
inline constexpr ZTCORUploadTargetID kZTCORTargetINT = 1003;

// "cct", "fll", "csh", "int", else "unknown" (the upload request's User-Agent).
std::string ZTCORTargetShortName(ZTCORUploadTargetID target);

// When an event leaves the device (chosen per network condition by the
// upload client).
using ZTCOREventQoSTier = int64_t;

inline constexpr ZTCOREventQoSTier ZTCOREventQoSUnknown = 0;    // an archive without one; wifi
inline constexpr ZTCOREventQoSTier ZTCOREventQoSTelemetry = 1;  // wifi
inline constexpr ZTCOREventQoSTier ZTCOREventQoSDaily = 2;      // only with the high-priority condition
inline constexpr ZTCOREventQoSTier ZTCOREventQosDefault = 3;    // every new event; wifi and mobile data
inline constexpr ZTCOREventQoSTier ZTCOREventQoSFast = 4;       // storing it forces an upload of its target
inline constexpr ZTCOREventQoSTier ZTCOREventQoSWifiOnly = 5;
