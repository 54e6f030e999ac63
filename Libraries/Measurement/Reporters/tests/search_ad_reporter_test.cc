// Search-ads attribution against a TLS server on 127.0.0.1, on the virtual
// clock: the request as the server saw it, the answers that are kept and
// the ones tried again a day later, the limit of ten attempts across a
// relaunch, and the "_cmp" event read back with sqlite3 and protoc.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"
#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRSearchAdReporter.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Runtime/Runtime.h"

namespace {

using namespace msr_testing;

constexpr int64_t kFirstOpenMillis = 1690000000000;

// The attribution class as a test registers it: its token method answers
// what the test set, and counts its calls.
class AttributionStandIn {
 public:
  explicit AttributionStandIn(bool respondsToTokenSelector = true) {
    auto cls = std::make_shared<rt::Class>(kMSRAdAttributionClassName);
    if (respondsToTokenSelector) {
      cls->setMethod(kMSRAdAttributionTokenSelector,
                     rt::implementationWithBlock<std::optional<std::string>(const rt::Class&, ns::Error*)>(
                         [this](const rt::Class&, ns::Error* error) {
                           std::lock_guard lock(mutex_);
                           ++calls_;
                           if (!token_ && error) *error = ns::Error("com.apple.AdServices.AAAttributionErrorCode", 1);
                           return token_;
                         }),
                     rt::MethodKind::Class);
    }
    rt::registerClass(cls);
  }
  ~AttributionStandIn() { rt::unregisterClass(kMSRAdAttributionClassName); }
  void setToken(std::optional<std::string> token) {
    std::lock_guard lock(mutex_);
    token_ = std::move(token);
  }
  int calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> token_ = "token-1";
  int calls_ = 0;
};

class MSRSearchAdReporterTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    const std::string host = *MSREndpoints::attributionURL().host();
    server_ = std::make_unique<net::testing::LoopbackHTTPServer>(
        net::testing::LoopbackHTTPServer::Options{.tls = true, .names = {host}});
    ASSERT_TRUE(net::mapHostToLoopback(host, server_->port()));
    ASSERT_TRUE(net::trustCertificateAuthority("attribution-test", server_->authorityPEM()));
    // No attribution class while the engine starts: its own reporter stays
    // idle, and each case makes the reporter it watches.
    startEngine();
    EXPECT_EQ(countOf(32014), 1);
    standIn_ = std::make_unique<AttributionStandIn>();
  }
  void TearDown() override {
    onWorker([&] { reporter_.reset(); });
    server_->stop();
    standIn_.reset();
    EngineTest::TearDown();
  }

  // A reporter over `config`, enabled and started on the worker queue.
  void startReporter(std::shared_ptr<MSRPersistedConfig> config) {
    onWorker([&] {
      reporter_ = MSRSearchAdReporter::initWithWorkerQueue(engine_->scheduler()->workerQueue(), config);
      ASSERT_NE(reporter_, nullptr);
      reporter_->setSearchAdReporterEnabled(true);
      reporter_->start();
    });
  }
  // A persisted configuration of its own for each case, first opened at
  // kFirstOpenMillis.
  std::shared_ptr<MSRPersistedConfig> freshConfig() {
    auto config = MSRPersistedConfig::initWithSuiteName("search-ads-" + std::to_string(++suites_));
    config->setFirstOpenTimestampMilliseconds(kFirstOpenMillis);
    return config;
  }

  // Pumps the main run loop until `code` has been logged `n` times, then
  // lets the queues finish what they were doing.
  bool waitFor(int64_t code, int64_t n) {
    bool reached = dispatch::RunLoop::main().runUntil([&] { return countOf(code) >= n; }, 60);
    flush();
    return reached;
  }
  bool waitForAttempts(const std::shared_ptr<MSRPersistedConfig>& config, int64_t n) {
    bool reached = dispatch::RunLoop::main().runUntil([&] { return config->searchAdRetryCount() >= n; }, 60);
    flush();
    return reached;
  }
  bool waitForAnswer(const std::shared_ptr<MSRPersistedConfig>& config) {
    bool reached = dispatch::RunLoop::main().runUntil([&] { return config->searchAdCampaignValue().has_value(); }, 60);
    flush();
    return reached;
  }
  // Seconds until the reporter's next attempt; none when nothing is armed.
  std::optional<double> nextAttemptIn() {
    std::optional<double> in;
    onWorker([&] {
      auto alarm = reporter_ ? reporter_->searchAdReporterAlarm() : nullptr;
      if (auto at = alarm ? alarm->scheduledTimestamp() : std::nullopt) {
        in = at->timeIntervalSince1970() - ns::Clock::now().timeIntervalSince1970();
      }
    });
    return in;
  }
  bool dropped() {
    bool none = false;
    onWorker([&] { none = reporter_->searchAdReporterAlarm() == nullptr; });
    return none;
  }

  void setFacts(const std::function<void(ns::DeviceFacts&)>& change) {
    ns::DeviceFacts facts = device_.device().facts();
    change(facts);
    device_.device().setFacts(facts);
  }

  // The stored "_cmp" events' parameters (name -> value as protoc prints it).
  std::vector<std::map<std::string, std::string>> storedCampaignEvents() {
    std::vector<std::map<std::string, std::string>> out;
    std::istringstream rows(query("SELECT rowid FROM raw_events WHERE name = '_cmp' ORDER BY rowid"));
    std::string row;
    while (std::getline(rows, row)) {
      if (row.empty()) continue;
      out.push_back(parseBundleText("events {\n" + decodedEvent(std::stoll(row)) + "}\n").events.at(0).params);
    }
    return out;
  }

  std::unique_ptr<net::testing::LoopbackHTTPServer> server_;
  std::unique_ptr<AttributionStandIn> standIn_;
  std::shared_ptr<MSRSearchAdReporter> reporter_;
  int suites_ = 0;
};

TEST_F(MSRSearchAdReporterTest, AnAnswerIsKeptAndAnAttributedOneLogsTheCampaign) {
  struct Case {
    const char* what;
    std::string answer;
    int64_t firstOpen;
    bool attributed;
    std::map<std::string, std::string> params;
  } cases[] = {
      {"attributed",
       R"({"attribution": true, "orgId": 1, "campaignId": 1234567, "adId": 42, "keywordId": 7})",
       kFirstOpenMillis,
       true,
       {{"_o", "\"auto\""},
        {"source", "\"Apple\""},
        {"medium", "\"search\""},
        {"campaign", "\"1234567\""},
        {"term", "\"7\""},
        {"click_timestamp", std::to_string(kFirstOpenMillis - 1)}}},
      {"no keyword, first open at 1 ms",
       R"({"attribution": true, "campaignId": "c-9", "adId": 42, "keywordId": ""})",
       1,
       true,
       {{"_o", "\"auto\""}, {"source", "\"Apple\""}, {"medium", "\"search\""}, {"campaign", "\"c-9\""}}},
      {"not attributed", R"({"attribution": false, "campaignId": 1234567})", kFirstOpenMillis, false, {}},
  };
  std::vector<std::map<std::string, std::string>> logged;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    server_->route("/api/v1/", net::testing::Answer{.body = c.answer});
    auto config = freshConfig();
    config->setFirstOpenTimestampMilliseconds(c.firstOpen);
    const int64_t withoutClick = countOf(32009);
    startReporter(config);
    ASSERT_TRUE(waitForAnswer(config));
    EXPECT_EQ(config->searchAdCampaignValue(), ns::Value(c.attributed));
    EXPECT_EQ(config->searchAdRetryCount(), 1);
    EXPECT_TRUE(dropped()) << "answered: never scheduled again";
    EXPECT_EQ(countOf(32009), withoutClick + (c.firstOpen < 2 ? 1 : 0));
    if (c.attributed) logged.push_back(c.params);
    // A later start makes no reporter.
    EXPECT_EQ(MSRSearchAdReporter::initWithWorkerQueue(engine_->scheduler()->workerQueue(), config), nullptr);
  }
  EXPECT_EQ(countOf(32002), 3);
  EXPECT_EQ(storedCampaignEvents(), logged);
}

TEST_F(MSRSearchAdReporterTest, TheRequestAsTheServerSawIt) {
  server_->route("/api/v1/", net::testing::Answer{.body = R"({"attribution": false})"});
  standIn_->setToken("the-token \xE2\x9C\x93");
  auto config = freshConfig();
  startReporter(config);
  ASSERT_TRUE(waitForAnswer(config));
  auto requests = server_->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/v1/");
  EXPECT_EQ(requests[0].header("cache-control"), "no-cache");
  EXPECT_EQ(requests[0].header("Content-Type"), "text/plain");
  EXPECT_EQ(requests[0].body, "the-token \xE2\x9C\x93");
  EXPECT_DOUBLE_EQ(config->lastSearchAdLookUpTimestamp(), kNow);
}

TEST_F(MSRSearchAdReporterTest, UnansweredAttemptsAreRepeatedDaily) {
  struct Case {
    const char* what;
    net::testing::Answer answer;
    int64_t code;  // what the attempt's end logs
  } cases[] = {
      {"connection lost", net::testing::Answer{.body = "{}", .cut = net::testing::Answer::Cut::Close}, 32015},
      {"server error with JSON", net::testing::Answer{.status = 500, .body = R"({"attribution": false})"}, 32015},
      {"not JSON", net::testing::Answer{.body = "<html>busy</html>"}, 32017},
      {"an array", net::testing::Answer{.body = "[]"}, 32017},
      {"a string", net::testing::Answer{.body = R"("x")"}, 32017},
      {"null", net::testing::Answer{.body = "null"}, 32017},
      {"an empty object", net::testing::Answer{.body = "{}"}, 32005},
      {"test data",
       net::testing::Answer{.body = R"({"attribution": true, "adId": 1234567890, "campaignId": 1234567890})"}, 32016},
  };
  std::vector<net::testing::Answer> answers;
  for (const auto& c : cases) answers.push_back(c.answer);
  answers.push_back(net::testing::Answer{.body = R"({"attribution": true, "campaignId": 5})"});
  server_->route("/api/v1/", answers);

  auto config = freshConfig();
  int64_t attempt = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int64_t before = countOf(c.code);
    if (attempt++ == 0) {
      startReporter(config);
    } else {
      ASSERT_EQ(nextAttemptIn(), 86400);
      ns::Clock::advance(86400);
    }
    ASSERT_TRUE(waitFor(c.code, before + 1));
    EXPECT_EQ(server_->requestCount(), static_cast<size_t>(attempt));
    EXPECT_EQ(config->searchAdRetryCount(), attempt) << "every attempt counts";
    EXPECT_FALSE(config->searchAdCampaignValue()) << "nothing kept";
  }
  // The ninth attempt has the answer.
  ASSERT_EQ(nextAttemptIn(), 86400);
  ns::Clock::advance(86400);
  ASSERT_TRUE(waitForAnswer(config));
  EXPECT_EQ(config->searchAdRetryCount(), 9);
  EXPECT_TRUE(dropped());
  EXPECT_EQ(storedCampaignEvents().size(), 1u);
}

TEST_F(MSRSearchAdReporterTest, TheTenthFailedAttemptIsTheLast) {
  server_->route("/api/v1/", net::testing::Answer{.status = 503});
  // Nine attempts made by earlier launches; the last one a day ago.
  config_->setSearchAdRetryCount(9);
  config_->setLastSearchAdLookUpTimestamp(kNow - 86400);
  // This launch's engine starts the reporter with the class present.
  flush();
  MSRAnalyticsResetForTesting();
  MSRMeasurementForgetSharedInstanceForTesting();
  auto scheduler = engine_->scheduler();
  scheduler->dispatchSyncOnWorkerQueueBlockID("test", [&] { engine_.reset(); });
  startEngine();
  ASSERT_TRUE(waitFor(32015, 1));
  EXPECT_EQ(server_->requestCount(), 1u);
  EXPECT_EQ(config_->searchAdRetryCount(), 10);
  EXPECT_EQ(countOf(32007), 1) << "no eleventh attempt is scheduled";
  EXPECT_EQ(countOf(32013), 1) << "the failed answer finds scheduling over";
  ns::Clock::advance(86400);
  flush();
  EXPECT_EQ(server_->requestCount(), 1u);

  // The next launch makes no reporter.
  config_->synchronizeToDisk();
  EXPECT_EQ(configChild(device_, {"search-ad", "engine"}), std::vector<std::string>{"none 10"});
  config_->setSearchAdRetryCount(9);
  config_->synchronizeToDisk();
  EXPECT_EQ(configChild(device_, {"search-ad", "engine"}), std::vector<std::string>{"reporter 9"});
}

TEST_F(MSRSearchAdReporterTest, NoTokenNoRequestButTheAttemptCounts) {
  struct Case {
    const char* what;
    std::optional<std::string> token;
    bool responds;
    int64_t code;  // 0: none
  } cases[] = {
      {"a token error", std::nullopt, true, 32018},
      {"an empty token", "", true, 0},
      {"no token method", "token", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    standIn_.reset();
    standIn_ = std::make_unique<AttributionStandIn>(c.responds);
    standIn_->setToken(c.token);
    const int64_t before = c.code ? countOf(c.code) : 0;
    auto config = freshConfig();
    startReporter(config);
    ASSERT_TRUE(waitForAttempts(config, 1));
    // The attempt ran: the next one is a day away.
    EXPECT_EQ(nextAttemptIn(), 86400);
    if (c.code) EXPECT_EQ(countOf(c.code), before + 1);
    EXPECT_EQ(standIn_->calls(), c.responds ? 1 : 0);
  }
  EXPECT_EQ(server_->requestCount(), 0u);
}

TEST_F(MSRSearchAdReporterTest, OnlyARealDeviceFrom14_3Asks) {
  struct Case {
    const char* what;
    std::string version, model;
    int64_t code;  // 0: scheduled
  } cases[] = {
      {"14.2", "14.2", "iPhone14,2", 32014},
      {"a simulator", "16.0", "x86_64", 32019},
      {"14.3", "14.3", "iPhone14,2", 0},
  };
  server_->route("/api/v1/", net::testing::Answer{.body = "{}"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setFacts([&](ns::DeviceFacts& f) {
      f.systemVersion = c.version;
      f.modelIdentifier = c.model;
    });
    const int64_t before = c.code ? countOf(c.code) : countOf(32005);
    auto config = freshConfig();
    startReporter(config);
    if (c.code) {
      EXPECT_EQ(countOf(c.code), before + 1);
      EXPECT_FALSE(nextAttemptIn());
      EXPECT_EQ(config->searchAdRetryCount(), 0);
    } else {
      ASSERT_TRUE(waitFor(32005, before + 1));
      EXPECT_EQ(config->searchAdRetryCount(), 1);
    }
  }
  EXPECT_EQ(server_->requestCount(), 1u);
}

TEST_F(MSRSearchAdReporterTest, ADisabledReporterMakesNoAttempt) {
  auto config = freshConfig();
  config->setLastSearchAdLookUpTimestamp(kNow - 3600);
  startReporter(config);
  ASSERT_EQ(nextAttemptIn(), 86400 - 3600);
  // Analytics switched off meanwhile: the alarm fires and asks nothing.
  onWorker([&] { reporter_->setSearchAdReporterEnabled(false); });
  ns::Clock::advance(86400);
  flush();
  EXPECT_EQ(server_->requestCount(), 0u);
  EXPECT_EQ(config->searchAdRetryCount(), 0);
  EXPECT_FALSE(nextAttemptIn());
}

}  // namespace
