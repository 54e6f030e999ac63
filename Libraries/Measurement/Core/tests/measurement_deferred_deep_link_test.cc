// The deferred deep link against the ad-services endpoint served over TLS
// on 127.0.0.1: the request exactly, the answer handed to the app delegate
// on the main queue and recorded as a campaign, answers that are no link,
// and the retry count up to its limit.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"

namespace msr_testing {
namespace {

constexpr const char* kPath = "/adservice/conversion/app/deeplink";

// An app delegate that takes URLs, noting where it was called.
class LinkDelegate : public ui::ApplicationDelegate {
 public:
  bool respondsToSelector(std::string_view selector) const override { return selector == ui::kOpenURLOptionsSelector; }
  bool openURL(ui::Application&, const std::string& url, const ns::Dictionary& options) override {
    std::lock_guard lock(mutex);
    urls.push_back(url);
    lastOptions = options;
    onMain = onMain && dispatch::Queue::currentLabel() == dispatch::Queue::main()->label();
    return true;
  }
  size_t count() {
    std::lock_guard lock(mutex);
    return urls.size();
  }
  std::mutex mutex;
  std::vector<std::string> urls;
  ns::Dictionary lastOptions;
  bool onMain = true;
};

class MSRMeasurementDeferredDeepLinkTest : public UploadTest {
 protected:
  void SetUp() override {
    UploadTest::SetUp();
    const std::string host = *MSREndpoints::adServicesURL().host();
    adServer_ = std::make_unique<net::testing::LoopbackHTTPServer>(
        net::testing::LoopbackHTTPServer::Options{.tls = true, .names = {host}});
    ASSERT_TRUE(net::mapHostToLoopback(host, adServer_->port()));
    ASSERT_TRUE(net::trustCertificateAuthority("adservices-test", adServer_->authorityPEM()));
    installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                                     {"CFBundleShortVersionString", "2.3.4"},
                                     {"ZORORI_ANALYTICS_DEFERRED_DEEP_LINK_ENABLED", true}});
    delegate_ = std::make_shared<LinkDelegate>();
    ui::Application::shared().setDelegate(delegate_);
    arguments_ = ns::ProcessInfo::processInfo().arguments();
  }
  void TearDown() override {
    ns::ProcessInfo::processInfo().setArguments(arguments_);
    ui::Application::shared().reset();
    adServer_->stop();
    UploadTest::TearDown();
  }

  // One request, waited for until its answer has been dealt with.
  void requestOnce() {
    size_t before = adServer_->requests().size();
    worker([&] { engine_->requestDeferredDeepLink(); });
    ASSERT_TRUE(until([&] { return adServer_->requests().size() > before; }));
    ASSERT_TRUE(until([&] { return !engine_->isNetworkRequestPending(); }));
    worker([] {});
  }
  std::string expectedTarget(int retry) const {
    return std::string(kPath) + "?sdk_version=" + std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()) +
           "&rdid=&id_type=idfa&bundleid=com.tavrix.Quillbox&retry=" + std::to_string(retry);
  }

  std::optional<int64_t> config_retrievalComplete() {
    auto value = persistedConfig_->deferredDeepLinkRetrievalComplete();
    return value && value->isNumber() ? std::optional<int64_t>(value->integerValue()) : std::nullopt;
  }

  std::unique_ptr<net::testing::LoopbackHTTPServer> adServer_;
  std::shared_ptr<LinkDelegate> delegate_;
  std::vector<std::string> arguments_;
};

TEST_F(MSRMeasurementDeferredDeepLinkTest, TheAnswerGoesToTheAppDelegateAndBecomesACampaign) {
  adServer_->route(kPath, net::testing::Answer{
                              .body = R"({"deeplink": "quillbox://note?utm_campaign=spring&utm_source=ads",)"
                                      R"( "gbraid": "B7", "timestamp": 1700000000})"});
  requestOnce();
  ASSERT_EQ(adServer_->requests().size(), 1u);
  const auto request = adServer_->requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, expectedTarget(0));
  EXPECT_EQ(config_retrievalComplete(), std::optional<int64_t>(0));
  EXPECT_EQ(count(23200), 1u);

  ASSERT_TRUE(until([&] { return delegate_->count() == 1; }));
  EXPECT_EQ(delegate_->urls[0], "quillbox://note?utm_campaign=spring&utm_source=ads");
  EXPECT_TRUE(delegate_->onMain);
  EXPECT_EQ(delegate_->lastOptions, (ns::Dictionary{{"timestamp", 1700000000}}));
  ASSERT_TRUE(until([&] { return sql("SELECT count(*) FROM raw_events WHERE name = '_cmp'") == "1"; }));
  std::string row = sql("SELECT rowid FROM raw_events WHERE name = '_cmp'");
  std::string text = protoc("--decode=msrpb.Event UploadMessages.proto",
                            sqliteBlob(path_, "SELECT data FROM raw_events WHERE rowid = " + row));
  EXPECT_NE(text.find("name: \"_cis\"\n  string_value: \"ddp\""), std::string::npos) << text;
  EXPECT_NE(text.find("name: \"campaign\"\n  string_value: \"spring\""), std::string::npos) << text;
  EXPECT_NE(text.find("name: \"gbraid\"\n  string_value: \"B7\""), std::string::npos) << text;

  // Answered once: never asked again.
  worker([&] { EXPECT_FALSE(engine_->shouldAllowRequestDeferredDeepLink()); });
  EXPECT_EQ(count(23194), 1u);
}

TEST_F(MSRMeasurementDeferredDeepLinkTest, AnswersThatAreNoLink) {
  struct Case {
    const char* what;
    net::testing::Answer answer;
    int64_t code;
    int64_t retries;
  } cases[] = {
      {"an empty array", {.body = "[]"}, 23202, 0},
      {"a string", {.body = "\"x\""}, 23202, 0},
      {"null", {.body = "null"}, 23202, 0},
      {"garbage", {.body = "{deeplink"}, 23202, 0},
      {"an empty body", {.body = ""}, 23201, 0},
      {"an object without a link", {.body = R"({"deeplink": 3})"}, 0, 0},
      {"a server error", {.status = 500, .body = "{}"}, 23199, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    persistedConfig_->setDeferredDeepLinkRetryCount(0);
    persistedConfig_->setDeferredDeepLinkRetrievalComplete(std::nullopt);
    adServer_->route(kPath, c.answer);
    size_t logged = c.code ? count(c.code) : 0;
    requestOnce();
    if (c.code) {
      EXPECT_EQ(count(c.code), logged + 1);
    }
    EXPECT_EQ(persistedConfig_->deferredDeepLinkRetryCount(), c.retries);
    EXPECT_EQ(config_retrievalComplete(), c.retries ? std::nullopt : std::optional<int64_t>(0));
  }
  worker([] {});
  EXPECT_EQ(delegate_->count(), 0u);
  EXPECT_EQ(sql("SELECT count(*) FROM raw_events WHERE name = '_cmp'"), "0");
}

TEST_F(MSRMeasurementDeferredDeepLinkTest, FailuresCountAcrossLaunchesUpToTheLimit) {
  adServer_->route(kPath, net::testing::Answer{.status = 500});
  for (int i = 0; i < 5; ++i) {
    requestOnce();
    EXPECT_EQ(adServer_->requests().back().target, expectedTarget(i));
  }
  // The next launch reads the count from the persisted configuration.
  auto relaunched = MSRPersistedConfig::initWithSuiteName("engine");
  EXPECT_EQ(relaunched->deferredDeepLinkRetryCount(), 5);
  bool allowed = true;
  worker([&] { allowed = engine_->shouldAllowRequestDeferredDeepLink(); });
  EXPECT_FALSE(allowed);
  EXPECT_EQ(count(23195), 1u);
  EXPECT_EQ(config_retrievalComplete(), std::optional<int64_t>(1));
  worker([&] { allowed = engine_->shouldAllowRequestDeferredDeepLink(); });
  EXPECT_EQ(count(23195), 1u) << "finished: the limit is not reached again";
  EXPECT_EQ(count(23194), 1u);
}

TEST_F(MSRMeasurementDeferredDeepLinkTest, TheTestFlagOnlyOutsideAStoreInstall) {
  adServer_->route(kPath, net::testing::Answer{.status = 204});
  struct Case {
    bool flag;
    bool storeInstall;
    bool test;
  } cases[] = {{false, false, false}, {true, false, true}, {true, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flag) + " " + std::to_string(c.storeInstall));
    auto args = arguments_;
    if (c.flag) args.push_back("-DebugDeferredDeepLink");
    ns::ProcessInfo::processInfo().setArguments(args);
    auto facts = ns::Device::current().facts();
    facts.executableEncrypted = c.storeInstall;
    ns::Device::current().setFacts(facts);
    ASSERT_EQ(MSRAEU::isFAS(), c.storeInstall);
    requestOnce();
    EXPECT_EQ(adServer_->requests().back().target, expectedTarget(0) + (c.test ? "&ddl_test=1" : ""));
  }
}

}  // namespace
}  // namespace msr_testing
