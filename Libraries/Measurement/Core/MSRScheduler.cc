#include "Libraries/Measurement/Core/MSRScheduler.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Dispatch/MainThread.h"

bool MSRScheduler::checkOnBackgroundThreadWithMethodName(const std::string& methodName) {
  if (!dispatch::isMainThread()) return true;
  MSRMeasurement::monitor()->logWithLevel(
      1, 30001,
      "Method " + (methodName.empty() ? std::string("<empty method name>") : methodName) +
          " should execute on background thread");
  return false;
}
