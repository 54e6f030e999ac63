// On-device conversion lookups with a client class registered for the
// case, its lookups served over TLS on 127.0.0.1: the start checks, a
// match, the retry ladder, a lookup postponed behind an upload, the
// missing library, and the match's expiry.
#include <gtest/gtest.h>

#include <future>

#include "Libraries/Measurement/Core/MSRPSMClient.h"
#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"

namespace msr_testing {
namespace {

constexpr const char* kHost = "psm.measurement.invalid";

// The separately linked library's client, as a stand-in: its URL is the
// loopback server's, and an answer's body is the matched value.
class StandInClient : public MSRPSMClient {
 public:
  explicit StandInClient(int64_t type) : type_(type) {}
  std::optional<std::string> PSMRequestURLWithRetryCount(int64_t retryCount) override {
    return "https://" + std::string(kHost) + "/lookup?retry=" + std::to_string(retryCount);
  }
  int64_t inputType() const override { return type_; }
  std::string parsedPSMValueFromResponse(const ns::Data& response) override {
    return std::string(response.begin(), response.end());
  }

 private:
  int64_t type_;
};

class StandInClientClass : public rt::Class, public MSRPSMClientClass {
 public:
  StandInClientClass() : rt::Class(kMSRPrivateSetMembershipClientClassName) {}
  std::shared_ptr<MSRPSMClient> initWithEmailAddress(const std::string&, const std::string&) override {
    return std::make_shared<StandInClient>(1);
  }
  std::shared_ptr<MSRPSMClient> initWithPhoneNumber(const std::string&, const std::string&) override {
    return std::make_shared<StandInClient>(MSRPSMClient::kInputTypePhoneNumber);
  }
};

class MSRMeasurementPSMTest : public UploadTest {
 protected:
  void SetUp() override {
    UploadTest::SetUp();
    lookups_ = std::make_unique<net::testing::LoopbackHTTPServer>(
        net::testing::LoopbackHTTPServer::Options{.tls = true, .names = {kHost}});
    ASSERT_TRUE(net::mapHostToLoopback(kHost, lookups_->port()));
    ASSERT_TRUE(net::trustCertificateAuthority("psm-test", lookups_->authorityPEM()));
    rt::registerClass(std::make_shared<StandInClientClass>());
  }
  void TearDown() override {
    worker([&] {
      if (engine_->PSMRetryAlarm()) engine_->PSMRetryAlarm()->cancel();
    });
    rt::unregisterClass(kMSRPrivateSetMembershipClientClassName);
    lookups_->stop();
    UploadTest::TearDown();
  }
  void setProperty(const std::string& name, const MSRValue& value, double at) {
    worker([&] { engine_->setUserAttributeOnWorkerQueue(MSRUserAttribute::initWithOrigin("auto", name, value, at)); });
  }
  std::shared_ptr<MSRUserAttribute> property(const std::string& name) {
    std::shared_ptr<MSRUserAttribute> found;
    worker([&] { found = engine_->database()->userAttributeWithName(name, nullptr); });
    return found;
  }
  // Starts a lookup with an e-mail address and waits for the answer.
  void lookUp(int64_t answerCode) {
    size_t before = count(answerCode);
    worker([&] { engine_->setUserDataOnWorkerQueue(ns::Dictionary{{"email_address", "a@example.com"}}); });
    ASSERT_TRUE(waitFor(answerCode, before + 1));
  }
  std::optional<double> retryDelay() {
    std::optional<double> delay;
    worker([&] {
      auto alarm = engine_->PSMRetryAlarm();
      if (alarm) {
        if (auto at = alarm->scheduledTimestamp()) delay = at->timeIntervalSince1970() - now();
      }
    });
    return delay;
  }

  std::unique_ptr<net::testing::LoopbackHTTPServer> lookups_;
};

TEST_F(MSRMeasurementPSMTest, TheStartChecksInOrder) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> settings;
    bool registered;
    bool matched;
    std::string email;
    bool allowed;
    int64_t code;  // 0: none logged
  } cases[] = {
      {"empty address", {}, true, false, "", false, 23234},
      {"no client class", {{"measurement.psm_enabled", "0"}}, false, true, "a@b", false, 23233},
      {"feature off", {{"measurement.psm_enabled", "0"}, {"measurement.psm_start_count", "0"}}, true, true, "a@b",
       false, 0},
      {"starts used up", {{"measurement.psm_start_count", "0"}}, true, true, "a@b", false, 23236},
      {"a match exists", {{"measurement.psm_retry_count", "0"}}, true, true, "a@b", false, 23237},
      {"retries used up", {{"measurement.psm_retry_count", "0"}}, true, false, "a@b", false, 23238},
      {"all clear", {}, true, false, "a@b", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    configure(c.settings);
    if (c.registered) {
      rt::registerClass(std::make_shared<StandInClientClass>());
    } else {
      rt::unregisterClass(kMSRPrivateSetMembershipClientClassName);
    }
    worker([&] { engine_->database()->deleteUserAttributeWithName("_psmvalue", nullptr); });
    if (c.matched) setProperty("_psmvalue", MSRValue::initWithString("m"), now());
    MSRMonitorWaitForTesting();
    monitor_.clear();
    bool allowed = !c.allowed;
    worker([&] { allowed = engine_->shouldRetrievePSMResponseWithEmailAddress(c.email); });
    EXPECT_EQ(allowed, c.allowed);
    MSRMonitorWaitForTesting();
    std::vector<int64_t> refusals;
    for (auto code : monitor_.codes())
      if (code >= 23233 && code <= 23239) refusals.push_back(code);
    EXPECT_EQ(refusals, c.code ? std::vector<int64_t>{c.code} : std::vector<int64_t>{});
  }
  worker([&] { EXPECT_FALSE(engine_->shouldRetrievePSMResponseWithPhoneNumber("")); });
  EXPECT_EQ(count(23239), 1u);
}

TEST_F(MSRMeasurementPSMTest, AMatchIsStoredAndReportedRealtime) {
  lookups_->route("/lookup", net::testing::Answer{.body = "segment-7"});
  lookUp(23229);
  ASSERT_EQ(lookups_->requests().size(), 1u);
  const int64_t firstOpenSeconds = persistedConfig_->firstOpenTimestampMilliseconds() / 1000;
  EXPECT_EQ(lookups_->requests()[0].target,
            "/lookup?retry=0&psm_count=0&timestamp_first_open=" + std::to_string(firstOpenSeconds / 60 * 60 + 60));
  auto value = property("_psmvalue");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->value().stringValue(), std::optional<std::string>("segment-7"));
  EXPECT_EQ(property("_psmcount")->value().int64Value(), 1);
  EXPECT_EQ(sql("SELECT is_realtime FROM raw_events WHERE name = '_fx'"), "1");
  std::string row = sql("SELECT rowid FROM raw_events WHERE name = '_fx'");
  std::string text = protoc("--decode=msrpb.Event UploadMessages.proto",
                            sqliteBlob(path_, "SELECT data FROM raw_events WHERE rowid = " + row));
  EXPECT_NE(text.find("name: \"_fxs\"\n  string_value: \"psm\""), std::string::npos) << text;
  EXPECT_FALSE(engine_->isPSMRequestInProgress());

  // No match: nothing stored, the count still rises.
  worker([&] { engine_->database()->deleteUserAttributeWithName("_psmvalue", nullptr); });
  lookups_->route("/lookup", net::testing::Answer{.body = ""});
  lookUp(23230);
  EXPECT_EQ(property("_psmvalue"), nullptr);
  EXPECT_EQ(property("_psmcount")->value().int64Value(), 2);
  EXPECT_NE(lookups_->requests().back().target.find("&psm_count=1"), std::string::npos);
}

TEST_F(MSRMeasurementPSMTest, FailuresRetryAtDoublingIntervalsUpToTheLimit) {
  lookups_->route("/lookup", net::testing::Answer{.status = 500});
  lookUp(23228);
  std::vector<double> delays;
  for (int i = 0; i < 6 && count(23231) == 0; ++i) {
    auto delay = retryDelay();
    if (!delay) break;
    delays.push_back(*delay);
    // What the timer does when it fires.
    size_t failures = count(23228);
    worker([&] {
      engine_->PSMRetryAlarm()->cancel();
      engine_->retrievePSMResponse();
    });
    ASSERT_TRUE(waitFor(23228, failures + 1));
  }
  EXPECT_EQ(delays, (std::vector<double>{300, 600, 1200, 2400}));
  EXPECT_EQ(count(23231), 1u);
  EXPECT_FALSE(retryDelay()) << "nothing armed at the limit";
  EXPECT_EQ(engine_->PSMRetryCount(), 5);
  EXPECT_EQ(lookups_->requests().size(), 5u);
  EXPECT_EQ(lookups_->requests().back().target.substr(0, 15), "/lookup?retry=4");
}

TEST_F(MSRMeasurementPSMTest, ALookupWaitsForAPendingUploadAndFollowsItsSuccess) {
  lookups_->route("/lookup", net::testing::Answer{.body = "late-match"});
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  server_->route("/a", [released](const net::testing::RecordedRequest&) {
    released.wait();
    return net::testing::Answer{.status = 204};
  });
  queueBundle(kAppID, kNow - 60);
  worker([&] { engine_->uploadData(); });
  ASSERT_TRUE(until([&] { return engine_->isNetworkRequestPending(); }));
  worker([&] { engine_->setUserDataOnWorkerQueue(ns::Dictionary{{"phone_number", "+15550100"}}); });
  EXPECT_EQ(count(23232), 1u);
  EXPECT_TRUE(engine_->isPSMRequestPostponed());
  EXPECT_TRUE(lookups_->requests().empty());
  release.set_value();
  ASSERT_TRUE(waitFor(23229, 1));
  EXPECT_FALSE(engine_->isPSMRequestPostponed());
  ASSERT_EQ(lookups_->requests().size(), 1u);
  EXPECT_NE(lookups_->requests()[0].target.find("&psm_phone_count=0"), std::string::npos);
  EXPECT_EQ(property("_psmcountph")->value().int64Value(), 1);
}

TEST_F(MSRMeasurementPSMTest, WithoutTheLibraryAndAfterNinetyDays) {
  setProperty("_psmcount", MSRValue::initWithInt64(2), now());
  worker([&] { engine_->checkPSMDependencyOnWorkerQueue(); });
  EXPECT_EQ(count(23253), 1u);
  rt::unregisterClass(kMSRPrivateSetMembershipClientClassName);
  worker([&] { engine_->checkPSMDependencyOnWorkerQueue(); });
  EXPECT_EQ(count(23254), 1u);
  worker([&] { engine_->setUserDataOnWorkerQueue(ns::Dictionary{{"email_address", "a@example.com"}}); });
  EXPECT_EQ(count(23233), 1u);
  EXPECT_EQ(count(23225), 0u) << "no lookup started";

  for (double age : {7776000.0 - 1, 7776000.0}) {
    SCOPED_TRACE(age);
    setProperty("_psmvalue", MSRValue::initWithString("m"), now() - age);
    setProperty("_psmcount", MSRValue::initWithInt64(2), now());
    worker([&] { engine_->maybeDeleteExpiredPSMValueOnWorkerQueue(); });
    const bool expired = age >= 7776000.0;
    EXPECT_EQ(property("_psmvalue") == nullptr, expired);
    EXPECT_EQ(property("_psmcount") == nullptr, expired);
  }
}

}  // namespace
}  // namespace msr_testing
