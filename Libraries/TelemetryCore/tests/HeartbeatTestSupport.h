// For the heartbeat tests: a fresh app on a virtual clock, and the stored
// bundle of an app ID read through its shared storage.
#pragma once

#include <optional>
#include <string>

#include "Libraries/TelemetryCore/HeartbeatStorage.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/ISO8601.h"

namespace zov_testing {

inline constexpr const char* kTestAppID = "1:123:ios:abc";

inline ns::Date at(const char* iso8601) { return *ns::ISO8601::dateFromString(iso8601); }

class HeartbeatTest : public TelemetryCoreTest {
 protected:
  void SetUp() override {
    TelemetryCoreTest::SetUp();
    ns::Clock::useVirtual(at("2021-11-01T23:30:00Z"));
  }
  void TearDown() override {
    ns::Clock::useReal();
    TelemetryCoreTest::TearDown();
  }

  static void moveClockTo(const char* iso8601) {
    ns::Clock::setWallTime(at(iso8601));
  }

  // What the storage of `id` holds now (after every queued change).
  static std::optional<zovcore::HeartbeatsBundle> storedBundle(const std::string& id = kTestAppID) {
    std::optional<zovcore::HeartbeatsBundle> seen;
    zovcore::HeartbeatStorage::sharedStorage(id)->updateBundleSync([&seen](auto stored) {
      seen = stored;
      return stored;
    });
    return seen;
  }
  static void storeBundle(const zovcore::HeartbeatsBundle& bundle, const std::string& id = kTestAppID) {
    zovcore::HeartbeatStorage::sharedStorage(id)->updateBundleSync([&bundle](auto) { return bundle; });
  }
};

}  // namespace zov_testing
