// SKAdNetwork conversion values on the virtual clock against a TLS server on
// 127.0.0.1: when a fetch is due, the request as the server decodes it
// (gzip, protoc), the answers (made with protoc, served gzipped) that set a
// value, those that stop and those retried up to the limit, and the "_skan"
// event read back from the database with sqlite3 and protoc.
#include <gtest/gtest.h>

#include <limits>

#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"
#include "Platform/StoreKit/AdNetwork.h"

namespace {

using namespace msr_testing;

constexpr int64_t kDay = 86400000;
constexpr int64_t kNowMillis = 1700000000000;

class MSRMeasurementSKANTest : public UploadTest {
 protected:
  void SetUp() override {
    UploadTest::SetUp();
    setSystemVersion("16.1");
    configure({{"measurement.skan.update_conversion_value_enabled", "1"}});
    // Past the first postback window unless a case says otherwise.
    persistedConfig_->setFirstOpenTimestampMilliseconds(kNowMillis - 3 * kDay);
    sk::AdNetwork::resetPostbackUpdates();
  }
  void TearDown() override {
    worker([&] {
      if (auto alarm = engine_->SKANDelayAlarm()) alarm->cancel();
      if (auto alarm = engine_->SKANRetryAlarm()) alarm->cancel();
    });
    sk::AdNetwork::resetPostbackUpdates();
    UploadTest::TearDown();
  }

  void setSystemVersion(const std::string& version) {
    ns::DeviceFacts facts = device_.device().facts();
    facts.systemVersion = version;
    device_.device().setFacts(facts);
  }

  // A response message from its text form, as the server's bytes.
  static std::string response(const std::string& text) {
    std::string bytes = protoc("--encode=msrpb.SkAdNetworkConversionValueResponse ExperimentMessages.proto", text);
    EXPECT_FALSE(bytes.empty() && !text.empty()) << text;
    return bytes;
  }
  static std::string gzipped(const std::string& bytes) {
    std::string path = ns::FileManager::defaultManager().temporaryDirectory().path() + "/skan-answer";
    writeFile(path, bytes);
    std::string out;
    EXPECT_EQ(run("gzip -c < " + shellQuoted(path), &out), 0);
    return out;
  }
  // The answer as the service sends it: gzipped and labelled so.
  static net::testing::Answer served(const std::string& text) {
    return net::testing::Answer{.headers = {{"Content-Encoding", "gzip"}}, .body = gzipped(response(text))};
  }
  // A value to set: fine 5, coarse high, locked, valid for a minute,
  // evaluated now, backed off for a second; `changes` replace fields ("" drops one).
  static std::string usable(const std::map<std::string, std::string>& changes = {}) {
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"status", "1"},
        {"skan_message", "\"m\""},
        {"fine_value", "5"},
        {"coarse_value", "3"},
        {"lock_window", "true"},
        {"result_time_millis", std::to_string(kNowMillis + 60000)},
        {"evaluation_event_time_millis", std::to_string(kNowMillis)},
        {"backoff_millis", "1000"}};
    std::string text;
    for (const auto& [name, value] : fields) {
      auto changed = changes.find(name);
      const std::string& written = changed == changes.end() ? value : changed->second;
      if (!written.empty()) text += name + ": " + written + " ";
    }
    return text;
  }

  std::vector<net::testing::RecordedRequest> skanRequests() {
    std::vector<net::testing::RecordedRequest> out;
    for (auto& request : server_->requests()) {
      if (request.path() == "/skan") out.push_back(std::move(request));
    }
    return out;
  }
  // Waits until the server has seen `n` fetches and the engine has
  // handled the last answer. The engine is asked without waiting on its
  // worker queue, which may be waiting on the main thread.
  bool settled(size_t n) {
    auto probe = std::make_shared<std::atomic<int>>(-1);
    bool asked = false;
    return until([&] {
      if (skanRequests().size() < n) return false;
      int answer = probe->load();
      if (answer == 1) return true;
      if (!asked || answer == 0) {
        probe->store(-1);
        asked = true;
        std::weak_ptr<MSRMeasurement> weak = engine_;
        engine_->scheduler()->workerQueue()->async([weak, probe] {
          auto engine = weak.lock();
          probe->store(engine && !engine->isSKANRequestInProgress() ? 1 : 0);
        });
      }
      return false;
    });
  }
  // One fetch with this answer, handled.
  void fetchWith(const net::testing::Answer& answer) {
    server_->route("/skan", answer);
    size_t before = skanRequests().size();
    worker([&] { engine_->fetchSKANCV(); });
    ASSERT_TRUE(settled(before + 1));
  }
  // When the delay or the retry alarm is due, in seconds from now; none
  // when idle.
  std::optional<double> dueIn(bool delay) {
    std::optional<double> in;
    worker([&] {
      auto alarm = delay ? engine_->SKANDelayAlarm() : engine_->SKANRetryAlarm();
      if (auto at = alarm ? alarm->scheduledTimestamp() : std::nullopt) in = at->timeIntervalSince1970() - now();
    });
    return in;
  }
  std::optional<double> delayDue() { return dueIn(true); }
  std::optional<double> retryDue() { return dueIn(false); }
  int64_t retryCount() {
    int64_t count = 0;
    worker([&] { count = engine_->SKANRetryCount(); });
    return count;
  }

  // The stored "_skan" events as protoc prints them (the row keeps the
  // name, the message the rest).
  std::vector<std::string> storedSkanEvents() {
    std::vector<std::string> out;
    std::string rows = sql("SELECT rowid FROM raw_events WHERE name = '_skan' ORDER BY rowid");
    std::istringstream lines(rows);
    std::string row;
    while (std::getline(lines, row)) {
      if (row.empty()) continue;
      out.push_back(protoc("--decode=msrpb.Event UploadMessages.proto",
                           sqliteBlob(path_, "SELECT data FROM raw_events WHERE rowid = " + row)));
    }
    return out;
  }
};

TEST_F(MSRMeasurementSKANTest, AnUploadArmsTheFetchOnlyWhenOneIsDue) {
  struct Case {
    const char* what;
    std::string version;
    bool enabled;
    int64_t sinceFirstOpen;
    bool armed;
  } cases[] = {
      {"16.1", "16.1", true, 3 * kDay, true},
      {"17.2", "17.2", true, 3 * kDay, true},
      {"16.0 never", "16.0", true, 3 * kDay, false},
      {"flag off", "16.1", false, 3 * kDay, false},
      {"last day of the windows", "16.1", true, 35 * kDay, true},
      {"all windows over", "16.1", true, 35 * kDay + 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setSystemVersion(c.version);
    configure({{"measurement.skan.update_conversion_value_enabled", c.enabled ? "1" : "0"}});
    persistedConfig_->setFirstOpenTimestampMilliseconds(kNowMillis - c.sinceFirstOpen);
    worker([&] {
      if (auto alarm = engine_->SKANDelayAlarm()) alarm->cancel();
    });
    queueBundle(kAppID, kNow - 60);
    uploadOnce();
    EXPECT_EQ(delayDue().has_value(), c.armed);
    // Asked directly, a fetch that is not due sends nothing.
    bool sent = true;
    size_t before = skanRequests().size();
    worker([&] {
      if (auto alarm = engine_->SKANDelayAlarm()) alarm->cancel();
      engine_->fetchSKANCV();
      sent = engine_->isSKANRequestInProgress();
    });
    EXPECT_EQ(sent, c.armed);
    if (sent) ASSERT_TRUE(settled(before + 1));
  }
}

TEST_F(MSRMeasurementSKANTest, TheFirstWindowIncludesItsLastMillisecond) {
  configure({{"measurement.skan.update_conversion_value_enabled", "1"},
             {"measurement.skan.first_window.cv_fetch_retry_interval_sec", "300000"},
             {"measurement.skan.cv_fetch_retry_interval_sec", "600000"},
             {"measurement.skan.first_window.cv_fetch_retry_limit", "2"},
             {"measurement.skan.cv_fetch_retry_limit", "3"}});
  struct Case {
    int64_t sinceFirstOpen;
    double delay, interval;
    int32_t limit;
  } cases[] = {
      {2 * kDay, 20, 300, 2},
      {2 * kDay + 1, 120, 600, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sinceFirstOpen);
    persistedConfig_->setFirstOpenTimestampMilliseconds(kNowMillis - c.sinceFirstOpen);
    bool inWindow = false;
    int32_t limit = 0;
    worker([&] {
      engine_->scheduleSKANCVFetchAfterDataUpload();
      inWindow = engine_->isInFirstSKANPostbackWindow();
      limit = engine_->SKANFetchRetryLimit();
    });
    EXPECT_EQ(inWindow, c.delay == 20);
    EXPECT_EQ(limit, c.limit);
    EXPECT_EQ(delayDue(), c.delay);
    fetchWith(net::testing::Answer{.status = 500});
    EXPECT_FALSE(delayDue()) << "a fetch disarms the delay";
    EXPECT_EQ(retryDue(), c.interval);
  }
  EXPECT_EQ(count(23241), 2u);
}

TEST_F(MSRMeasurementSKANTest, TheRequestAsTheServerSawIt) {
  persistedConfig_->setSKANEvaluationEventTimeMillis(kNowMillis - 5000);
  persistedConfig_->setLastUploadedEventTimestampMillis(kNowMillis - 7000);
  std::string appInstanceID;
  worker([&] { appInstanceID = engine_->identity()->appInstanceID().value_or(""); });
  ASSERT_FALSE(appInstanceID.empty());
  fetchWith(served(usable()));

  auto requests = skanRequests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/skan");
  EXPECT_EQ(request.header("Accept-Encoding"), "gzip");
  EXPECT_EQ(request.header("Content-Encoding"), "gzip");
  std::string text =
      protoc("--decode=msrpb.SkAdNetworkConversionValueRequest ExperimentMessages.proto", gunzipBody(request.body));
  EXPECT_EQ(text, "library_version: " + std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()) + "\napp_id: \"" +
                      kAppID + "\"\napp_instance_id: \"" + appInstanceID +
                      "\"\nskan_version: \"4.0\"\nevaluation_event_time_millis: " + std::to_string(kNowMillis - 5000) +
                      "\nlast_upload_timestamp_millis: " + std::to_string(kNowMillis - 7000) + "\n");
  EXPECT_EQ(sk::AdNetwork::postbackUpdates(), (std::vector<sk::PostbackUpdate>{{5, "high", true}}));

  // The version follows the system.
  struct Version {
    const char* system;
    std::string skan;
  } versions[] = {{"17.0", "4.0"}, {"16.0", "3.0"}, {"14.6", "3.0"}, {"14.5", "2.2"},
                  {"14.0", "2.1"}, {"13.7", "1.0"}, {"13.6", "0"}};
  for (const auto& v : versions) {
    setSystemVersion(v.system);
    std::string skan;
    worker([&] { skan = engine_->SKANVersion(); });
    EXPECT_EQ(skan, v.skan) << v.system;
  }
}

TEST_F(MSRMeasurementSKANTest, AnAnswerIsReadGzippedOnlyWhenLabelled) {
  struct Case {
    const char* what;
    net::testing::Answer answer;
    bool set;
  } cases[] = {
      {"gzipped, labelled", served(usable()), true},
      {"plain", net::testing::Answer{.body = response(usable())}, true},
      {"gzipped, unlabelled", net::testing::Answer{.body = gzipped(response(usable()))}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sk::AdNetwork::resetPostbackUpdates();
    size_t invalid = count(23243);
    fetchWith(c.answer);
    EXPECT_EQ(sk::AdNetwork::postbackUpdates().size(), c.set ? 1u : 0u);
    EXPECT_EQ(count(23243), invalid + (c.set ? 0 : 1));
  }
}

TEST_F(MSRMeasurementSKANTest, EachAnswerSetsStopsOrRetries) {
  const std::string future = std::to_string(kNowMillis + 60000), nowText = std::to_string(kNowMillis);
  enum Outcome { Set, Stop, Retry };
  struct Case {
    const char* what;
    net::testing::Answer answer;
    Outcome outcome;
    int64_t code;  // 0: none
    sk::PostbackUpdate update = {};
  } cases[] = {
      {"a value", served(usable()), Set, 23248, {5, "high", true}},
      {"coarse 2 alone",
       served("status: 1 coarse_value: 2 result_time_millis: " + future + " evaluation_event_time_millis: " + nowText),
       Set,
       23248,
       {0, "medium", false}},
      {"fine alone",
       served("status: 1 fine_value: 63 result_time_millis: " + future + " evaluation_event_time_millis: " + nowText),
       Set,
       23248,
       {63, "low", false}},
      {"fine 64", served(usable({{"fine_value", "64"}})), Stop, 23245},
      {"fine -1", served(usable({{"fine_value", "-1"}})), Stop, 23245},
      {"neither value", served("status: 1 result_time_millis: " + future + " evaluation_event_time_millis: " + nowText),
       Stop, 23251},
      {"no evaluation time", served("status: 1 fine_value: 1 result_time_millis: " + future), Retry, 23244},
      {"no result time", served("status: 1 fine_value: 1 evaluation_event_time_millis: " + nowText), Retry, 23255},
      {"expired", served(usable({{"result_time_millis", std::to_string(kNowMillis - 1)}})), Retry, 23246},
      {"outdated", served(usable({{"evaluation_event_time_millis", std::to_string(kNowMillis - 60001)}})), Retry,
       23247},
      {"nothing to set", served("status: 2"), Stop, 0},
      {"no status", served("fine_value: 1"), Retry, 0},
      {"status 3", served("status: 3"), Retry, 0},
      {"304", net::testing::Answer{.status = 304}, Stop, 0},
      {"500", net::testing::Answer{.status = 500}, Retry, 23241},
      {"empty", net::testing::Answer{}, Stop, 23242},
      {"not a message", net::testing::Answer{.body = "\x1f\x1f\x1f"}, Stop, 23243},
  };
  persistedConfig_->setLastUploadedEventTimestampMillis(kNowMillis - 60000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sk::AdNetwork::resetPostbackUpdates();
    // No server backoff in force, which would lower the limit to 1.
    persistedConfig_->setSKANEvaluationEventTimeMillis(0);
    persistedConfig_->setSKANEvaluationUpdateBackoffMillis(0);
    // A failed fetch first: whether the answer resets the count shows.
    fetchWith(net::testing::Answer{.status = 500});
    ASSERT_EQ(retryCount(), 1);
    size_t logged = c.code ? count(c.code) : 0;
    fetchWith(c.answer);
    if (c.code) EXPECT_EQ(count(c.code), logged + 1);
    EXPECT_EQ(retryCount(), c.outcome == Retry ? 2 : 0);
    EXPECT_EQ(retryDue().has_value(), c.outcome == Retry);
    EXPECT_EQ(sk::AdNetwork::postbackUpdates(),
              c.outcome == Set ? std::vector<sk::PostbackUpdate>{c.update} : std::vector<sk::PostbackUpdate>{});
    // A value set is remembered for the next request, with its backoff.
    EXPECT_EQ(persistedConfig_->SKANEvaluationEventTimeMillis(), c.outcome == Set ? kNowMillis : 0);
    worker([&] {
      if (auto alarm = engine_->SKANRetryAlarm()) alarm->cancel();
      engine_->stopProcessingSKANResponseAndResetRetryCount();
    });
  }
}

TEST_F(MSRMeasurementSKANTest, AnOutdatedValueIsRetriedUpToTheLimit) {
  persistedConfig_->setLastUploadedEventTimestampMillis(kNowMillis);
  server_->route("/skan", served(usable({{"evaluation_event_time_millis", std::to_string(kNowMillis - 1)},
                                         {"result_time_millis", std::to_string(kNowMillis + kDay)}})));
  worker([&] { engine_->fetchSKANCV(); });
  ASSERT_TRUE(settled(1));
  // The general limit, 4: four retries on the alarm, then no more.
  for (size_t fetched = 2; fetched <= 5; ++fetched) {
    ASSERT_EQ(retryDue(), 120) << fetched;
    ns::Clock::advance(120);
    ASSERT_TRUE(settled(fetched));
  }
  EXPECT_EQ(count(23247), 5u);
  EXPECT_EQ(count(23250), 1u);
  EXPECT_FALSE(retryDue());
  EXPECT_EQ(retryCount(), 5);
  EXPECT_TRUE(sk::AdNetwork::postbackUpdates().empty());
}

TEST_F(MSRMeasurementSKANTest, AServerBackoffStillInForceLimitsRetriesToOne) {
  struct Case {
    const char* what;
    int64_t evaluation, backoff;
    int32_t limit;
  } cases[] = {
      {"none persisted", 0, 0, 4},
      {"over", kNowMillis - 10, 9, 4},
      {"ends now", kNowMillis - 10, 10, 1},
      {"in force", kNowMillis - 10, kDay, 1},
      {"backoff alone", 0, kDay, 4},
      // A sum past the 64-bit range is far in the future, not in the past.
      {"huge", std::numeric_limits<int64_t>::max() - 1, std::numeric_limits<int64_t>::max() - 1, 1},
      {"huge backoff", 1, std::numeric_limits<int64_t>::max(), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    persistedConfig_->setSKANEvaluationEventTimeMillis(c.evaluation);
    persistedConfig_->setSKANEvaluationUpdateBackoffMillis(c.backoff);
    int32_t limit = 0;
    worker([&] { limit = engine_->SKANFetchRetryLimit(); });
    EXPECT_EQ(limit, c.limit);
  }
}

TEST_F(MSRMeasurementSKANTest, TheSystemsAnswerDecidesTheSkanEvent) {
  struct Case {
    const char* what;
    std::optional<ns::Error> error;
    bool logged;
  } cases[] = {
      {"success", std::nullopt, true},
      {"code 10 still counts", ns::Error(sk::kAdNetworkErrorDomain, 10), true},
      {"another code", ns::Error(sk::kAdNetworkErrorDomain, 3), false},
      {"another domain", ns::Error("NSCocoaErrorDomain", 10), false},
  };
  // The start's own events were logged too.
  size_t stored = count(23072);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sk::AdNetwork::setPostbackUpdateError(c.error);
    size_t failures = count(23249);
    fetchWith(served(usable()));
    if (c.logged) {
      ASSERT_TRUE(waitFor(23072, ++stored));
    } else {
      ASSERT_TRUE(waitFor(23249, failures + 1));
    }
    EXPECT_EQ(count(23072), stored);
    worker([&] { engine_->alarm()->cancel(); });
  }
  auto events = storedSkanEvents();
  ASSERT_EQ(events.size(), 2u);
  for (const auto& text : events) {
    auto event = parseBundleText("events {\n" + text + "}\n").events.at(0);
    EXPECT_EQ(event.timestamp, kNowMillis);
    EXPECT_EQ(event.params, (std::map<std::string, std::string>{{"_o", "\"auto\""},
                                                                {"_skanm", "\"m\""},
                                                                {"_skanf", "5"},
                                                                {"_skanc", "3"},
                                                                {"_skanl", "1"},
                                                                {"_skane", std::to_string(kNowMillis)}}));
  }
}

TEST_F(MSRMeasurementSKANTest, AFetchAskedOfflineGoesOutWhenReachabilityReturns) {
  server_->route("/skan", served(usable()));
  setOnline(false);
  bool waiting = false;
  worker([&] {
    engine_->fetchSKANCV();
    waiting = engine_->fetchSKANWhenNetworkConnected();
  });
  EXPECT_TRUE(waiting);
  EXPECT_TRUE(skanRequests().empty());
  setOnline(true);
  ASSERT_TRUE(settled(1));
  worker([&] { waiting = engine_->fetchSKANWhenNetworkConnected(); });
  EXPECT_FALSE(waiting);
  EXPECT_EQ(sk::AdNetwork::postbackUpdates().size(), 1u);
}

}  // namespace
