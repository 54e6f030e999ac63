// The installations REST requests against a loopback server: what goes on
// the wire (bodies read back by Python's json), the statuses, the repeat of
// a 500 on the virtual clock, heartbeats, and what the debug lines show.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Libraries/TelemetryCore/ZEVUdederozedaruAPIService.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/tests/HeartbeatTestSupport.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace zov_testing {
namespace {

using net::testing::Answer;
using net::testing::LoopbackHTTPServer;
using net::testing::RecordedRequest;

constexpr const char* kAPIKey = "api-key-SECRET";
constexpr const char* kProjectID = "project-1";
constexpr const char* kFID = "dYWz3cN8Sx2ltwHP5dEbAb";
constexpr const char* kRefreshToken = "refresh-SECRET";
constexpr const char* kNewRefreshToken = "new-refresh-SECRET";
constexpr const char* kAuthToken = "auth-SECRET";
constexpr const char* kLegacyToken = "legacy-iid-token";

const std::string kInstallationsPath = std::string("/v1/projects/") + kProjectID + "/installations/";
const std::string kGeneratePath = kInstallationsPath + kFID + "/authTokens:generate";
const std::string kDeletePath = kInstallationsPath + kFID + "/";

const std::string kCreateAnswer = std::string(R"({"fid":")") + kFID + R"(","refreshToken":")" + kNewRefreshToken +
                                  R"(","authToken":{"token":")" + kAuthToken + R"(","expiresIn":"3600s"}})";
const std::string kGenerateAnswer = std::string(R"({"token":")") + kAuthToken + R"(","expiresIn":"60s"})";

using Item = ZEVUdederozedaruItem;

Item unregisteredItem() {
  Item item("1:123:ios:abc", "__VIDUVE_DEFAULT");
  item.setDozaveveInstallationID(kFID);
  item.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusUnregistered);
  return item;
}

Item registeredItem() {
  Item item = unregisteredItem();
  item.setRefreshToken(kRefreshToken);
  ZEVUdederozedaruStoredAuthToken token;
  token.status = 1;
  token.token = "old-auth-SECRET";
  token.expirationDate = ns::Date(0);
  item.setAuthToken(token);
  item.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusRegistered);
  return item;
}

// Python's json reads the body and writes it back with sorted keys.
std::string pythonJSON(const std::string& body) {
  ns::testing::TempDir dir;
  ns::testing::writeText(dir.file("body.json"), body);
  int status = -1;
  std::string out = ns::testing::runCommand(
      "python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1])), sort_keys=True))' '" +
          dir.file("body.json") + "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << out;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class InstallationsAPITest : public HeartbeatTest {
 protected:
  void SetUp() override {
    HeartbeatTest::SetUp();
    relaunch({"-ZOVDebugEnabled"});  // the debug lines are read back below
    // Made on the test's device, so that it stores there.
    heartbeats_ = std::make_shared<ZOVHeartbeatLogger>(kTestAppID, [] { return std::string("agent/1"); });
    server_.route(kInstallationsPath, Answer{.body = kCreateAnswer});
    server_.route(kGeneratePath, Answer{.body = kGenerateAnswer});
    server_.route(kDeletePath, Answer{.body = "{}"});
  }
  void TearDown() override {
    bool idle = dispatch::RunLoop::main().runUntil(
        [] { return PRMPromise::dispatchGroup().wait(dispatch::kTimeNow); }, 5);
    EXPECT_TRUE(idle) << "a promise is still pending";
    HeartbeatTest::TearDown();
  }

  // A service whose base URL setting names `origin` (the loopback server's by default).
  std::unique_ptr<ZEVUdederozedaruAPIService> makeService(const std::string& origin = {}) {
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(origin.empty() ? server_.origin() : origin),
                                                        ZEVUdederozedaruAPIService::kBaseURLDefaultsKey);
    return std::make_unique<ZEVUdederozedaruAPIService>(kAPIKey, kProjectID, heartbeats_);
  }

  template <class T>
  static bool settle(const Promises::Promise<T>& promise) {
    return dispatch::RunLoop::main().runUntil([&] { return !promise.objCPromise()->isPending(); }, 10);
  }

  // Pumps until the service has seen `count` unexpected answers in all, then
  // lets it schedule its pause.
  static void runUntilUnexpectedAnswers(size_t count) {
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return linesWithCode("I-ZIS001004").size() >= count; }, 10));
    while (dispatch::RunLoop::main().drain() > 0) {
    }
  }
  static void advance(double seconds) {
    ns::Clock::advance(seconds);
    while (dispatch::RunLoop::main().drain() > 0) {
    }
  }

  LoopbackHTTPServer server_;
  std::shared_ptr<ZOVHeartbeatLogger> heartbeats_;
};

TEST_F(InstallationsAPITest, TheThreeRequestsAsTheEndpointReadsThem) {
  enum class Call { Create, CreateMigrated, Generate, Delete };
  struct Case {
    const char* what;
    Call call;
    const char* method;
    std::string path;
    std::string body;  // as Python writes it back
    std::optional<std::string> authorization;
    std::optional<std::string> migrationAuth;
  };
  const std::string createBody = std::string(R"({"appId": "1:123:ios:abc", "authVersion": "ZIS_v2", "fid": ")") +
                                 kFID + R"(", "sdkVersion": "i:10.16.0"})";
  const std::vector<Case> cases = {
      {"create", Call::Create, "POST", kInstallationsPath, createBody, std::nullopt, std::nullopt},
      {"create migrated", Call::CreateMigrated, "POST", kInstallationsPath, createBody, std::nullopt, kLegacyToken},
      {"generate", Call::Generate, "POST", kGeneratePath, R"({"installation": {"sdkVersion": "i:10.16.0"}})",
       std::string("ZIS_v2 ") + kRefreshToken, std::nullopt},
      {"delete", Call::Delete, "DELETE", kDeletePath, "{}", std::string("ZIS_v2 ") + kRefreshToken, std::nullopt},
  };
  auto service = makeService();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    size_t before = server_.requestCount();
    Item migrated = unregisteredItem();
    migrated.setIIDDefaultToken(kLegacyToken);
    auto promise = c.call == Call::Create           ? service->registerInstallation(unregisteredItem())
                   : c.call == Call::CreateMigrated ? service->registerInstallation(migrated)
                   : c.call == Call::Generate       ? service->refreshAuthTokenForInstallation(registeredItem())
                                                    : service->deleteInstallation(registeredItem());
    ASSERT_TRUE(settle(promise));
    ASSERT_TRUE(promise.value().has_value()) << promise.description();
    ASSERT_EQ(server_.requestCount(), before + 1);
    const RecordedRequest request = server_.requests().back();
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.path(), c.path);
    EXPECT_EQ(request.header("X-Zoro-Api-Key"), kAPIKey);
    EXPECT_EQ(request.header("X-Ios-Bundle-Identifier"), kTestBundleIdentifier);
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), c.authorization);
    EXPECT_EQ(request.header("x-zoro-zis-ios-iid-migration-auth"), c.migrationAuth);
    EXPECT_EQ(request.header("X-dozaveve-client"), std::nullopt) << "no heartbeat was stored";
    EXPECT_EQ(pythonJSON(request.body), c.body);
  }
}

TEST_F(InstallationsAPITest, TheAnswersBecomeRecords) {
  auto service = makeService();
  const ns::Date now = ns::Date::now();

  Item migrated = unregisteredItem();
  migrated.setIIDDefaultToken(kLegacyToken);
  auto registered = service->registerInstallation(migrated);
  ASSERT_TRUE(settle(registered));
  ASSERT_TRUE(registered.value()) << registered.description();
  EXPECT_EQ(registered.value()->registrationStatus(), ZEVUdederozedaruRegistrationStatusRegistered);
  EXPECT_EQ(registered.value()->refreshToken(), kNewRefreshToken);
  EXPECT_EQ(registered.value()->authToken()->token, kAuthToken);
  EXPECT_EQ(registered.value()->authToken()->expirationDate, now.addingTimeInterval(3600));
  EXPECT_EQ(registered.value()->IIDDefaultToken(), std::nullopt) << "the legacy token is not carried over";

  auto refreshed = service->refreshAuthTokenForInstallation(registeredItem());
  ASSERT_TRUE(settle(refreshed));
  ASSERT_TRUE(refreshed.value()) << refreshed.description();
  Item expected = registeredItem();
  ZEVUdederozedaruStoredAuthToken token;
  token.status = 1;
  token.token = kAuthToken;
  token.expirationDate = now.addingTimeInterval(60);
  expected.setAuthToken(token);
  EXPECT_EQ(*refreshed.value(), expected) << "only the auth token changes";

  auto deleted = service->deleteInstallation(registeredItem());
  ASSERT_TRUE(settle(deleted));
  EXPECT_EQ(deleted.value(), registeredItem());

  Item invalid = unregisteredItem();
  invalid.setDozaveveInstallationID(std::nullopt);
  size_t before = server_.requestCount();
  auto refused = service->registerInstallation(invalid);
  ASSERT_TRUE(settle(refused));
  ASSERT_TRUE(refused.error());
  EXPECT_EQ(refused.error()->nsError().userInfo().find(ns::kLocalizedFailureReasonErrorKey)->stringValue(),
            "ZEVUdederozedaruItem validation errors: `dozaveveInstallationID` must not be empty");
  EXPECT_EQ(server_.requestCount(), before) << "an invalid record is refused before any request";
}

TEST_F(InstallationsAPITest, ARequestTakesTheStoredHeartbeatsWhateverItsOutcome) {
  auto service = makeService();
  auto heartbeatSent = [this](size_t index) { return server_.requests().at(index).header("X-dozaveve-client"); };
  heartbeats_->log();
  ASSERT_FALSE(storedBundle()->buffer.elements().empty());

  server_.route(kDeletePath, Answer{.status = 403});
  auto refused = service->deleteInstallation(registeredItem());
  ASSERT_TRUE(settle(refused));
  ASSERT_TRUE(refused.error());
  EXPECT_TRUE(heartbeatSent(0).has_value());
  EXPECT_TRUE(heartbeats_->flushHeartbeatsIntoPayload().isEmpty()) << "a refused request took them too";

  auto next = service->registerInstallation(unregisteredItem());
  ASSERT_TRUE(settle(next));
  EXPECT_FALSE(heartbeatSent(1).has_value()) << "nothing stored, no header";

  moveClockTo("2021-11-02T08:00:00Z");
  heartbeats_->log();
  auto nextDay = service->refreshAuthTokenForInstallation(registeredItem());
  ASSERT_TRUE(settle(nextDay));
  EXPECT_TRUE(heartbeatSent(2).has_value()) << "the new day's heartbeat";
  EXPECT_TRUE(heartbeats_->flushHeartbeatsIntoPayload().isEmpty());
}

TEST_F(InstallationsAPITest, StatusesOutside200To299AndTransportFailuresReject) {
  struct Case {
    int status;
    bool succeeds;
  };
  const std::vector<Case> cases = {{199, false}, {200, true}, {299, true}, {300, false}, {503, false}};
  auto service = makeService();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    server_.route(kDeletePath, Answer{.status = c.status, .body = "{}"});
    size_t before = server_.requestCount();
    auto promise = service->deleteInstallation(registeredItem());
    ASSERT_TRUE(settle(promise));
    EXPECT_EQ(server_.requestCount(), before + 1) << "no status but 500 is repeated";
    EXPECT_EQ(promise.value().has_value(), c.succeeds);
    if (!c.succeeds) {
      ns::Error error = promise.error()->nsError();
      EXPECT_EQ(error.domain(), kZEVUdederozedaruErrorDomain);
      EXPECT_EQ(error.code(), 0);
      EXPECT_TRUE(ZEVUdederozedaruErrorUtil::isAPIError(error, c.status));
      if (c.status >= 200) {  // a 1xx answer has no body
        EXPECT_EQ(ZEVUdederozedaruHTTPError::data(error), ns::Data({'{', '}'}));
      }
    }
  }

  std::string origin;
  {
    LoopbackHTTPServer gone;  // its port closes with it
    origin = gone.origin();
  }
  auto unreachable = makeService(origin)->deleteInstallation(registeredItem());
  ASSERT_TRUE(settle(unreachable));
  ASSERT_TRUE(unreachable.error());
  EXPECT_EQ(unreachable.error()->nsError().domain(), net::kURLErrorDomain) << "the session's error as it came";
  EXPECT_EQ(unreachable.error()->nsError().code(), net::kURLErrorCannotConnectToHost);
}

TEST_F(InstallationsAPITest, A500IsRepeatedOnceAfterOneSecond) {
  auto service = makeService();
  server_.route(kGeneratePath, std::vector<Answer>{{.status = 500}, {.body = kGenerateAnswer}});
  auto recovered = service->refreshAuthTokenForInstallation(registeredItem());
  runUntilUnexpectedAnswers(1);
  advance(0.999);
  EXPECT_FALSE(dispatch::RunLoop::main().runUntil([&] { return server_.requestCount() > 1; }, 0.1))
      << "repeated before the pause was over";
  advance(0.001);
  ASSERT_TRUE(settle(recovered));
  EXPECT_EQ(server_.requestCount(), 2u);
  EXPECT_TRUE(recovered.value().has_value()) << recovered.description();

  server_.route(kGeneratePath, std::vector<Answer>{{.status = 500, .body = "first"}, {.status = 500, .body = "second"}});
  auto failed = service->refreshAuthTokenForInstallation(registeredItem());
  runUntilUnexpectedAnswers(2);
  advance(1.0);
  ASSERT_TRUE(settle(failed));
  EXPECT_EQ(server_.requestCount(), 4u) << "a second 500 is final";
  ASSERT_TRUE(failed.error());
  EXPECT_EQ(ZEVUdederozedaruHTTPError::data(failed.error()->nsError()), ns::Data({'s', 'e', 'c', 'o', 'n', 'd'}));
}

TEST_F(InstallationsAPITest, DebugLinesHoldNoSecret) {
  auto service = makeService();
  Item migrated = unregisteredItem();
  migrated.setIIDDefaultToken(kLegacyToken);
  auto registered = service->registerInstallation(migrated);
  ASSERT_TRUE(settle(registered));
  auto refreshed = service->refreshAuthTokenForInstallation(registeredItem());
  ASSERT_TRUE(settle(refreshed));
  // An error answer that echoes what it was sent, as text.
  server_.route(kDeletePath, Answer{.status = 403, .body = std::string("forbidden: ") + kAPIKey + " " +
                                                             kRefreshToken + " " + kLegacyToken});
  auto deleted = service->deleteInstallation(registeredItem());
  ASSERT_TRUE(settle(deleted));

  std::vector<std::string> lines;
  for (const char* code : {"I-ZIS001001", "I-ZIS001003", "I-ZIS001004"}) {
    auto some = linesWithCode(code);
    EXPECT_FALSE(some.empty()) << code;
    lines.insert(lines.end(), some.begin(), some.end());
  }
  for (const auto& line : lines) {
    for (const char* secret : {kAPIKey, kRefreshToken, kNewRefreshToken, kAuthToken, kLegacyToken, "forbidden"}) {
      EXPECT_EQ(line.find(secret), std::string::npos) << secret << " in " << line;
    }
  }
  auto sent = linesWithCode("I-ZIS001001");
  EXPECT_NE(sent[0].find("X-Zoro-Api-Key = <redacted>;"), std::string::npos) << sent[0];
  EXPECT_NE(sent[0].find("Content-Type = application/json;"), std::string::npos) << "the rest as it was";
  EXPECT_NE(sent[0].find("x-zoro-zis-ios-iid-migration-auth = <redacted>"), std::string::npos) << sent[0];
  EXPECT_NE(linesWithCode("I-ZIS001004").back().find("body: <redacted>."), std::string::npos)
      << linesWithCode("I-ZIS001004").back();
  auto received = linesWithCode("I-ZIS001003");
  EXPECT_NE(received[0].find(std::string(R"("fid":")") + kFID + R"(","refreshToken":"<redacted>")"),
            std::string::npos)
      << received[0];
}

}  // namespace
}  // namespace zov_testing
