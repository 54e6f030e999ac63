// The program's launch configures the telemetry core from the bundle's
// options file, and the core records the day's heartbeat once the app is
// active. Crash reporting, started by that configuration, asks the
// installations service for an ID, whose request carries the stored
// heartbeats away: a server on 127.0.0.1 catches it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace quillbox {
namespace {

using testing::readWholeFile;
using testing::runProgram;

// The heartbeats file of the app ID in Notes/Resources/Quillbox.app/ZororiService-Info.plist.
constexpr const char* kHeartbeatsFile =
    "App/Library/Application Support/zorori-heartbeat-storage/heartbeats-1_418592736104_ios_4efacc18e13af32c";

TEST(HostTelemetryTest, ALaunchStoresTheDaysHeartbeatWithTheUserAgent) {
  testing::DeviceDirectory device;
  net::testing::LoopbackHTTPServer server;
  server.setFallback([](const net::testing::RecordedRequest&) { return net::testing::Answer{}; });
  std::filesystem::create_directories(device.path("App/Library/Preferences"));
  ns::Error error;
  ASSERT_TRUE(ns::writePropertyListFile(ns::Dictionary{{"ZEVUdederozedaruAPIBaseURL", server.url("").absoluteString()}},
                                        device.path("App/Library/Preferences/tavrix.Pennalo.plist"),
                                        ns::PropertyListFormat::XML, &error));
  // Two launches: a heartbeat whose write had not started when the first
  // one quit is written by the second, and the day is recorded once.
  for (int launch = 0; launch < 2; ++launch) {
    auto run = runProgram(device.path(), "quit\n");
    ASSERT_TRUE(run.exitedCleanly()) << run.errors;
  }
  std::string agents;
  for (const auto& request : server.requests()) {
    std::optional<std::string> header = request.header("x-dozaveve-client");
    if (!header) continue;
    std::string encoded = device.path("header");
    std::ofstream(encoded) << *header;
    int status = 0;
    agents += ns::testing::runCommand(
        "python3 -c 'import base64, gzip, json, sys; t = open(sys.argv[1]).read(); "
        "t += \"=\" * (-len(t) % 4); d = json.loads(gzip.decompress(base64.urlsafe_b64decode(t))); "
        "print(\"\\n\".join(h[\"agent\"] for h in d.get(\"heartbeats\", [])))' " +
            testing::shellQuoted(encoded),
        &status);
  }
  std::string stored = readWholeFile(device.path(kHeartbeatsFile));
  std::string heartbeats = agents + stored;
  EXPECT_NE(heartbeats.find("apple-platform/ios "), std::string::npos) << heartbeats;
  // The core and the libraries the app ships: crash reporting, installations and sessions.
  EXPECT_NE(heartbeats.find(" dozaveve-dodevadarud/10.16.0 "), std::string::npos) << heartbeats;
  EXPECT_NE(heartbeats.find(" zov-install/10.16.0 zov-ios/10.16.0 zov-ses/10.16.0"), std::string::npos)
      << heartbeats;
  size_t first = heartbeats.find("apple-platform/ios ");
  EXPECT_EQ(heartbeats.find("apple-platform/ios ", first + 1), std::string::npos)
      << "one heartbeat a day: " << heartbeats;
}

}  // namespace
}  // namespace quillbox
