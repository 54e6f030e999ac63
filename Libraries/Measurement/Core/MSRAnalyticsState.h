// The analytics interface's process-wide state, shared by its source files
// (MSRAnalytics*.cc) and the test hook; no other code includes it.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"

struct MSRAnalyticsState {
  // Written by start, read on the serial queue and by callers.
  std::atomic<bool> deactivated{false};
  std::atomic<bool> enabled{false};

  std::mutex mutex;  // guards everything below
  bool started = false;
  bool appDelegateProxyCreated = false;
  std::shared_ptr<dispatch::OperationQueue> operationQueue;
  MSRLogEventInterceptor interceptor;
  // Made at the first addition.
  std::optional<std::map<const MSRLogEventListenerToken*, std::pair<MSRLogEventListenerTokenPtr, MSRLogEventListener>>>
      listeners;
  MSROpenURLListener openURLListener;
};

MSRAnalyticsState& MSRAnalyticsSharedState();
// The suite "MSRAnalyticsSuiteName".
MSRUserDefaults& MSRAnalyticsDefaults();
// The running engine, or null; never logs.
std::shared_ptr<MSRMeasurement> MSRAnalyticsEngine();
// A new operation queue as start finds it: suspended, one at a time.
std::shared_ptr<dispatch::OperationQueue> MSRAnalyticsMakeOperationQueue();
