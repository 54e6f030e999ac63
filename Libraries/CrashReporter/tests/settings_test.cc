#include <filesystem>

#include "Libraries/CrashReporter/DVCRNetworkResponseHandler.h"
#include "Libraries/CrashReporter/DVCRSettingsManager.h"
#include "Libraries/CrashReporter/DVCRURLBuilder.h"
#include "Libraries/CrashReporter/tests/NetworkTest.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/UserDefaults.h"

namespace dvcr_testing {
namespace {

using net::testing::Answer;
using net::testing::RecordedRequest;

constexpr const char* kUUID = "0123456789abcdef0123456789abcdef";

class SettingsTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    useVersions("App.app", "7", "");
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(server_.origin()), kDVCRSettingsBaseURLKey);
    fileManager_ = std::make_shared<DVCRFileManager>();
    appModel_ = model(kUUID);
    settings_ = std::make_shared<DVCRSettings>(fileManager_, appModel_);
  }
  void TearDown() override {
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(), kDVCRSettingsBaseURLKey);
    NetworkTest::TearDown();
  }

  // A main bundle with these versions (an empty one is left out).
  void useVersions(const std::string& name, const std::string& build, const std::string& display) {
    ns::Dictionary info{{"CFBundleIdentifier", ns::Value("com.tavrix.Quillbox")}};
    if (!build.empty()) info.set("CFBundleVersion", ns::Value(build));
    if (!display.empty()) info.set("CFBundleShortVersionString", ns::Value(display));
    useBundle(name, info);
  }
  static std::shared_ptr<DVCRApplicationIdentifierModel> model(const std::string& uuid) {
    return std::make_shared<DVCRApplicationIdentifierModel>(std::map<std::string, std::string>{{"x86_64", uuid}},
                                                            DVCRMachOVersion{}, DVCRMachOVersion{});
  }
  // A cached document with a fresh cache key made at `time`.
  void cache(const std::string& document, double time = 1000, const std::string& appID = "1:123:ios:abc") {
    std::filesystem::create_directories(fileManager_->settingsDirectoryPath());
    writeAll(fileManager_->settingsFilePath(), document);
    settings_->cacheSettingsWithZororiAppID(appID, time);
  }
  bool filesGone() {
    for (int i = 0; i < 200; ++i) {
      if (!std::filesystem::exists(fileManager_->settingsFilePath()) &&
          !std::filesystem::exists(fileManager_->settingsCacheKeyPath())) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<DVCRApplicationIdentifierModel> appModel_;
  std::shared_ptr<DVCRSettings> settings_;
};

// Hears how one download ended.
struct Outcome : DVCRDownloadAndSaveSettingsOperationDelegate {
  std::promise<std::optional<ns::Error>> ended;
  void operationDidDownloadAndSaveSettings(DVCRDownloadAndSaveSettingsOperation&,
                                           const std::optional<ns::Error>& error) override {
    ended.set_value(error);
  }
};

TEST_F(SettingsTest, TheRequestCarriesEveryHeaderAndTheAnswerIsCachedByteForByte) {
  const std::string body = R"({"cache_duration":60,"features":{"collect_reports":false},"extra":"caf\u00e9"})";
  server_.setFallback([&body](const RecordedRequest&) {
    return Answer{.headers = {{"Content-Type", "application/json; charset=utf-8"}}, .body = body};
  });
  auto installs = std::make_shared<DVCRInstallIdentifierModel>([](ZEVUdederozedaru::IDCompletion) {});
  auto manager = std::make_shared<DVCRSettingsManager>(appModel_, installs, settings_, fileManager_, "unused");
  manager->beginSettingsWithZororiAppId("1:123:ios:abc def", DVCRDataCollectionToken::validToken());
  ASSERT_TRUE(server_.waitForRequests(1));
  for (int i = 0; i < 500 && settings_->isCacheExpired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(settings_->isCacheExpired());
  EXPECT_FALSE(settings_->collectReportsEnabled());
  EXPECT_EQ(settings_->cacheDurationSeconds(), 60u);

  RecordedRequest request = server_.requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/api/v2/platforms/ios/zmp/1:123:ios:abc%20def/settings?build_version=7&instance=" +
                                appModel_->buildInstanceID() + "&source=1");
  const std::pair<const char*, std::string> headers[] = {
      {"User-Agent", "com.zorori.dozaveve.dodevadarud.ios/10.16.0"},
      {"Accept-Charset", "utf-8"},
      {"Accept-Language", "en_US"},
      {"Content-Language", "en_US"},
      {"X-Dodevadarud-Developer-Token", "a7f3d2c91e0b84f65d2a0c7e39b1f48d6e25c0a9"},
      {"X-Dodevadarud-API-Client-Id", "com.zorori.dozaveve.dodevadarud.ios"},
      {"X-Dodevadarud-API-Client-Display-Version", "10.16.0"},
      {"X-Dodevadarud-Zorori-App-Id", "1:123:ios:abc def"},
      {"Accept", "application/json"},
      {"X-Dodevadarud-Installation-ID", installs->installID()},
      {"X-Dodevadarud-Device-Model", "iPhone14,2"},
      {"X-Dodevadarud-OS-Display-Version", "16.0"},
      {"X-Dodevadarud-API-Client-Version", "10.16.0"},
  };
  for (const auto& [name, value] : headers) EXPECT_EQ(request.header(name).value_or("(absent)"), value) << name;
  EXPECT_FALSE(request.header("X-Dodevadarud-OS-Build-Version")) << "the device reports no build";

  run("printf %s '" + body + "' > '" + path("served.json") + "'");
  run("cmp '" + path("served.json") + "' '" + fileManager_->settingsFilePath() + "'");
  EXPECT_EQ(run("python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(sorted(d), d[\"zorori_app_id\"], "
                "d[\"app_version\"], d[\"build_instance_id\"], d[\"created_at\"])' '" +
                fileManager_->settingsCacheKeyPath() + "'"),
            "['app_version', 'build_instance_id', 'created_at', 'zorori_app_id'] 1:123:ios:abc def  (7) " +
                appModel_->buildInstanceID() + " 700000000.0\n");
}

TEST_F(SettingsTest, TheURLLeavesOutParametersWithoutValue) {
  useVersions("Versions.app", "", "2.1");
  auto manager = std::make_shared<DVCRSettingsManager>(model(""), nullptr, settings_, fileManager_, "a b:c");
  std::optional<ns::URL> url = manager->settingsURL();
  ASSERT_TRUE(url);
  EXPECT_EQ(url->absoluteString(), server_.origin() + "/api/v2/platforms/ios/zmp/a%20b:c/settings?display_version=2.1"
                                       "&instance=" + model("")->buildInstanceID() + "&source=1");
  DVCRURLBuilder builder = DVCRURLBuilder::URLWithBase("x");
  builder.appendComponent("");
  builder.appendValue(ns::Value(), "skipped");
  builder.appendValue(ns::Value(3), "n");
  EXPECT_EQ(builder.URLString(), "x?n=3");
}

TEST_F(SettingsTest, AnEmptyDocumentGivesEveryDefaultAndPresentValuesAreConverted) {
  EXPECT_TRUE(settings_->isCacheExpired()) << "nothing cached";
  cache("{}");
  EXPECT_FALSE(settings_->isCacheExpired());
  EXPECT_EQ(settings_->cacheDurationSeconds(), 3600u);
  EXPECT_TRUE(settings_->collectReportsEnabled());
  EXPECT_TRUE(settings_->errorReportingEnabled());
  EXPECT_TRUE(settings_->customExceptionsEnabled());
  EXPECT_FALSE(settings_->metricKitCollectionEnabled());
  EXPECT_EQ(settings_->logBufferSize(), 64000u);
  EXPECT_EQ(settings_->errorLogBufferSize(), 64000u);
  EXPECT_EQ(settings_->maxCustomExceptions(), 8u);
  EXPECT_EQ(settings_->maxCustomKeys(), 64u);
  EXPECT_EQ(settings_->onDemandUploadRate(), 10.0);
  EXPECT_EQ(settings_->onDemandBackoffBase(), 1.5);
  EXPECT_EQ(settings_->onDemandBackoffStepDuration(), 6u);
  EXPECT_FALSE(settings_->sessionSettings());

  cache(R"({"features":{"collect_logged_exceptions":"false","collect_metric_kit":1},
            "session":{"log_buffer_size":1000,"max_custom_exception_events":"3"},"on_demand_backoff_base":2})");
  EXPECT_FALSE(settings_->errorReportingEnabled()) << "a string is a present value";
  EXPECT_TRUE(settings_->metricKitCollectionEnabled());
  EXPECT_EQ(settings_->logBufferSize(), 1000u);
  EXPECT_EQ(settings_->maxCustomExceptions(), 3u);
  EXPECT_EQ(settings_->onDemandBackoffBase(), 2.0);
  ASSERT_TRUE(settings_->sessionSettings());
}

TEST_F(SettingsTest, TheCacheExpiresAfterItsDurationAndWithANewBuildOrVersion) {
  cache(R"({"cache_duration":100,"features":{"collect_reports":false}})", 1000);
  settings_->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1100);
  EXPECT_FALSE(settings_->isCacheExpired()) << "exactly at the boundary";
  settings_->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1101);
  EXPECT_TRUE(settings_->isCacheExpired());
  EXPECT_FALSE(settings_->collectReportsEnabled()) << "expired values still answer";

  cache(R"({"features":{"collect_reports":false}})", 1000);
  auto newBuild = std::make_shared<DVCRSettings>(fileManager_, model("ffffffffffffffffffffffffffffffff"));
  newBuild->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1001);
  EXPECT_TRUE(newBuild->isCacheExpired());
  EXPECT_FALSE(newBuild->collectReportsEnabled());

  useVersions("Next.app", "8", "");
  auto newVersion = std::make_shared<DVCRSettings>(fileManager_, appModel_);
  newVersion->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1001);
  EXPECT_TRUE(newVersion->isCacheExpired());
  EXPECT_FALSE(newVersion->collectReportsEnabled());
  EXPECT_TRUE(std::filesystem::exists(fileManager_->settingsFilePath()));
}

TEST_F(SettingsTest, ANewAppIdOrABrokenCacheDiscardsTheValuesAndBothFiles) {
  cache(R"({"features":{"collect_reports":false}})");
  settings_->reloadFromCacheWithZororiAppID("1:999:ios:other", 1001);
  EXPECT_TRUE(settings_->isCacheExpired());
  EXPECT_FALSE(settings_->settingsDictionary());
  EXPECT_TRUE(settings_->collectReportsEnabled());
  EXPECT_TRUE(filesGone());

  cache(R"({"features":{"collect_reports":false}})");
  writeAll(fileManager_->settingsCacheKeyPath(), "not json");
  settings_->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1001);
  EXPECT_FALSE(settings_->settingsDictionary());
  EXPECT_TRUE(filesGone());
}

TEST_F(SettingsTest, AFailedDownloadKeepsTheCacheAndA404LogsTheConsoleHint) {
  const std::string good = R"({"features":{"collect_reports":false}})";
  cache(good);
  const std::pair<Answer, int64_t> answers[] = {
      {{.status = 404}, DVCRNetworkErrorRejected},
      // A 200 whose body is no JSON object must not replace a good cache.
      {{.headers = {{"Content-Type", "application/json"}}, .body = "[1,2]"}, ns::kJsonReadCorruptError},
      {{.headers = {{"Content-Type", "application/json"}}, .body = "{\"cut"}, ns::kJsonReadCorruptError},
  };
  auto client = DVCRNetworkClient::create();
  for (const auto& [answer, code] : answers) {
    server_.enqueue(answer);
    auto outcome = std::make_shared<Outcome>();
    std::future<std::optional<ns::Error>> ended = outcome->ended.get_future();
    auto operation = std::make_shared<DVCRDownloadAndSaveSettingsOperation>(
        "1:123:ios:abc", outcome, server_.url("/settings"), fileManager_->settingsDirectoryPath(),
        fileManager_->settingsFilePath(), nullptr, client, DVCRDataCollectionToken::validToken());
    operation->startWithToken(DVCRDataCollectionToken::validToken());
    ASSERT_TRUE(arrives(ended));
    std::optional<ns::Error> error = ended.get();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), code);
    operation->waitUntilFinished();  // the delegate hears first, then the operation ends
    EXPECT_EQ(readAll(fileManager_->settingsFilePath()), good);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fileManager_->settingsDirectoryPath()),
                            std::filesystem::directory_iterator()),
              2) << "nothing staged is left behind";
    settings_->reloadFromCacheWithZororiAppID("1:123:ios:abc", 1001);
    EXPECT_FALSE(settings_->isCacheExpired());
    EXPECT_FALSE(settings_->collectReportsEnabled());
  }

  const std::string hint =
      "Failed to download settings. If this is your first time launching the app, make sure you have enabled "
      "Dodevadarud in the Dozaveve Console.";
  ns::Error notFound(kDVCRNetworkErrorDomain, DVCRNetworkErrorRejected, {{"status_code", ns::Value(404)}});
  ns::Error serverError(kDVCRNetworkErrorDomain, DVCRNetworkErrorRetryable, {{"status_code", ns::Value(500)}});
  EXPECT_EQ(DVCRSettingsManager::downloadFailureMessage(notFound), hint);
  EXPECT_EQ(DVCRSettingsManager::downloadFailureMessage(serverError), "Failed to download settings.");
}

TEST_F(SettingsTest, AGoodDownloadReplacesTheOldDocument) {
  cache(R"({"features":{"collect_reports":false}})");
  const std::string fresh = R"({"features":{"collect_reports":true}})";
  server_.enqueue({.headers = {{"Content-Type", "application/json"}}, .body = fresh});
  auto outcome = std::make_shared<Outcome>();
  std::future<std::optional<ns::Error>> ended = outcome->ended.get_future();
  auto client = DVCRNetworkClient::create();
  auto operation = std::make_shared<DVCRDownloadAndSaveSettingsOperation>(
      "1:123:ios:abc", outcome, server_.url("/settings"), fileManager_->settingsDirectoryPath(),
      fileManager_->settingsFilePath(), nullptr, client, DVCRDataCollectionToken::validToken());
  operation->startWithToken(DVCRDataCollectionToken::validToken());
  ASSERT_TRUE(arrives(ended));
  EXPECT_FALSE(ended.get());
  EXPECT_EQ(readAll(fileManager_->settingsFilePath()), fresh);
}

}  // namespace
}  // namespace dvcr_testing
