#include "Libraries/Measurement/Core/MSRScheduler.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"

MSRScheduler::MSRScheduler(const std::string& label)
    : workerQueue_(dispatch::Queue::create(label, dispatch::Queue::Kind::Serial, dispatch::Priority::Background)) {
  workerQueue_->setTarget(dispatch::Queue::global(dispatch::Priority::Background));
}

void MSRScheduler::scheduleOnWorkerQueueBlockID(const std::string& blockID, std::function<void()> block) {
  if (!block) {
    MSRMeasurement::monitor()->logWithLevel(
        1, 30005, "Nil block dispatched asynchronously on worker queue. Block ID=" + blockID + ".");
    return;
  }
  workerQueue_->async([blockID, block = std::move(block)] {
    try {
      block();
    } catch (const ns::Exception& exception) {
      MSRMeasurement::monitor()->logWithLevel(1, 30000, "Exception on worker queue. Block ID=" + blockID +
                                                            ". Exception", exception);
    }
  });
}

void MSRScheduler::dispatchSyncOnWorkerQueueBlockID(const std::string& blockID, const std::function<void()>& block) {
  if (!block) {
    MSRMeasurement::monitor()->logWithLevel(
        1, 30002, "Nil block dispatched synchronously on worker queue. Block ID=" + blockID + ".");
    return;
  }
  bool completed = false;
  try {
    workerQueue_->sync([&] {
      try {
        block();
        completed = true;
      } catch (const ns::Exception& exception) {
        MSRMeasurement::monitor()->logWithLevel(
            1, 30003, "Exception on worker queue when processing sync block. Block ID=" + blockID + ". Exception",
            exception);
      }
    });
  } catch (const ns::Exception&) {
    // The dispatch layer refuses a wait on the queue the caller already
    // holds; the block did not run, which the line below reports.
  }
  if (!completed) {
    MSRMeasurement::monitor()->logWithLevel(4, 30004, "Synchronous task failed. Block ID=" + blockID);
  }
}

bool MSRScheduler::checkOnBackgroundThreadWithMethodName(const std::string& methodName) {
  if (!dispatch::isMainThread()) return true;
  MSRMeasurement::monitor()->logWithLevel(
      1, 30001,
      "Method " + (methodName.empty() ? std::string("<empty method name>") : methodName) +
          " should execute on background thread");
  return false;
}
