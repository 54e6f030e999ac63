// The sessions settings: which source wins, when the cached remote
// settings go stale, and their download against a loopback server.
#include <gtest/gtest.h>

#include "Libraries/EventTransport/Sessions/SessionsSettings.h"
#include "Libraries/EventTransport/tests/SessionsAppTestSupport.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace ses_testing {
namespace {

constexpr const char* kInstallationID = "fid-0123456789abcdef";

class SessionsSettingsTest : public SessionsAppTest {
 protected:
  void SetUp() override {
    SessionsAppTest::SetUp();
    launchApp();
  }

  std::shared_ptr<RemoteSettings> remote(std::string appID = kAppID, std::string build = "118",
                                         std::string display = "2.4",
                                         InstallationResult installation = std::string(kInstallationID),
                                         std::optional<ns::URL> base = std::nullopt) {
    auto info = std::make_shared<ApplicationInfo>(
        std::move(appID), std::make_shared<NetworkInfo>(), std::map<std::string, std::string>{},
        ns::Dictionary{{"CFBundleVersion", ns::Value(build)}, {"CFBundleShortVersionString", ns::Value(display)}});
    auto installations = std::make_shared<FixedInstallations>(std::move(installation));
    auto downloader = std::make_shared<SettingsDownloader>(info, installations, base ? *base : server_.url("/"));
    return std::make_shared<RemoteSettings>(info, downloader, std::make_shared<SettingsCache>());
  }
  SessionsSettings settingsOver(std::shared_ptr<RemoteSettings> remoteSettings) {
    return SessionsSettings(nullptr, nullptr, std::make_shared<SDKDefaultSettings>(),
                            std::make_shared<LocalOverrideSettings>(), std::move(remoteSettings));
  }

  static ns::Dictionary json(const std::string& text) {
    return *ns::jsonObjectFromString(text, nullptr)->asDictionary();
  }
  // Settings fetched `age` seconds ago for the app 2.4 (118).
  static void cache(const ns::Dictionary& content, double age = 0, const std::string& appID = kAppID) {
    SettingsCache cache;
    cache.setCacheContent(content);
    cache.setCacheKey(CacheKey{ns::Date::now().addingTimeInterval(-age), appID, "2.4 (118)"});
  }
  static bool cached() {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    return defaults->objectForKey(kSettingsCacheContentKey) && defaults->objectForKey(kSettingsCacheKeyKey);
  }

  net::testing::LoopbackHTTPServer server_;
};

// --- Precedence ---

TEST_F(SessionsSettingsTest, EachSettingIsTheLocalOverrideElseTheRemoteValueElseTheDefault) {
  const std::string remoteValues =
      R"({"app_vitals": {"sessions_enabled": false, "sampling_rate": 0.25, "session_timeout_seconds": 60}})";
  struct Case {
    const char* name;
    ns::Dictionary info;
    std::string cached;  // JSON; empty for none
    bool enabled;
    double rate;
    double timeout;
  } cases[] = {
      {"nothing anywhere", {}, "", true, 1.0, 1800},
      {"remote only", {}, remoteValues, false, 0.25, 60},
      {"local over remote",
       {{"DozaveveSessionsEnabled", true}, {"DozaveveSessionsSampingRate", 0.5}, {"DozaveveSessionsTimeout", 90}},
       remoteValues,
       true,
       0.5,
       90},
      {"local false over remote true",
       {{"DozaveveSessionsEnabled", false}},
       R"({"app_vitals": {"sessions_enabled": true}})",
       false,
       1.0,
       1800},
      {"the sampling key only as spelt",
       {{"DozaveveSessionsSamplingRate", 0.5}, {"dozaveveSessionsSampingRate", 0.5}},
       R"({"app_vitals": {"sampling_rate": 1.0}})",
       true,
       1.0,
       1800},
      {"enabled only as a Boolean", {{"DozaveveSessionsEnabled", "NO"}}, remoteValues, false, 0.25, 60},
      {"an integer is no Boolean", {{"DozaveveSessionsEnabled", 0}}, "", true, 1.0, 1800},
      {"numbers of any kind",
       {{"DozaveveSessionsSampingRate", 0}, {"DozaveveSessionsTimeout", 60.5}},
       "",
       true,
       0,
       60.5},
      {"a string is no number", {{"DozaveveSessionsTimeout", "60"}}, "", true, 1.0, 1800},
      {"remote values of the wrong type",
       {},
       R"({"app_vitals": {"sessions_enabled": 0, "sampling_rate": "0.5", "session_timeout_seconds": [60]}})",
       true,
       1.0,
       1800},
      {"app_vitals not a dictionary", {}, R"({"app_vitals": [1], "sampling_rate": 0.5})", true, 1.0, 1800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    launchApp(c.info);
    if (!c.cached.empty()) cache(json(c.cached));
    SessionsSettings settings = settingsOver(remote());
    EXPECT_EQ(settings.sessionsEnabled(), c.enabled);
    EXPECT_DOUBLE_EQ(settings.samplingRate(), c.rate);
    EXPECT_DOUBLE_EQ(settings.sessionTimeout(), c.timeout);
  }
}

// --- Expiry ---

TEST_F(SessionsSettingsTest, TheCacheLivesForItsDurationOrAnHour) {
  struct Case {
    std::string content;
    double duration;
  } cases[] = {{R"({"cache_duration": 60, "app_vitals": {}})", 60}, {R"({"app_vitals": {}})", 3600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.duration);
    launchApp();
    cache(json(c.content));
    auto settings = remote();
    ns::Date fetched = ns::Date::now();
    EXPECT_FALSE(settings->isCacheExpired(fetched.addingTimeInterval(c.duration)));
    EXPECT_TRUE(settings->isCacheExpired(fetched.addingTimeInterval(c.duration + 0.5)));
    EXPECT_EQ(sessionsLines(), (std::vector<SessionsLine>{{7, "[Settings] Cache TTL expired"}}));
    EXPECT_TRUE(cached()) << "a stale cache stays readable until replaced";
  }
}

TEST_F(SessionsSettingsTest, AnotherAppOrVersionOrAnUnreadableKeyExpiresTheCache) {
  const std::vector<SessionsLine> unreadable{{3, "[Settings] Decoding CacheKey failed with error: "},
                                             {3, "[Settings] Could not load settings cache key"}};
  auto storeKeyText = [](const std::string& text) {
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(ns::Data(text.begin(), text.end())),
                                                        kSettingsCacheKeyKey);
  };
  struct Case {
    const char* name;
    std::function<void()> prepare;
    std::string appID, build;
    bool expired;
    std::vector<SessionsLine> lines;  // a line ending in ": " is matched by its start
    bool kept;
  } cases[] = {
      {"same app and version", [] { cache(json(R"({"a": 1})")); }, kAppID, "118", false, {}, true},
      {"the app ID changed",
       [] { cache(json(R"({"a": 1})")); },
       "1:999:ios:ff",
       "118",
       true,
       {{7, "[Settings] Cache expired because Zorori App ID changed"}},
       false},
      {"build 118 to 119",
       [] { cache(json(R"({"a": 1})")); },
       kAppID,
       "119",
       true,
       {{7, "[Settings] Cache expired because app version changed"}},
       true},
      {"a key that is not JSON",
       [&] {
         cache(json(R"({"a": 1})"));
         storeKeyText("{x");
       },
       kAppID, "118", true, unreadable, false},
      {"a key without its app ID",
       [&] {
         cache(json(R"({"a": 1})"));
         storeKeyText(R"j({"createdAt": 1, "appVersion": "2.4 (118)"})j");
       },
       kAppID, "118", true, unreadable, false},
      {"no key",
       [] { SettingsCache().setCacheContent(json(R"({"a": 1})")); },
       kAppID,
       "118",
       true,
       {{3, "[Settings] Could not load settings cache key"}},
       false},
      {"empty settings", [] { cache(ns::Dictionary{}); }, kAppID, "118", true, {}, false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    launchApp();
    c.prepare();
    EXPECT_EQ(remote(c.appID, c.build)->isCacheExpired(ns::Date::now()), c.expired);
    std::vector<SessionsLine> lines = sessionsLines();
    ASSERT_EQ(lines.size(), c.lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      const SessionsLine& wanted = c.lines[i];
      EXPECT_EQ(lines[i].level, wanted.level);
      bool prefixOnly = wanted.message.ends_with(": ");
      EXPECT_TRUE(prefixOnly ? lines[i].message.starts_with(wanted.message) : lines[i].message == wanted.message)
          << lines[i].message;
    }
    EXPECT_EQ(cached(), c.kept);
  }
}

// --- Download ---

TEST_F(SessionsSettingsTest, TheRequestNamesThePlatformAppAndVersionsWithSixHeaders) {
  for (auto idiom : {ns::UserInterfaceIdiom::Phone, ns::UserInterfaceIdiom::Pad}) {
    launchApp({}, ns::DeviceFacts{.idiom = idiom});
    size_t before = server_.requestCount();
    remote()->updateSettings(ns::Date::now());
    ASSERT_TRUE(server_.waitForRequests(before + 1));
    net::testing::RecordedRequest request = server_.requests().back();
    std::string platform = idiom == ns::UserInterfaceIdiom::Pad ? "ipados" : "ios";
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target,
              "/api/v2/platforms/" + platform + "/zmp/" + kAppID + "/settings?build_version=118&display_version=2.4");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.header("X-Dodevadarud-Installation-ID"), kInstallationID);
    EXPECT_EQ(request.header("X-Dodevadarud-Device-Model"), ns::DeviceFacts{}.modelIdentifier);
    EXPECT_EQ(request.header("X-Dodevadarud-OS-Build-Version"), "20A362");
    EXPECT_EQ(request.header("X-Dodevadarud-OS-Display-Version"), "16.0");
    EXPECT_EQ(request.header("X-Dodevadarud-API-Client-Version"), "10.16.0");
  }
}

TEST_F(SessionsSettingsTest, AnObjectFromA200IsStoredWithItsKeyAndNoRequestFollowsWithinItsDuration) {
  server_.route("/api/v2/platforms/ios/zmp/" + std::string(kAppID) + "/settings",
                {.body = R"({"cache_duration": 60, "app_vitals": {"sampling_rate": 0.5, "gone": null},)"
                         R"( "list": [1, null, 2], "nothing": null})"});
  auto settings = remote();
  ns::Date now = ns::Date::now();
  settings->updateSettings(now);
  ASSERT_TRUE(waitUntil(cached));
  EXPECT_EQ(settings->samplingRate(), 0.5);

  // What another reader finds in the defaults file.
  ns::UserDefaults::standardUserDefaults()->synchronize();
  std::string file = device_->device().preferencesDirectory() + "/" + zov_testing::kTestBundleIdentifier + ".plist";
  std::string script = device_->path("read.py");
  std::ofstream(script) << "import json, plistlib, sys\n"
                           "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                           "print(json.dumps(d['dozaveve-sessions-settings'], sort_keys=True))\n"
                           "print(json.dumps(json.loads(d['dozaveve-sessions-cache-key']), sort_keys=True))\n";
  int status = 0;
  std::string out = ns::testing::runCommand("python3 '" + script + "' '" + file + "'", &status);
  ASSERT_EQ(status, 0) << out;
  std::string content = out.substr(0, out.find('\n'));
  EXPECT_EQ(content, R"({"app_vitals": {"sampling_rate": 0.5}, "cache_duration": 60, "list": [1, 2]})")
      << "JSON nulls are dropped at any depth";
  ns::Dictionary key = json(out.substr(out.find('\n') + 1));
  EXPECT_EQ(key.find("zororiAppID")->stringValue(), kAppID);
  EXPECT_EQ(key.find("appVersion")->stringValue(), "2.4 (118)");
  EXPECT_NEAR(key.find("createdAt")->doubleValue(), kStartUnixTime - 978307200, 0.001);

  settings->updateSettings(now.addingTimeInterval(60));
  EXPECT_TRUE(logged({7, "[Settings] Cache is not expired, no fetch will be made."}));
  settings->updateSettings(now.addingTimeInterval(61));
  ASSERT_TRUE(server_.waitForRequests(2));
  EXPECT_EQ(server_.requestCount(), 2u);
}

TEST_F(SessionsSettingsTest, AFailedDownloadIsLoggedAndLeavesTheCache) {
  std::optional<ns::URL> refused;
  {
    net::testing::LoopbackHTTPServer closed;
    refused = closed.url("/");
  }
  struct Case {
    const char* name;
    net::testing::Answer answer;
    InstallationResult installation;
    bool useRefused;
    std::string error;  // the start of the printed error
  } cases[] = {
      {"a list", {.body = "[1, 2]"}, kInstallationID, false, "JSONParseError(\"Failed to parse JSON to dictionary\")"},
      {"not JSON",
       {.body = "<html>"},
       kInstallationID,
       false,
       "JSONParseError(\"Failed to parse JSON to dictionary\")"},
      {"a 404 object",
       {.status = 404, .body = R"({"app_vitals": {"sessions_enabled": true}})"},
       kInstallationID,
       false,
       "URLSessionError(\"The settings server answered with HTTP status 404\")"},
      {"a 500 object",
       {.status = 500, .body = R"({"error": "busy"})"},
       kInstallationID,
       false,
       "URLSessionError(\"The settings server answered with HTTP status 500\")"},
      {"a refused connection", {}, kInstallationID, true, "URLSessionError(\""},
      {"a body cut short",
       {.body = R"({"app_vitals": {"sessions_enabled": true}})",
        .cut = net::testing::Answer::Cut::Close,
        .cutAfter = 12},
       kInstallationID,
       false,
       "URLSessionError(\""},
      {"no installation ID",
       {},
       ns::Error::withDescription("test", 1, "no FID"),
       false,
       "InstallationIDError(\"no FID\")"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    launchApp();
    // Stale (two hours old) settings that switched sessions off.
    cache(json(R"({"app_vitals": {"sessions_enabled": false}})"), 7200);
    auto before = SettingsCache().cacheKey();
    server_.setFallback([&](const net::testing::RecordedRequest&) { return c.answer; });
    auto settings = remote(kAppID, "118", "2.4", c.installation, c.useRefused ? refused : std::nullopt);
    settings->updateSettings(ns::Date::now());
    std::string prefix = "[Settings] Fetching newest settings failed with error: " + c.error;
    ASSERT_TRUE(waitUntil([&] {
      for (const auto& line : sessionsLines()) {
        if (line.level == 3 && line.message.rfind(prefix, 0) == 0) return true;
      }
      return false;
    })) << prefix
        << " in " << testing::PrintToString(sessionsLines());
    EXPECT_EQ(settings->sessionsEnabled(), false);
    EXPECT_EQ(SettingsCache().cacheKey(), before);
  }
}

}  // namespace
}  // namespace ses_testing
