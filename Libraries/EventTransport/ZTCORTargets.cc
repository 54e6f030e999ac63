#include "Libraries/EventTransport/ZTCORTargets.h"

std::string ZTCORTargetShortName(ZTCORUploadTargetID target) {
  switch (target) {
    case kZTCORTargetCCT: return "cct";
    case kZTCORTargetFLL: return "fll";
    case kZTCORTargetCSH: return "csh";
    case kZTCORTargetINT: return "int";
    default: return "unknown";
  }
}
