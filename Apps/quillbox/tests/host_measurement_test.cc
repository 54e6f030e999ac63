// The program ships measurement: a launch's configure step finds the facade
// by its class name and starts the engine for the default app with origin
// "fa", which keeps the options file's app ID and creates its database.
// sqlite3 and plistutil read what the launch left behind. With the
// measurement hosts mapped to a TLS server on 127.0.0.1, the kit's events
// reach the uploaded batch, read with gzip and protoc.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Network/testing/AnswerFolder.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace quillbox {
namespace {

using testing::runProgram;
using testing::shellQuoted;

TEST(HostMeasurementTest, ALaunchStartsMeasurementThroughTheConfigureStep) {
  testing::DeviceDirectory device;
  auto run = runProgram(device.path(), "quit\n");
  ASSERT_TRUE(run.exitedCleanly()) << run.errors;

  std::string bundled = std::string(QUILLBOX_SOURCE_DIR) + "/Notes/Resources/Quillbox.app/ZororiService-Info.plist";
  std::string appID =
      ns::testing::runCommand("plistutil -i " + shellQuoted(bundled) + " -f xml | grep -A1 '<key>ZORORI_APP_ID</key>' "
                              "| sed -n 's:.*<string>\\(.*\\)</string>.*:\\1:p'");
  ASSERT_FALSE(appID.empty());

  std::string persisted = ns::testing::runCommand(
      "plistutil -i " + shellQuoted(device.path("App/Library/Preferences/com.zorori.zmp.measurement.plist")) +
      " -f xml");
  EXPECT_NE(persisted.find("<key>/zorori/measurement/zmp_app_id</key>\n\t<string>" + appID.substr(0, appID.size() - 1) +
                           "</string>"),
            std::string::npos)
      << persisted;
  EXPECT_EQ(persisted.find("rivar_app_id"), std::string::npos) << "the origin is \"fa\", not the ads library's";

  std::string database = device.path("App/Library/Application Support/Zorori/Measurement/zorori-app-measurement.sql");
  std::string tables = ns::testing::runCommand("sqlite3 -batch " + shellQuoted(database) + " .tables");
  EXPECT_NE(tables.find("raw_events"), std::string::npos) << tables;
  EXPECT_NE(tables.find("purchase_transactions"), std::string::npos) << tables;
}

// The device's network as tests/run-scripts lays it down: each host sent to
// a loopback port (Network/hosts), and the TLS server's authority trusted.
void mapHosts(const testing::DeviceDirectory& device, const std::vector<std::pair<std::string, int>>& hosts,
              const std::string& authorityPEM) {
  std::filesystem::create_directories(device.path("Network/TrustedCertificates"));
  std::ofstream mapped(device.path("Network/hosts"));
  for (const auto& [host, port] : hosts) mapped << host << " " << port << "\n";
  std::ofstream(device.path("Network/TrustedCertificates/loopback.pem")) << authorityPEM;
}

// The measurement events (name and origin) of every uploaded batch, as
// protoc prints them after gzip -dc.
std::string uploadedEvents(const testing::DeviceDirectory& device, const net::testing::LoopbackHTTPServer& server) {
  std::string out;
  for (const auto& request : server.requests()) {
    if (request.path() != "/a") continue;
    std::string body = device.path("batch.gz");
    std::ofstream(body, std::ios::binary) << request.body;
    std::string text = ns::testing::runCommand(
        "gzip -dc < " + shellQuoted(body) + " | protoc -I" +
        shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
        " --decode=msrpb.MeasurementBatch UploadMessages.proto");
    // Each event: its "_o" parameter, then (after its other parameters)
    // its name.
    std::regex event(R"re(name: "_o"\s+string_value: "([^"]*)"[\s\S]*?\n    name: "([^"]*)")re");
    for (std::sregex_iterator it(text.begin(), text.end(), event), end; it != end; ++it) {
      out += (*it)[2].str() + " " + (*it)[1].str() + "\n";
    }
  }
  return out;
}

// The kit's rating popup, driven as its script does (a happy face, then
// Rate), then the app sent to the background: its upload holds the
// popup's events, logged by the kit with origin "app". A second device
// taps an app of the more-apps list in Settings.
TEST(HostMeasurementTest, TheKitsEventsReachTheUploadedBatch) {
  const std::string tests = std::string(QUILLBOX_SOURCE_DIR) + "/Apps/quillbox/tests/";
  testing::DeviceDirectory device0;
  struct Run {
    const char* what;
    std::string configAnswers, storeAnswers, prepare, script;
    std::vector<std::string> expected;
  } runs[] = {
      {"rating popup", "remote-config-rating", "store-lookup", "", "rating-popup-rate.qbs", {"Rate_Prompt app", "Rate app"}},
      {"more apps", "remote-config-more-apps", "store-more-apps", "older-build-25.py", "more-apps-1.qbs",
       {"More_Apps_Click app"}},
  };
  const std::string appID = "1:418592736104:ios:4efacc18e13af32c";
  std::string configText = device0.path("config.txt");
  std::ofstream(configText) << "version: 1 zmp_app_id: \"" << appID << "\" settings { name: \"test.unused\" value: \"1\" }";
  int encoded = 0;
  const std::string measurementConfig = ns::testing::runCommand(
      "protoc -I" + shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
          " --encode=msrpb.MeasurementConfig ConfigurationMessages.proto < " + shellQuoted(configText),
      &encoded);
  ASSERT_EQ(encoded, 0);
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    testing::DeviceDirectory device;
    net::testing::LoopbackHTTPServer config;
    config.setFallback([root = tests + run.configAnswers](const net::testing::RecordedRequest& request) {
      return net::testing::answerFromFolder(root, request);
    });
    net::testing::LoopbackHTTPServer secure(net::testing::LoopbackHTTPServer::Options{
        .tls = true, .names = {"lookup.store.example", "upload.measurement.invalid", "config.measurement.invalid"}});
    secure.route("/a", net::testing::Answer{.status = 204});
    // The engine's configuration for the app ID of the bundled options
    // file: fetched, it is not asked for again before each upload.
    secure.route("/config/app/" + appID, net::testing::Answer{.status = 200, .body = measurementConfig});
    secure.setFallback([root = tests + run.storeAnswers](const net::testing::RecordedRequest& request) {
      return net::testing::answerFromFolder(root, request);
    });
    mapHosts(device,
             {{"config.tavrix.example", config.port()},
              {"lookup.store.example", secure.port()},
              {"upload.measurement.invalid", secure.port()},
              {"config.measurement.invalid", secure.port()}},
             secure.authorityPEM());
    if (!run.prepare.empty()) {
      int status = 0;
      ns::testing::runCommand("python3 " + shellQuoted(tests + run.prepare) + " " + shellQuoted(device.path()) + " " +
                                  shellQuoted(QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox.app"),
                              &status);
      ASSERT_EQ(status, 0);
    }
    // The script as a person would type it, then the background: the
    // engine uploads as the app leaves the foreground, under a background
    // task the program lets end before it quits at the end of its input.
    testing::RunningProgram program(device.path());
    program.type(testing::readWholeFile(tests + run.script));
    program.type("wait\nbackground\n");
    auto ended = program.finish();
    EXPECT_EQ(ended.signal, 0) << ended.errors;
    std::string events = uploadedEvents(device, secure);
    for (const auto& e : run.expected) EXPECT_NE(events.find(e + "\n"), std::string::npos) << e << "\n" << events;
  }
}

}  // namespace
}  // namespace quillbox
