// The durability test's child: writes events into the device's measurement
// database as the measurement core does, one transaction per event, and
// bundles them, until it is killed.
//
//   Measurement_events_child <device directory> <first id>
//
// Event n (from the first id on) is named "e" and carries the parameter
// "n"; its metadata changes every 5 events, and every 4th event is
// followed by one bundling transaction. After each event's commit it
// prints "stored <n>"; a failure prints "failed <error>" and exits 1. It
// stops by itself after 100,000 events.
#include <cstdio>
#include <string>
#include <thread>

#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Device.h"

namespace {

int writeEvents(int64_t firstID) {
  ns::Error error;
  auto database = MSRDatabase::initWithDatabaseName("zorori-app-measurement.sql", nullptr, &error);
  if (!database) {
    std::printf("failed %s\n", error.description().c_str());
    return 1;
  }
  for (int64_t n = firstID; n < firstID + 100000; ++n) {
    auto metadata = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(metadata.get(), 22, "instance-" + std::to_string(n / 5 % 2));
    auto event = MSREvent::initWithOrigin("app", true, "e", ns::Date::now().timeIntervalSince1970(), 0,
                                          {{"n", MSRValue::initWithInt64(n)}});
    if (!msr_testing::storeEventAsTheCore(*database, event, metadata, false, &error)) {
      std::printf("failed %s\n", error.description().c_str());
      return 1;
    }
    std::printf("stored %lld\n", static_cast<long long>(n));
    std::fflush(stdout);
    if (n % 4 == 0 && !msr_testing::bundleOldestEventsAsTheCore(*database, "1:123:ios:abc", &error)) {
      std::printf("failed %s\n", error.description().c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  ns::Device::boot(argv[1]);
  int status = 0;
  // Off the main thread, as on the engine's worker queue.
  std::thread worker([&] { status = writeEvents(std::stoll(argv[2])); });
  worker.join();
  // What the store logged is written on the monitor's queue: it ends
  // before statics do.
  dispatch::shutdown();
  return status;
}
