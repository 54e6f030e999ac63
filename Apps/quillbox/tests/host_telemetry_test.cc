// The program's launch configures the telemetry core from the bundle's
// options file, and the core records the day's heartbeat once the app is
// active.
#include <gtest/gtest.h>

#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox {
namespace {

using testing::readWholeFile;
using testing::runProgram;

// The heartbeats file of the app ID in Notes/Resources/Quillbox.app/ZororiService-Info.plist.
constexpr const char* kHeartbeatsFile =
    "App/Library/Application Support/zorori-heartbeat-storage/heartbeats-1_418592736104_ios_4efacc18e13af32c";

TEST(HostTelemetryTest, ALaunchStoresTheDaysHeartbeatWithTheUserAgent) {
  testing::DeviceDirectory device;
  // Two launches: a heartbeat whose write had not started when the first
  // one quit is written by the second, and the day is recorded once.
  for (int launch = 0; launch < 2; ++launch) {
    auto run = runProgram(device.path(), "quit\n");
    ASSERT_TRUE(run.exitedCleanly()) << run.errors;
  }
  std::string stored = readWholeFile(device.path(kHeartbeatsFile));
  EXPECT_NE(stored.find("\"agent\":\"apple-platform/ios "), std::string::npos) << stored;
  // The core and the libraries the app ships: installations and sessions.
  EXPECT_NE(stored.find(" zov-install/10.16.0 zov-ios/10.16.0 zov-ses/10.16.0\""), std::string::npos) << stored;
  size_t first = stored.find("\"agent\"");
  EXPECT_EQ(stored.find("\"agent\"", first + 1), std::string::npos) << "one heartbeat a day: " << stored;
}

}  // namespace
}  // namespace quillbox
