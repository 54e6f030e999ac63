// Measurement end to end, in a real program (tests/measurement_child) on a
// temporary device: the default app configured as the app does, events
// logged through the facade, stored, bundled and uploaded over TLS to a
// server on 127.0.0.1, each batch read back with gzip and protoc. Then the
// same program killed by SIGKILL a few hundred times at varying points of
// its storing, bundling and uploading (after a varying number of stored
// events, never after a time), and run clean at the end: every event it
// reported stored reached the server, and an event sent twice was sent
// again by the very next upload only (its batch reached the server, the
// program died before it could delete it).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"

namespace msr_testing {
namespace {

constexpr const char* kChildAppID = "1:123456789012:ios:0123456789abcdef";

class MeasurementEndToEndTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                                     {"CFBundleShortVersionString", "3.1"},
                                     {"CFBundleVersion", "42"}},
                      "Quillbox",
                      ns::Value(ns::Dictionary{{"ZORORI_APP_ID", kChildAppID},
                                               {"API_KEY", "AQbxKyA-valid_key0123456789abcdefghijkl"},
                                               {"ZCM_SENDER_ID", "123456789012"},
                                               {"PROJECT_ID", "quillbox-test"},
                                               {"BUNDLE_ID", "com.tavrix.Quillbox"}}));
    server_ = measurementServer();
    ASSERT_NE(server_, nullptr);
    server_->route("/a", net::testing::Answer{.status = 204});
    std::string configuration = protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto",
                                       std::string("version: 1 zmp_app_id: \"") + kChildAppID +
                                           "\" settings { name: \"test.unused\" value: \"1\" }");
    ASSERT_FALSE(configuration.empty());
    server_->route("/config/app/" + std::string(kChildAppID),
                   net::testing::Answer{.status = 200, .body = configuration});
  }
  void TearDown() override {
    server_->stop();
    ConfigTest::TearDown();
  }

  std::vector<std::string> childArguments(const std::vector<std::string>& commands) const {
    std::vector<std::string> all{MSR_MEASUREMENT_CHILD, device_.directory(), device_.path("Quillbox.app")};
    all.insert(all.end(), commands.begin(), commands.end());
    return all;
  }
  // Runs the child to its end; its lines.
  std::vector<std::string> runChild(const std::vector<std::string>& commands) {
    int output = -1;
    pid_t pid = spawnChild(childArguments(commands), &output);
    EXPECT_GT(pid, 0);
    std::vector<std::string> lines;
    if (pid <= 0) return lines;
    for (std::string line; !(line = readLine(output)).empty();) lines.push_back(line);
    ::close(output);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return lines;
  }
  // Starts a child logging from `first` on and kills it with SIGKILL
  // `delayMicroseconds` after its `reports`th stored event (and, with
  // `afterUpload`, after the server has had a request of it); adds every
  // event it reported to `reported`.
  void runChildAndKill(int64_t first, int reports, int delayMicroseconds, bool afterUpload,
                       std::set<int64_t>* reported) {
    const size_t requestsBefore = server_->requestCount();
    runStoringChildAndKill(childArguments({"log", std::to_string(first), "100000"}), reports, delayMicroseconds,
                           [&] {
                             // The bound only ends a test that already failed.
                             if (afterUpload) {
                               EXPECT_TRUE(server_->waitForRequests(requestsBefore + 1)) << "the child uploaded nothing";
                             }
                           },
                           reported);
  }

  // The logged events of each uploaded batch, in the server's order.
  std::vector<std::vector<DecodedEvent>> uploadedEvents() {
    std::vector<std::vector<DecodedEvent>> out;
    for (const auto& batch : capturedBatches(server_->requests())) {
      EXPECT_EQ(batch.request.method, "POST");
      EXPECT_EQ(batch.request.target, "/a");
      std::vector<DecodedEvent> events;
      for (const auto& bundle : batch.bundles) {
        for (const auto& event : bundle.events) {
          if (event.name == "e2e_event") events.push_back(event);
        }
      }
      out.push_back(std::move(events));
    }
    return out;
  }

  std::unique_ptr<net::testing::LoopbackHTTPServer> server_;
};

TEST_F(MeasurementEndToEndTest, EveryLoggedEventAndParameterReachesTheServer) {
  std::vector<std::string> lines = runChild({"log", "1", "6", "drain"});
  EXPECT_EQ(lines, (std::vector<std::string>{"stored 1", "stored 2", "stored 3", "stored 4", "stored 5", "stored 6",
                                             "drained"}));
  std::map<int64_t, int> seen;
  for (const auto& events : uploadedEvents()) {
    for (const auto& event : events) {
      int64_t n = std::stoll(event.params.at("n"));
      SCOPED_TRACE(n);
      ++seen[n];
      EXPECT_EQ(event.params.at("label"), "\"event " + std::to_string(n) + "\"");
      EXPECT_DOUBLE_EQ(std::stod(event.params.at("ratio")), static_cast<double>(n) / 4);
      EXPECT_EQ(event.params.at("_o"), "\"app\"");
      EXPECT_EQ(event.params.size(), 4u) << event.text;
    }
  }
  EXPECT_EQ(seen, (std::map<int64_t, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}));
}

TEST_F(MeasurementEndToEndTest, KilledAmidUploadsNothingReportedIsLostAndOnlyAnAnsweredBatchIsSentAgain) {
  constexpr int kRounds = 200;
  // Numbers of one child lie in a range of their own.
  constexpr int64_t kPerChild = 1000000;
  std::mt19937 random(83);
  std::set<int64_t> reported;
  for (int round = 1; round <= kRounds; ++round) {
    SCOPED_TRACE(round);
    // Every other run dies once the server has its upload: around the
    // answer and the deletion that follows it.
    runChildAndKill(round * kPerChild, std::uniform_int_distribution<int>(1, 6)(random),
                    std::uniform_int_distribution<int>(0, 3000)(random), round % 2 == 0, &reported);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(runChild({"drain"}), std::vector<std::string>{"drained"});

  // Where each event went: the batches (by their order at the server)
  // that carried it.
  std::map<int64_t, std::vector<size_t>> carried;
  auto batches = uploadedEvents();
  for (size_t b = 0; b < batches.size(); ++b) {
    for (const auto& event : batches[b]) carried[std::stoll(event.params.at("n"))].push_back(b);
  }
  size_t sentAgain = 0;
  for (int64_t n : reported) EXPECT_TRUE(carried.contains(n)) << "reported event " << n << " never reached the server";
  for (const auto& [n, where] : carried) {
    for (size_t k = 1; k < where.size(); ++k) {
      EXPECT_EQ(where[k], where[k - 1] + 1) << "event " << n << " was sent again later than by the next upload";
    }
    sentAgain += where.size() > 1;
  }
  RecordProperty("batches", static_cast<int>(batches.size()));
  RecordProperty("reported", static_cast<int>(reported.size()));
  RecordProperty("sent_again", static_cast<int>(sentAgain));
  EXPECT_GE(batches.size(), static_cast<size_t>(kRounds) / 2) << "every other run uploaded before it was killed";
}

}  // namespace
}  // namespace msr_testing
