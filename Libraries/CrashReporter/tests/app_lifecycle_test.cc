// Crash reporting as the app lives it, in a real program on a temporary
// device (tests/app_child): configuring the default app starts it; a run
// records an error and a kit log line and is killed by SIGSEGV; the next
// run says so, and packages and uploads the report at once to a server on
// 127.0.0.1. With collection off nothing moves until the app decides.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <fstream>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/tests/AppChild.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/ReportFolders.h"
#include "Libraries/CrashReporter/tests/UserLoggingRecords.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace dvcr_testing {
namespace {

class AppLifecycleTest : public CrashReporterTest {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    server_.setFallback([](const net::testing::RecordedRequest&) { return net::testing::Answer{}; });
    // The report folders are named after the app's bundle identifier.
    ns::Bundle::setMainBundlePath(bundle());
  }
  void TearDown() override { ns::Bundle::setMainBundlePath(""); }

  // The main bundle: Info.plist with the upload address of target 1002 on
  // the loopback server, and the options file.
  void writeBundle(bool collectionEnabled, bool legacyKey = false) {
    writeAppBundle(bundle(), server_.url("/upload/csh").absoluteString(), collectionEnabled, legacyKey);
  }
  std::string bundle() const { return path("bundle"); }
  std::vector<std::string> arguments(std::vector<std::string> commands) const {
    commands.insert(commands.begin(), {device_->directory(), bundle()});
    return commands;
  }
  std::vector<std::string> runToEnd(const std::vector<std::string>& commands) {
    AppChild child(arguments(commands));
    std::vector<std::string> lines = child.remainingLines();
    EXPECT_EQ(child.wait(), 0);
    return lines;
  }
  // A run that records, turns the main queue once and is killed by SIGSEGV;
  // the line that reported the error.
  int crashingRun() {
    AppChild child(arguments({"record", "turn", "wait"}));
    std::string recorded = child.readLine();
    EXPECT_EQ(recorded.rfind("recorded ", 0), 0u) << recorded;
    EXPECT_EQ(child.readLine(), "ready");
    // The first main-queue turn took the launch marker away.
    EXPECT_EQ(child.readLine(), "launch marker gone");
    child.signal(SIGSEGV);
    int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    return std::atoi(recorded.c_str() + std::strlen("recorded "));
  }
  // A run that starts crash reporting, logs `event` through the
  // measurement facade (when given) and is killed by SIGSEGV while its
  // main loop runs; the crashed report's folder.
  std::string crashAfterEvent(const std::string& event) {
    std::vector<std::string> commands{"started"};
    if (!event.empty()) commands.insert(commands.end(), {"event", event});
    commands.push_back("wait");
    AppChild child(arguments(commands));
    EXPECT_EQ(child.readLine(), "started true");
    if (!event.empty()) {
      EXPECT_EQ(child.readLine(), "logged " + event);
    }
    EXPECT_EQ(child.readLine(), "ready");
    child.signal(SIGSEGV);
    int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    std::vector<std::string> reports = activeReports();
    EXPECT_EQ(reports.size(), 1u);
    return reports.empty() ? "" : reports[0];
  }
  // The measurement database the app child's engine keeps.
  std::string measurementDatabase() const {
    return path("App/Library/Application Support/Zorori/Measurement/zorori-app-measurement.sql");
  }
  // protoc's text of bytes read from `file` as the message `type` of the
  // measurement upload messages.
  std::string decodeMeasurement(const std::string& type, const std::string& file) {
    std::string messages = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages";
    return run("protoc -I'" + messages + "' --decode=msrpb." + type + " UploadMessages.proto < '" + file + "' 2>&1");
  }
  std::vector<std::string> activeReports() const {
    DVCRFileManager fileManager;
    return fileManager.activePathContents();
  }

  net::testing::LoopbackHTTPServer server_;
};

TEST_F(AppLifecycleTest, ACrashedRunIsReportedAndUploadedByTheNext) {
  writeBundle(true);
  int reportingLine = crashingRun();
  std::vector<std::string> reports = activeReports();
  ASSERT_EQ(reports.size(), 1u);
  std::string crashed = reports[0];
  EXPECT_TRUE(std::filesystem::exists(crashed + "/signal.dvrecord"));
  EXPECT_TRUE(std::filesystem::exists(crashed + "/errors_a.dvrecord"));
  // The session the sessions library started reached the metadata.
  EXPECT_TRUE(std::regex_search(readAll(crashed + "/metadata.dvrecord"),
                                std::regex("\"app_vitals_session_id\":\"[0-9a-f]{32}\"")));

  AppChild next(arguments({"crashed", "started", "handled", "pause", "pause", "pause", "pause"}));
  EXPECT_EQ(next.readLine(), "crashed true");
  EXPECT_EQ(next.readLine(), "started true");
  EXPECT_EQ(next.readLine(), "handled");
  EXPECT_TRUE(server_.waitForRequests(1));
  next.remainingLines();
  EXPECT_EQ(next.wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(crashed));
  ASSERT_EQ(server_.requests().size(), 1u);

  // The batch, gunzipped and read by protoc: one "1206" event.
  net::testing::RecordedRequest request = server_.requests()[0];
  EXPECT_EQ(request.header("content-encoding"), "gzip");
  std::string gz = path("batch.gz");
  std::ofstream(gz, std::ios::binary) << request.body;
  run("gzip -dc < '" + gz + "' > '" + gz + ".plain'");
  std::string batch = readAll(gz + ".plain");
  std::string transport = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";
  std::string decoded = run("protoc -I'" + transport + "' --decode=LogBatchRequest UploadMessages.proto < '" + gz +
                            ".plain' 2>&1");
  EXPECT_NE(decoded.find("log_source: 1206"), std::string::npos) << decoded;

  // The report's files, and in them the error and this launch's keys.
  std::map<std::string, std::string> files;
  for (const auto& source : protoFields(batch, 1))
    for (const auto& event : protoFields(source, 3))
      for (const auto& report : protoFields(event, 6))
        for (const auto& payload : protoFields(report, 10))
          for (const auto& file : protoFields(payload, 1)) files[protoFields(file, 1).at(0)] = protoFields(file, 2).at(0);
  ASSERT_TRUE(files.count("signal.dvrecord"));
  ASSERT_TRUE(files.count("errors_a.dvrecord"));
  std::string errors = path("errors_a.dvrecord");
  std::ofstream(errors, std::ios::binary) << files["errors_a.dvrecord"];
  std::string domainAndCode = run(
      "python3 -c 'import json, sys; e = json.loads(open(sys.argv[1]).readline())[\"error\"]; "
      "print(e[\"domain\"], e[\"code\"])' '" + errors + "'");
  std::string hex = domainAndCode.substr(0, domainAndCode.find(' '));
  EXPECT_EQ(run("printf %s " + hex + " | xxd -r -p"), "main.cc");
  EXPECT_EQ(std::atoi(domainAndCode.c_str() + hex.size() + 1), reportingLine);
  std::string keys = files["internal_incremental_kv.dvrecord"];
  for (const char* key : {"com.dodevadarud.kit-start-time", "com.dodevadarud.first-run-loop-time"}) {
    std::string hexKey = run("printf %s '" + std::string(key) + "' | xxd -p -c 256");
    hexKey.erase(hexKey.find_last_not_of("\n") + 1);
    EXPECT_NE(keys.find(hexKey), std::string::npos) << key;
  }
  std::string log = files["log_a.dvrecord"];
  EXPECT_FALSE(log.empty());
}

TEST_F(AppLifecycleTest, TheLegacyInfoPlistKeyStopsTheStart) {
  writeBundle(true, true);
  EXPECT_EQ(runToEnd({"started"}), (std::vector<std::string>{"started false"}));
}

TEST_F(AppLifecycleTest, ASecondInstanceIsRefusedAndASecondCheckAnswersFalseAtOnce) {
  writeBundle(false);
  EXPECT_EQ(runToEnd({"second", "check", "check"}),
            (std::vector<std::string>{"second refused", "same true", "unsent false", "unsent false"}));
}

TEST_F(AppLifecycleTest, WithCollectionOffAReportWaitsUntilTheAppDeletesIt) {
  writeBundle(false);
  crashingRun();
  std::vector<std::string> reports = activeReports();
  ASSERT_EQ(reports.size(), 1u);

  EXPECT_EQ(runToEnd({"crashed", "check", "pause", "pause"}), (std::vector<std::string>{"crashed true", "unsent true"}));
  EXPECT_TRUE(std::filesystem::exists(reports[0]));
  EXPECT_EQ(runToEnd({"delete", "send", "started", "handled"}), (std::vector<std::string>{"started true", "handled"}));
  EXPECT_FALSE(std::filesystem::exists(reports[0]));
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(AppLifecycleTest, TurningCollectionOnSendsTheWaitingReport) {
  writeBundle(false);
  crashingRun();
  std::vector<std::string> reports = activeReports();
  ASSERT_EQ(reports.size(), 1u);

  AppChild next(arguments({"enable", "started", "handled", "pause", "pause", "pause", "pause"}));
  EXPECT_EQ(next.readLine(), "started true");
  EXPECT_EQ(next.readLine(), "handled");
  EXPECT_TRUE(server_.waitForRequests(1));
  next.remainingLines();
  EXPECT_EQ(next.wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(reports[0]));
}

// With measurement linked, the crash reporter hears the app's events and
// writes each as a "$A$:" breadcrumb of the running report's log; the
// launch after a crash tells measurement of it: "_ae" with "fatal" 1, a
// real-time event of origin "crx". No measurement host is mapped: the
// event stays in the database for sqlite3 and protoc to read.
TEST_F(AppLifecycleTest, AppEventsBecomeBreadcrumbsAndTheNextLaunchLogsTheCrashToMeasurement) {
  writeBundle(true);
  std::string crashed = crashAfterEvent("tapped_note");
  ASSERT_FALSE(crashed.empty());
  std::vector<std::string> log = decodedRecords(crashed + "/log_a.dvrecord");
  bool found = false;
  for (const auto& line : log) {
    found = found || line.rfind(R"(log $A$:{"name":"tapped_note","parameters":{"_o":"app","step":1}} @)", 0) == 0;
  }
  EXPECT_TRUE(found) << ::testing::PrintToString(log);

  EXPECT_EQ(runToEnd({"crashed", "started", "handled", "measured"}),
            (std::vector<std::string>{"crashed true", "started true", "handled", "measured"}));
  EXPECT_EQ(run("sqlite3 -batch '" + measurementDatabase() +
                "' \"SELECT name, is_realtime FROM raw_events WHERE name IN ('tapped_note', '_ae') ORDER BY rowid\""),
            "tapped_note|0\n_ae|1\n");
  std::string blob = path("ae.pb");
  run("sqlite3 -batch '" + measurementDatabase() + "' \"SELECT hex(data) FROM raw_events WHERE name = '_ae'\" | xxd -r -p > '" +
      blob + "'");
  std::string event = decodeMeasurement("Event", blob);
  EXPECT_TRUE(std::regex_search(event, std::regex(R"(name: "fatal"\s+int_value: 1\b)"))) << event;
  EXPECT_TRUE(std::regex_search(event, std::regex(R"(name: "_o"\s+string_value: "crx")"))) << event;
  EXPECT_TRUE(std::regex_search(event, std::regex(R"(name: "timestamp"\s+int_value: \d+)"))) << event;
}

// With the measurement hosts mapped to a TLS server on 127.0.0.1 and the
// debug switch on (uploads follow an event within a second), the launch
// after a crash uploads the crash event: the batch, read with gzip and
// protoc, holds "_ae" of origin "crx" with "fatal" 1.
TEST_F(AppLifecycleTest, TheLaunchAfterACrashUploadsTheCrashEvent) {
  net::testing::LoopbackHTTPServer measurement(net::testing::LoopbackHTTPServer::Options{
      .tls = true, .names = {"upload.measurement.invalid", "config.measurement.invalid"}});
  measurement.route("/a", net::testing::Answer{.status = 204});
  measurement.setFallback([](const net::testing::RecordedRequest&) { return net::testing::Answer{.status = 404}; });
  for (const char* host : {"upload.measurement.invalid", "config.measurement.invalid"}) {
    ASSERT_TRUE(net::mapHostToLoopback(host, measurement.port()));
  }
  ASSERT_TRUE(net::trustCertificateAuthority("measurement-test", measurement.authorityPEM()));
  writeBundle(true);
  ASSERT_FALSE(crashAfterEvent("").empty());

  AppChild next(arguments({"-VOZIzizuzoveDebugEnabled", "crashed", "started", "wait"}));
  EXPECT_EQ(next.readLine(), "crashed true");
  EXPECT_EQ(next.readLine(), "started true");
  // Each request is counted as it comes; the bound only ends a failed test.
  std::optional<net::testing::RecordedRequest> upload;
  for (size_t seen = 1; !upload && measurement.waitForRequests(seen); ++seen) {
    auto requests = measurement.requests();
    if (requests.size() >= seen && requests[seen - 1].path() == "/a") upload = requests[seen - 1];
  }
  next.signal(SIGKILL);
  next.wait();
  ASSERT_TRUE(upload.has_value()) << "no batch reached the server";
  EXPECT_EQ(upload->method, "POST");
  std::string body = path("batch.gz");
  writeAll(body, upload->body);
  run("gzip -dc < '" + body + "' > '" + body + ".plain'");
  std::string batch = decodeMeasurement("MeasurementBatch", body + ".plain");
  EXPECT_NE(batch.find("name: \"_ae\""), std::string::npos) << batch;
  EXPECT_TRUE(std::regex_search(batch, std::regex(R"(name: "fatal"\s+int_value: 1\b)"))) << batch;
  EXPECT_TRUE(std::regex_search(batch, std::regex(R"(name: "_o"\s+string_value: "crx")"))) << batch;
}

}  // namespace
}  // namespace dvcr_testing
