// The configuration fetch against a TLS server on 127.0.0.1: the query,
// the conditional second fetch, the answers that keep the stored
// configuration, and the failure and backoff times a failed fetch leaves.
#include <gtest/gtest.h>

#include <set>

#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

using msr_testing::UploadTest;

class MSRMeasurementConfigFetchTest : public UploadTest {
 protected:
  // A configuration's bytes from its protoc text form.
  static std::string configBytes(const std::string& text) {
    std::string bytes = msr_testing::protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto", text);
    EXPECT_FALSE(bytes.empty()) << text;
    return bytes;
  }
  static std::string withInterval(const std::string& appID, int seconds) {
    return "version: 43 zmp_app_id: \"" + appID +
           "\" settings { name: \"measurement.upload.interval\" value: \"" + std::to_string(seconds * 1000) + "\" } ";
  }
  // Fetches once and waits for the answer to be handled.
  void fetch() {
    size_t before = count(23127);
    worker([&] { engine_->fetchRemoteConfig(); });
    ASSERT_TRUE(until([&] { return count(23127) > before; }));
    worker([] {});
  }
  double interval() {
    double seconds = 0;
    worker([&] { seconds = engine_->remoteConfigInstance()->uploadingInterval(); });
    return seconds;
  }
  double fetchTime() {
    double at = 0;
    worker([&] { at = engine_->remoteConfigInstance()->lastRemoteConfigUpdateTimestamp(); });
    return at;
  }
};

TEST_F(MSRMeasurementConfigFetchTest, AFetchedConfigurationIsStoredAndTheNextFetchIsConditional) {
  persistedConfig_->setLastFailedUploadTimestamp(kNow - 10);
  persistedConfig_->setLastBackoffTimestamp(kNow - 10);
  server_->enqueue({.status = 200,
                    .headers = {{"ETag", "\"v1\""}, {"Last-Modified", "Tue, 14 Nov 2023 22:00:00 GMT"}},
                    .body = configBytes(withInterval(kAppID, 7200))});
  fetch();
  auto requests = server_->requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& first = requests[0];
  EXPECT_EQ(first.method, "GET");
  EXPECT_EQ(first.path(), "/config/app/1:123:ios:abc");
  std::set<std::string> query;
  std::string text = first.target.substr(first.target.find('?') + 1);
  for (size_t start = 0, end; start <= text.size(); start = end + 1) {
    end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    query.insert(text.substr(start, end - start));
  }
  std::optional<std::string> appInstanceID;
  worker([&] { appInstanceID = engine_->identity()->appInstanceID(); });
  EXPECT_EQ(query, (std::set<std::string>{"app_instance_id=" + appInstanceID.value_or(""), "platform=ios",
                                          "runtime_version=0",
                                          "zmp_version=" + std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion())}));
  EXPECT_FALSE(first.header("If-None-Match"));
  EXPECT_FALSE(first.header("If-Modified-Since"));
  EXPECT_DOUBLE_EQ(interval(), 7200);
  EXPECT_DOUBLE_EQ(fetchTime(), kNow);
  EXPECT_EQ(persistedConfig_->configServerETag(), "\"v1\"");
  EXPECT_EQ(persistedConfig_->lastFailedUploadTimestamp(), 0);
  EXPECT_EQ(persistedConfig_->lastBackoffTimestamp(), 0);
  EXPECT_EQ(count(23133), 1u);

  // Later: the stored validators go along; a 304 refreshes the fetch time
  // only.
  ns::Clock::advance(100);
  server_->enqueue({.status = 304, .headers = {{"ETag", "\"v1\""}}});
  fetch();
  requests = server_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].header("If-None-Match"), "\"v1\"");
  EXPECT_EQ(requests[1].header("If-Modified-Since"), "Tue, 14 Nov 2023 22:00:00 GMT");
  EXPECT_EQ(count(23131), 1u);
  EXPECT_DOUBLE_EQ(fetchTime(), kNow + 100);
  EXPECT_DOUBLE_EQ(interval(), 7200);
}

TEST_F(MSRMeasurementConfigFetchTest, AnswersThatKeepTheStoredConfiguration) {
  // The cut answer: a message that ends at a field boundary decodes, so
  // the cut falls right after the changed interval.
  const std::string head = configBytes(withInterval(kAppID, 900));
  const std::string tail =
      configBytes("settings { name: \"test.padding\" value: \"" + std::string(4000, 'x') + "\" }");
  struct Case {
    const char* what;
    net::testing::Answer answer;
    std::vector<int64_t> codes;
    bool failed, backoff, fetchTimeStored;
  } cases[] = {
      {"404", {.status = 404}, {23130}, false, false, true},
      {"another app's configuration", {.status = 200, .body = configBytes(withInterval("1:999:ios:zzz", 900))},
       {23136}, false, false, true},
      {"bytes that are no configuration", {.status = 200, .body = std::string("\xff\xff\xff\xff", 4)}, {23135},
       false, false, true},
      {"429", {.status = 429}, {23128, 23129}, true, true, false},
      {"500", {.status = 500}, {23128, 23129}, true, false, false},
      {"a body cut off in transfer",
       {.status = 200, .body = head + tail, .cut = net::testing::Answer::Cut::Close, .cutAfter = head.size()},
       {23128, 23129}, true, false, false},
  };
  double fetchedAt = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    configure({{"measurement.upload.interval", "7200000"}});
    fetchedAt = fetchTime();
    ns::Clock::advance(10);
    persistedConfig_->setLastFailedUploadTimestamp(0);
    persistedConfig_->setLastBackoffTimestamp(0);
    MSRMonitorWaitForTesting();
    monitor_.clear();
    server_->enqueue(c.answer);
    fetch();
    for (int64_t code : c.codes) EXPECT_EQ(count(code), 1u) << code;
    EXPECT_DOUBLE_EQ(interval(), 7200) << "the stored configuration stays";
    EXPECT_DOUBLE_EQ(persistedConfig_->lastFailedUploadTimestamp(), c.failed ? now() : 0);
    EXPECT_DOUBLE_EQ(persistedConfig_->lastBackoffTimestamp(), c.backoff ? now() : 0);
    EXPECT_DOUBLE_EQ(fetchTime(), c.fetchTimeStored ? now() : fetchedAt);
  }
}

TEST_F(MSRMeasurementConfigFetchTest, AnUploadWithNothingQueuedFetchesAnExpiredConfiguration) {
  configure({{"measurement.upload.interval", "7200000"}});
  ns::Clock::advance(3600);
  server_->enqueue({.status = 200, .body = configBytes(withInterval(kAppID, 5400))});
  worker([&] { engine_->uploadData(); });
  ASSERT_TRUE(waitFor(23133, 1));
  EXPECT_EQ(count(23037), 1u);
  EXPECT_DOUBLE_EQ(interval(), 5400);
  EXPECT_EQ(server_->requestCount(), 1u);
}

TEST_F(MSRMeasurementConfigFetchTest, ComingToTheFrontFetchesAWeekOldConfigurationWhenTheFlagSaysSo) {
  auto becomeActive = [&] {
    ns::NotificationCenter::defaultCenter().post(ui::kApplicationDidBecomeActiveNotification);
    worker([] {});
  };
  configure({{"measurement.upload.blacklist_internal", "1"}});
  ns::Clock::advance(604799);
  becomeActive();
  EXPECT_EQ(server_->requestCount(), 0u) << "not yet a week old";
  ns::Clock::advance(1);
  server_->enqueue({.status = 304});
  becomeActive();
  ASSERT_TRUE(waitFor(23131, 1));
  EXPECT_EQ(server_->requestCount(), 1u);
  EXPECT_DOUBLE_EQ(fetchTime(), now());

  // Without the flag a week-old configuration waits for an upload to need it.
  configure({});
  ns::Clock::advance(604800);
  becomeActive();
  EXPECT_EQ(server_->requestCount(), 1u);
}

}  // namespace
