// The experiment task manager against the experiment service on a
// loopback TLS server, on the virtual clock: when it fetches, what it
// sends, how it reads answers, and how failures move the schedule.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Reporters/tests/ExperimentTestSupport.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"

namespace msr_testing {
namespace {

using net::testing::Answer;

constexpr const char* kSDK = "app_measurement";
constexpr const char* kResponse =
    R"(snapshots { sdk_name: "app_measurement" experiments { experiment_id: 7 flags { name: "a" int_value: 5 } } })";

std::string gzipped(const std::string& bytes) {
  auto data = ZULGzip::zul_dataByGzippingData(bytesOf(bytes), nullptr);
  return data ? std::string(data->begin(), data->end()) : std::string();
}

class MSRETaskManagerTest : public ExperimentTest {
 protected:
  void SetUp() override {
    ExperimentTest::SetUp();
    installMainBundle(device_, ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"}});
  }
  // A started manager with "app_measurement" registered.
  std::shared_ptr<MSREManager> startManager(std::shared_ptr<MSREExperimentObserverDelegate> observer = nullptr) {
    auto manager = makeManager();
    auto client = manager->registerSDKProperty(std::make_shared<MSRESDKProperty>(kSDK), ns::Dictionary{{"a", 1}});
    if (observer) client->setDelegate(observer);
    manager->dispatchSyncOnSerialQueue([] {});
    manager->taskManager()->startTaskManager();
    drain(*manager->taskManager());
    return manager;
  }
  // Moves the clock to `when` (seconds after kExperimentNow) and lets what
  // fell due run on the worker queue.
  void advanceTo(MSRETaskManager& taskManager, double when) {
    ns::Clock::advance(kExperimentNow + when - now());
    drain(taskManager);
  }
  // When the armed fetch is due, seconds after kExperimentNow; none when
  // nothing is armed.
  static std::optional<double> armed(MSRETaskManager& taskManager) {
    std::optional<double> due;
    taskManager.workerQueue()->sync([&] {
      if (auto date = taskManager.alarm()->scheduledTimestamp()) due = date->timeIntervalSince1970() - kExperimentNow;
    });
    return due;
  }
  std::optional<double> stored(const char* key) {
    auto value = MSRUserDefaults("MSRExperimentSuiteName").objectForKey(key);
    if (!value) return std::nullopt;
    return value->doubleValue() - kExperimentNow;
  }

  ExperimentServer service_;
};

TEST_F(MSRETaskManagerTest, FetchTimes) {
  // (success, failure) in seconds after now, 0 for none; whether it is the
  // process's first computation; the answer after now, or none for 0.
  struct Case {
    const char* name;
    double success;
    double failure;
    bool first;
    std::optional<double> expected;
  };
  const double init = 0;  // the task manager is made at now
  const std::vector<Case> cases = {
      {"first launch ever", 0, 0, true, 10},
      {"success an hour old", -3600, 0, true, 10800},
      {"success 5 hours old", -18000, 0, true, 10},
      {"after a success", -60, 0, false, 14340},
      {"success 5 hours old, first fetch failed", -18000, 10, false, 1800},
      {"no success, a failure: from the start of the process", 0, init + 100, false, init + 1800},
      {"no success, third failure", 0, init + 12600, false, init + 27000},
      {"no success, ladder spent", 0, init + 113400, false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto taskManager = makeTaskManager();
    if (!c.first) taskManager->fetchTimeFromLastSuccessfulTimestamp(0, 0);
    double absolute = [&](double offset) { return offset == 0 ? 0 : kExperimentNow + offset; }(c.success);
    double failure = c.failure == 0 ? 0 : kExperimentNow + c.failure;
    double answer = taskManager->fetchTimeFromLastSuccessfulTimestamp(absolute, failure);
    if (c.expected) {
      EXPECT_EQ(answer - kExperimentNow, *c.expected);
    } else {
      EXPECT_EQ(answer, 0);
    }
  }
}

enum class Body { Gzipped, GzipLabelled, Plain, Garbage, Empty };

class MSRETaskManagerAnswerTest : public MSRETaskManagerTest, public ::testing::WithParamInterface<Body> {};

TEST_P(MSRETaskManagerAnswerTest, TheFirstFetchComesTenSecondsAfterStartAndItsAnswerIsRead) {
  std::string bytes = responseBytes(kResponse);
  Answer answer;
  switch (GetParam()) {
    case Body::Gzipped: answer.body = gzipped(bytes); break;
    case Body::GzipLabelled: answer = {.headers = {{"Content-Encoding", "gzip"}}, .body = gzipped(bytes)}; break;
    case Body::Plain: answer.body = bytes; break;
    case Body::Garbage: answer.body = "not an experiment response"; break;
    case Body::Empty: break;
  }
  service_.server.route("/sdk-exp", answer);
  auto manager = startManager();
  auto& taskManager = *manager->taskManager();
  EXPECT_EQ(armed(taskManager), 10);
  advanceTo(taskManager, 9);
  EXPECT_EQ(service_.server.requestCount(), 0u);
  advanceTo(taskManager, 10);
  ASSERT_TRUE(waitForRequests(service_.server, 1));
  bool good = GetParam() != Body::Garbage;
  ASSERT_TRUE(waitForCode(good ? 820003 : 820002));
  drain(taskManager);
  manager->dispatchSyncOnSerialQueue([] {});
  EXPECT_EQ(service_.server.requests()[0].method, "POST");

  if (!good) {
    // Not an answer: the snapshots it should have carried come on retry.
    EXPECT_EQ(stored(kMSRExperimentFetchFailureTimestamp), 10);
    EXPECT_EQ(stored(kMSRExperimentFetchSuccessTimestamp), std::nullopt);
    EXPECT_EQ(armed(taskManager), 1800);
    EXPECT_FALSE(manager->activateSnapshotOfSDK(kSDK, nullptr));
    return;
  }
  EXPECT_EQ(stored(kMSRExperimentFetchSuccessTimestamp), 10);
  EXPECT_EQ(stored(kMSRExperimentFetchFailureTimestamp), std::nullopt);
  EXPECT_EQ(armed(taskManager), 10 + 14400);
  if (GetParam() == Body::Empty) {
    EXPECT_FALSE(manager->activateSnapshotOfSDK(kSDK, nullptr));
    return;
  }
  EXPECT_EQ(sqlite(databaseFile(), "SELECT sdk_name, manually_activated FROM pending_snapshot_table"),
            "app_measurement|0");
  ASSERT_TRUE(manager->activateSnapshotOfSDK(kSDK, nullptr));
  EXPECT_EQ(manager->clientForSDKName(kSDK)->valueForFlag("a"), ns::Value(5));
}

INSTANTIATE_TEST_SUITE_P(Bodies, MSRETaskManagerAnswerTest,
                         ::testing::Values(Body::Gzipped, Body::GzipLabelled, Body::Plain, Body::Garbage, Body::Empty));

TEST_F(MSRETaskManagerTest, TheRequestDescribesTheAppAndEachClient) {
  ns::DeviceFacts facts;
  facts.preferredLanguages = std::vector<std::string>{"de-CH", "en"};
  device_.device().setFacts(facts);
  service_.server.route("/sdk-exp", Answer{.status = 204});
  auto manager = startManager();
  advanceTo(*manager->taskManager(), 10);
  ASSERT_TRUE(waitForRequests(service_.server, 1));
  std::string body = service_.server.requests()[0].body;
  std::string file = device_.path("request.gz");
  writeFile(file, body);
  std::string decoded;
  ASSERT_EQ(run("gzip -dc " + shellQuoted(file) + " | " + std::string(MSRP_PROTOC) + " -I" +
                    shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
                    " --decode=msrpb.ExperimentRequest ExperimentMessages.proto",
                &decoded),
            0);
  std::string key = MSRIdentity::sharedInstance()->diversionKey();
  ASSERT_EQ(key.size(), 5u);
  EXPECT_NE(decoded.find("app_property {\n  platform: \"ios\"\n  language: \"de-ch\"\n  bundle_identifier: "
                         "\"com.tavrix.Quillbox\"\n  app_store: false\n  library_version: 10000\n}"),
            std::string::npos)
      << decoded;
  EXPECT_NE(decoded.find("client_properties {\n  sdk_name: \"app_measurement\"\n  diversion_key: \"" + key +
                         "-app_measurement\"\n  version: 0\n}"),
            std::string::npos)
      << decoded;
}

TEST_F(MSRETaskManagerTest, FailuresClimbTheRetryLadderAndItsEndRemovesTheSuccess) {
  // The last success 5 hours before start: the ladder counts from an hour
  // before start.
  MSRUserDefaults("MSRExperimentSuiteName")
      .setObject(ns::Value(kExperimentNow - 18000), kMSRExperimentFetchSuccessTimestamp);
  service_.server.route("/sdk-exp", Answer{.status = 500});
  auto manager = startManager();
  auto& taskManager = *manager->taskManager();
  std::vector<double> due;
  for (size_t attempt = 1; auto next = armed(taskManager); ++attempt) {
    due.push_back(*next);
    advanceTo(taskManager, *next);
    ASSERT_TRUE(waitForCode(820002, attempt));
    drain(taskManager);
    ASSERT_LT(attempt, 10u);
  }
  EXPECT_EQ(due, (std::vector<double>{10, 1800, 9000, 23400, 52200, 109800}));
  EXPECT_EQ(service_.server.requestCount(), 6u);
  EXPECT_EQ(messagesWithCode(820024).size(), 1u);
  EXPECT_EQ(stored(kMSRExperimentFetchSuccessTimestamp), std::nullopt);
  // The next process starts afresh.
  auto next = makeManager(true);
  EXPECT_EQ(armed(*next->taskManager()), 109800 + 10);
}

TEST_F(MSRETaskManagerTest, TooManyRequestsAndUnavailableHoldTwelveHours) {
  for (int status : {429, 503}) {
    SCOPED_TRACE(status);
    Answer answer{.status = status};
    service_.server.route("/sdk-exp", answer);
    auto taskManager = makeTaskManager();
    taskManager->workerQueue()->sync([&] {
      taskManager->fetchTimeFromLastSuccessfulTimestamp(0, 0);
      taskManager->handleFetchingExperimentsResponse(
          net::HTTPURLResponse(*ns::URL::withString("https://experiments.measurement.invalid/sdk-exp"), status, {}),
          std::nullopt, std::nullopt);
    });
    EXPECT_EQ(stored(kMSRExperimentFetchBackoffTimestamp), 0);
    EXPECT_EQ(armed(*taskManager), 43200) << "the retry step (1800) would be sooner";
  }
}

class Declining : public MSREExperimentObserverDelegate {
 public:
  bool shouldFetchExperimentsForClient(MSREClient&) override { return false; }
  bool respondsToSelector(std::string_view selector) const override {
    return selector == "shouldFetchExperimentsForClient:";
  }
};

TEST_F(MSRETaskManagerTest, AClientAnsweringNoPostponesFourHours) {
  auto observer = std::make_shared<Declining>();
  auto manager = startManager(observer);
  auto& taskManager = *manager->taskManager();
  advanceTo(taskManager, 10);
  EXPECT_EQ(service_.server.requestCount(), 0u);
  EXPECT_EQ(stored(kMSRExperimentFetchSuccessTimestamp), 10);
  EXPECT_EQ(armed(taskManager), 10 + 14400);
}

TEST_F(MSRETaskManagerTest, SdkResponsesGiveSnapshotsUnderTheirNamesAndErrors) {
  auto taskManager = makeTaskManager();
  auto response = MSRPBExperimentResponse::initWithBuffer(bytesOf(responseBytes(R"(
      sdk_responses { sdk_name: "alpha" snapshot { sdk_name: "ignored" experiments { experiment_id: 4 } } }
      sdk_responses { sdk_name: "beta" status: 2 }
      sdk_responses { sdk_name: "gamma" status: 9 snapshot { sdk_name: "gamma" } }
      sdk_responses { sdk_name: "" status: 1 })")));
  ASSERT_NE(response, nullptr);
  auto snapshots = taskManager->experimentSnapshotsFromExperimentResponse(response.get());
  ASSERT_TRUE(snapshots.has_value());
  std::vector<std::string> names;
  for (const auto& snapshot : *snapshots) names.push_back(snapshot->SDKName());
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "gamma"}));
  auto errors = taskManager->errorsFromExperimentResponse(response.get());
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors.at("beta").domain(), kMSRExperimentErrorDomain);
  EXPECT_EQ(errors.at("beta").code(), -3);
  EXPECT_EQ(errors.at("gamma").code(), -1);
}

}  // namespace
}  // namespace msr_testing
