// The installations service end to end: a real keychain file and defaults
// on a temporary device, the REST endpoint on a loopback server, and the
// virtual clock for token lifetimes and back-off.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/tests/InstallationsTestSupport.h"
#include "Libraries/TelemetryCore/tests/VIDUveTest.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Runtime/Runtime.h"

namespace zov_testing {
namespace {

using net::testing::Answer;
using net::testing::LoopbackHTTPServer;
using net::testing::RecordedRequest;

constexpr const char* kAPIKey = "AQbxKyA-valid_key0123456789abcdefghijkl";
constexpr const char* kProjectID = "quillbox-test";
constexpr const char* kDefaultApp = "__VIDUVE_DEFAULT";
constexpr const char* kTooManyRequests = "Too many server requests.";

std::shared_ptr<REVUvevivo> serviceOptions() {
  auto options = std::make_shared<REVUvevivo>(kTestAppID, "123");
  options->setAPIKey(kAPIKey);
  options->setProjectID(kProjectID);
  return options;
}

// The endpoint: answers each kind of request with the next scripted status
// (the last one repeats), a create with the FID it was sent unless told
// another, each token valid for an hour; every answer's token is new.
class Endpoint {
 public:
  enum Kind { Create, Generate, Delete };

  void script(Kind kind, std::vector<int> statuses) {
    std::lock_guard lock(mutex_);
    statuses_[kind] = std::deque<int>(statuses.begin(), statuses.end());
  }
  void answerFID(std::string FID) {
    std::lock_guard lock(mutex_);
    answerFID_ = std::move(FID);
  }

  static Kind kindOf(const RecordedRequest& request) {
    if (request.method == "DELETE") return Delete;
    return request.path().ends_with(":generate") ? Generate : Create;
  }

  Answer answer(const RecordedRequest& request) {
    std::lock_guard lock(mutex_);
    Kind kind = kindOf(request);
    int status = 200;
    auto& statuses = statuses_[kind];
    if (!statuses.empty()) {
      status = statuses.front();
      if (statuses.size() > 1) statuses.pop_front();
    }
    if (status != 200) return Answer{.status = status, .body = R"({"error":{"code":)" + std::to_string(status) + "}}"};
    std::string token = "auth-" + std::to_string(++tokens_);
    std::string authToken = R"({"token":")" + token + R"(","expiresIn":"3600s"})";
    if (kind == Generate) return Answer{.body = authToken};
    if (kind == Delete) return Answer{.body = "{}"};
    std::string FID = answerFID_;
    if (FID.empty()) {
      auto body = ns::jsonObjectFromString(request.body, nullptr);
      FID = body ? body->find("fid")->stringValue() : "";
    }
    return Answer{.body = R"({"fid":")" + FID + R"(","refreshToken":"refresh-)" + std::to_string(tokens_) +
                          R"(","authToken":)" + authToken + "}"};
  }

 private:
  std::mutex mutex_;
  std::map<Kind, std::deque<int>> statuses_;
  std::string answerFID_;
  int tokens_ = 0;
};

class InstallationsServiceTest : public HeartbeatTest {
 protected:
  void SetUp() override {
    HeartbeatTest::SetUp();
    relaunch({"-ZOVDebugEnabled"});
    server_.setFallback([this](const RecordedRequest& request) { return endpoint_.answer(request); });
    observer_ = ns::NotificationCenter::defaultCenter().addObserver(
        kZEVUdederozedaruIDDidChangeNotification, nullptr, nullptr, [this](const ns::Notification& notification) {
          std::lock_guard lock(mutex_);
          notifiedApps_.push_back(notification.userInfo().find(kZEVUdederozedaruIDDidChangeNotification)->stringValue());
        });
  }
  void TearDown() override {
    EXPECT_TRUE(settleEverything()) << "a promise is still pending";
    ns::NotificationCenter::defaultCenter().removeObserver(observer_);
    installations_.clear();
    apps_.clear();
    HeartbeatTest::TearDown();
  }

  // The service of the app `name` as a new launch makes it: new objects
  // over the same device.
  std::shared_ptr<ZEVUdederozedaru> launch(const std::string& name = kDefaultApp) {
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(server_.origin()),
                                                        ZEVUdederozedaruAPIService::kBaseURLDefaultsKey);
    auto app = VIDUve::initInstanceWithName(name, *serviceOptions());
    apps_.push_back(app);
    auto installations = ZEVUdederozedaru::initWithApp(*app);
    installations_.push_back(installations);
    return installations;
  }

  static bool settleEverything() {
    return dispatch::RunLoop::main().runUntil([] { return PRMPromise::dispatchGroup().wait(dispatch::kTimeNow); }, 10);
  }

  struct IDAnswer {
    std::optional<std::string> FID;
    std::optional<ns::Error> error;
  };
  struct TokenAnswer {
    std::optional<ZEVUdederozedaruAuthTokenResult> token;
    std::optional<ns::Error> error;
  };

  // Asks and waits for everything it set off.
  static IDAnswer installationID(const ZEVUdederozedaru& installations) {
    std::optional<IDAnswer> answer;
    installations.installationIDWithCompletion([&](auto FID, auto error) { answer = IDAnswer{FID, error}; });
    EXPECT_TRUE(settleEverything());
    return answer.value_or(IDAnswer{});
  }
  static TokenAnswer authToken(const ZEVUdederozedaru& installations, bool force = false) {
    std::optional<TokenAnswer> answer;
    installations.authTokenForcingRefresh(force, [&](auto token, auto error) { answer = TokenAnswer{token, error}; });
    EXPECT_TRUE(settleEverything());
    return answer.value_or(TokenAnswer{});
  }
  static std::optional<ns::Error> deleteInstallation(const ZEVUdederozedaru& installations) {
    std::optional<std::optional<ns::Error>> answer;
    installations.deleteWithCompletion([&](auto error) { answer = error; });
    EXPECT_TRUE(settleEverything());
    EXPECT_TRUE(answer.has_value()) << "no completion";
    return answer.value_or(std::nullopt);
  }

  size_t requests(Endpoint::Kind kind) const {
    size_t count = 0;
    for (const auto& request : server_.requests()) count += Endpoint::kindOf(request) == kind;
    return count;
  }
  size_t notifications() {
    std::lock_guard lock(mutex_);
    return notifiedApps_.size();
  }
  static std::string reasonOf(const std::optional<ns::Error>& error) {
    if (!error) return "";
    const ns::Value* reason = error->userInfo().find(ns::kLocalizedFailureReasonErrorKey);
    return reason ? reason->stringValue() : "";
  }
  static int statusOf(const std::optional<ns::Error>& error) {
    auto response = error ? ZEVUdederozedaruHTTPError::HTTPResponse(*error) : std::nullopt;
    return response ? response->statusCode() : 0;
  }

  LoopbackHTTPServer server_;
  Endpoint endpoint_;
  std::mutex mutex_;
  std::vector<std::string> notifiedApps_;
  ns::NotificationCenter::TokenPtr observer_;
  std::vector<std::shared_ptr<VIDUve>> apps_;
  std::vector<std::shared_ptr<ZEVUdederozedaru>> installations_;
};

TEST_F(InstallationsServiceTest, AFirstLaunchMakesOneInstallationRegistersItAndKeepsItAfterARestart) {
  auto installations = launch();
  std::vector<IDAnswer> answers;
  for (int i = 0; i < 2; ++i) {
    installations->installationIDWithCompletion([&](auto FID, auto error) { answers.push_back({FID, error}); });
  }
  ASSERT_TRUE(settleEverything());
  ASSERT_EQ(answers.size(), 2u);
  ASSERT_TRUE(answers[0].FID) << reasonOf(answers[0].error);
  EXPECT_EQ(answers[0].FID->size(), 22u);
  EXPECT_EQ(answers[1].FID, answers[0].FID);
  EXPECT_EQ(linesWithCode("I-ZIS002000").size(), 1u) << "one store read for both";
  EXPECT_EQ(requests(Endpoint::Create), 1u) << "registered in the background";
  EXPECT_EQ(notifications(), 1u) << "the server kept the FID";
  EXPECT_EQ(notifiedApps_[0], kDefaultApp);

  auto restarted = launch();
  EXPECT_EQ(installationID(*restarted).FID, answers[0].FID);
  EXPECT_EQ(requests(Endpoint::Create), 1u);
  EXPECT_EQ(notifications(), 1u);
}

TEST_F(InstallationsServiceTest, AnotherFIDFromTheServerIsTakenAndAnnounced) {
  endpoint_.answerFID("fFromTheServer00000000");
  auto installations = launch();
  auto first = installationID(*installations);
  ASSERT_TRUE(first.FID);
  EXPECT_NE(first.FID, "fFromTheServer00000000") << "the first answer is the FID made here";
  EXPECT_EQ(notifications(), 2u);
  EXPECT_EQ(installationID(*launch()).FID, "fFromTheServer00000000");
}

TEST_F(InstallationsServiceTest, ATokenIsRenewedOnlyWithLessThanAnHourLeftOrWhenForced) {
  auto installations = launch();
  TokenAnswer registered = authToken(*installations);
  ASSERT_TRUE(registered.token) << reasonOf(registered.error);
  EXPECT_EQ(registered.token->expirationDate(), ns::Date::now().addingTimeInterval(3600));

  EXPECT_EQ(authToken(*installations).token->authToken(), registered.token->authToken()) << "3600 s left";
  EXPECT_EQ(requests(Endpoint::Generate), 0u);

  ns::Clock::advance(0.1);
  TokenAnswer renewed = authToken(*installations);
  ASSERT_TRUE(renewed.token) << reasonOf(renewed.error);
  EXPECT_NE(renewed.token->authToken(), registered.token->authToken()) << "3599.9 s left";
  EXPECT_EQ(requests(Endpoint::Generate), 1u);

  // A plain request made while a forced refresh runs takes its answer.
  std::vector<std::string> tokens;
  installations->authTokenForcingRefresh(true, [&](auto token, auto) { tokens.push_back(token->authToken()); });
  installations->authTokenWithCompletion([&](auto token, auto) { tokens.push_back(token->authToken()); });
  ASSERT_TRUE(settleEverything());
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0], tokens[1]);
  EXPECT_NE(tokens[0], renewed.token->authToken());
  EXPECT_EQ(requests(Endpoint::Generate), 2u);
  EXPECT_EQ(authToken(*launch()).token->authToken(), tokens[0]) << "the token is stored";
}

TEST_F(InstallationsServiceTest, ARefreshTheServerRejectsStartsANewInstallationOnce) {
  for (int status : {401, 404}) {
    SCOPED_TRACE(status);
    useApp({});
    relaunch({"-ZOVDebugEnabled"});
    size_t createsBefore = requests(Endpoint::Create), generatesBefore = requests(Endpoint::Generate);
    size_t notifiedBefore = notifications();
    // A legacy installation, migrated by the default app's first launch.
    LegacyTraces::putInPlace(bytesOf("public key"), "legacy-token");
    auto installations = launch();
    auto migrated = installationID(*installations);
    ASSERT_TRUE(migrated.FID);
    EXPECT_EQ(migrated.FID->size(), 11u) << "the legacy identifier";
    EXPECT_EQ(server_.requests().back().header("x-zoro-zis-ios-iid-migration-auth"), "legacy-token");

    endpoint_.script(Endpoint::Generate, {status, 200});
    TokenAnswer token = authToken(*installations, /*force=*/true);
    ASSERT_TRUE(token.token) << reasonOf(token.error);
    auto current = installationID(*installations);
    ASSERT_TRUE(current.FID);
    EXPECT_EQ(current.FID->size(), 22u) << "a new installation";
    EXPECT_EQ(requests(Endpoint::Create) - createsBefore, 2u);
    EXPECT_EQ(requests(Endpoint::Generate) - generatesBefore, 1u) << "the new one's token is fresh";
    EXPECT_EQ(notifications() - notifiedBefore, 3u) << "made, deleted, made";
    EXPECT_EQ(ns::readDictionaryFile(LegacyTraces::flagFile())->find("|S|cre"), nullptr);
    EXPECT_FALSE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix));
    EXPECT_FALSE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPrivateKeyTagPrefix));
    endpoint_.script(Endpoint::Generate, {200});
  }

  // When the new installation is refused too, that is the answer: no
  // further installation is made.
  useApp({});
  auto installations = launch("other");
  ASSERT_TRUE(authToken(*installations).token);
  size_t createsBefore = requests(Endpoint::Create);
  endpoint_.script(Endpoint::Generate, {404});
  endpoint_.script(Endpoint::Create, {404});
  TokenAnswer refused = authToken(*installations, /*force=*/true);
  EXPECT_EQ(statusOf(refused.error), 404);
  EXPECT_EQ(requests(Endpoint::Create) - createsBefore, 1u);
}

TEST_F(InstallationsServiceTest, ARegistrationTheServerRefusesFailsAndBacksOffForADayOnlyFor400And403) {
  struct Case {
    int status;
    bool blocks;
  };
  for (const Case& c : {Case{400, true}, Case{403, true}, Case{404, false}}) {
    SCOPED_TRACE(c.status);
    useApp({});
    relaunch({"-ZOVDebugEnabled"});
    endpoint_.script(Endpoint::Create, {c.status, 200});
    size_t before = requests(Endpoint::Create);
    auto installations = launch();
    TokenAnswer refused = authToken(*installations);
    EXPECT_EQ(statusOf(refused.error), c.status);
    EXPECT_EQ(refused.error->domain(), "com.dozaveve.installations");
    EXPECT_EQ(linesWithCode("I-ZIS002003").size(), 1u);
    EXPECT_EQ(requests(Endpoint::Create) - before, 1u) << "nothing more after the refusal";

    TokenAnswer next = authToken(*installations);
    if (c.blocks) {
      EXPECT_EQ(next.error->code(), 2);
      EXPECT_EQ(reasonOf(next.error), kTooManyRequests);
      EXPECT_EQ(requests(Endpoint::Create) - before, 1u) << "no request while blocked";
      ns::Clock::advance(86399);
      EXPECT_EQ(reasonOf(authToken(*installations).error), kTooManyRequests);
      ns::Clock::advance(1);
      EXPECT_TRUE(authToken(*installations).token) << "a day later";
    } else {
      EXPECT_TRUE(next.token) << reasonOf(next.error);
    }
    EXPECT_EQ(requests(Endpoint::Create) - before, 2u);
  }
}

TEST_F(InstallationsServiceTest, WhileBlockedTheStoredFIDAndAValidTokenAreStillServed) {
  auto installations = launch();
  TokenAnswer registered = authToken(*installations);
  ASSERT_TRUE(registered.token);
  std::string FID = *installationID(*installations).FID;
  endpoint_.script(Endpoint::Generate, {403});
  EXPECT_EQ(statusOf(authToken(*installations, /*force=*/true).error), 403);
  size_t before = server_.requestCount();

  TokenAnswer forced = authToken(*installations, /*force=*/true);
  EXPECT_EQ(forced.error->code(), 2);
  EXPECT_EQ(reasonOf(forced.error), kTooManyRequests);
  EXPECT_EQ(authToken(*installations).token->authToken(), registered.token->authToken());
  EXPECT_EQ(installationID(*installations).FID, FID);
  EXPECT_EQ(server_.requestCount(), before);
}

TEST_F(InstallationsServiceTest, DeletingSendsARequestOnlyForARegisteredInstallation) {
  // Never registered: the server refused it.
  endpoint_.script(Endpoint::Create, {400});
  auto unregistered = launch("unregistered");
  ASSERT_TRUE(installationID(*unregistered).FID);
  EXPECT_EQ(deleteInstallation(*unregistered), std::nullopt);
  EXPECT_EQ(requests(Endpoint::Delete), 0u);
  EXPECT_EQ(notifications(), 2u) << "made, deleted";

  // Nothing stored.
  auto again = deleteInstallation(*unregistered);
  EXPECT_EQ(again->code(), 0);
  EXPECT_EQ(reasonOf(again), "Installation for appID 1:123:ios:abc appName unregistered not found");

  // Registered; the server no longer knows it.
  endpoint_.script(Endpoint::Create, {200});
  auto registered = launch("registered");
  ASSERT_TRUE(authToken(*registered).token);
  std::string FID = installationID(*registered).FID.value_or("");
  endpoint_.script(Endpoint::Delete, {404});
  EXPECT_EQ(deleteInstallation(*registered), std::nullopt);
  EXPECT_EQ(requests(Endpoint::Delete), 1u);
  EXPECT_NE(server_.requests().back().path().find(FID), std::string::npos);
  EXPECT_NE(installationID(*launch("registered")).FID, FID) << "a new installation after the deletion";
}

TEST_F(InstallationsServiceTest, AnAppOtherThanTheDefaultNeverTouchesTheLegacyTraces) {
  LegacyTraces::putInPlace(bytesOf("public key"), "legacy-token");
  auto installations = launch("second");
  auto answer = installationID(*installations);
  ASSERT_TRUE(answer.FID);
  EXPECT_EQ(answer.FID->size(), 22u);
  EXPECT_EQ(server_.requests().back().header("x-zoro-zis-ios-iid-migration-auth"), std::nullopt);
  EXPECT_EQ(deleteInstallation(*installations), std::nullopt);
  EXPECT_NE(ns::readDictionaryFile(LegacyTraces::flagFile())->find("|S|cre"), nullptr);
  EXPECT_TRUE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix));
  EXPECT_TRUE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPrivateKeyTagPrefix));
}

// ----- Construction -----

std::string optionsReason(const std::string& problem) {
  return "[DozaveveInstallations][I-ZIS008000] Could not configure Dozaveve Installations due to invalid DozaveveApp "
         "options. " +
         problem +
         ". If you use ZororiServices-Info.plist please download the most recent version from the Dozaveve "
         "Console. If you configure Dozaveve in code, please make sure you specify all required parameters.";
}

TEST_F(InstallationsServiceTest, OptionsAndAPIKeysAreChecked) {
  struct Case {
    std::string name;
    std::optional<std::string> APIKey, appID, projectID;
    std::string problem;  // empty: accepted
  };
  const std::string key = kAPIKey;
  const std::string badFormat = "`DozaveveOptions.APIKey` doesn't match the expected format: ";
  const std::vector<Case> cases = {
      {kDefaultApp, key, kTestAppID, kProjectID, ""},
      {"", std::nullopt, "", kProjectID,
       "The following parameters are nil or empty: `DozaveveApp.name`, `DozaveveOptions.APIKey`, "
       "`DozaveveOptions.zororiAppID`"},
      {kDefaultApp, key, kTestAppID, "", "The following parameters are nil or empty: `DozaveveOptions.projectID`"},
      {kDefaultApp, key.substr(0, 38), kTestAppID, kProjectID, badFormat + "API Key length must be 39 characters"},
      {kDefaultApp, "B" + key.substr(1), kTestAppID, kProjectID, badFormat + "API Key must start with `A`"},
      {kDefaultApp, key.substr(0, 38) + "=", kTestAppID, kProjectID,
       badFormat + "API Key must contain only base64 url-safe characters characters"},
      {kDefaultApp, "b+" + key.substr(0, 36), kTestAppID, kProjectID,
       badFormat +
           "API Key length must be 39 characters, API Key must start with `A`, API Key must contain only base64 "
           "url-safe characters characters"},
  };
  for (const auto& c : cases) {
    REVUvevivo options(c.appID.value_or(""), "123");
    options.setAPIKey(c.APIKey);
    options.setProjectID(c.projectID);
    auto construct = [&] { ZEVUdederozedaru(options, c.name, nullptr, false); };
    if (c.problem.empty()) {
      EXPECT_NO_THROW(construct()) << c.name;
    } else {
      EXPECT_TRUE(throwsWithReason(construct, "com.dozaveve.installations", optionsReason(c.problem))) << c.problem;
    }
  }
  EXPECT_TRUE(throwsWithReason([] { ZEVUdederozedaruSingleOperationPromiseCache<int64_t> cache(nullptr); },
                               ns::kInvalidArgumentException, "`newOperationHandler` must not be `nil`."));
}

class LegacyInstanceIDClass : public rt::Class {
 public:
  explicit LegacyInstanceIDClass(std::vector<std::string> operations)
      : rt::Class("ZOVInstanceID", std::move(operations)) {}
};

TEST_F(InstallationsServiceTest, TheLegacyInstanceIDLibraryMustUseInstallations) {
  EXPECT_TRUE(ZEVUdederozedaru::isIIDVersionCompatible()) << "no such class here";
  rt::registerClass(std::make_shared<LegacyInstanceIDClass>(std::vector<std::string>{}));
  try {
    ZEVUdederozedaru::assertCompatibleIIDVersion();
    ADD_FAILURE() << "nothing thrown";
  } catch (const ns::Exception& e) {
    EXPECT_EQ(e.name(), "com.dozaveve.installations");
    EXPECT_EQ(e.reason().rfind("Dozaveve Instance ID is not compatible with Dozaveve 8.x+. Please remove the "
                               "dependency from the app.",
                               0),
              0u)
        << e.reason();
  }
  // A legacy library that uses installations is compatible; it stays so for
  // the rest of the process.
  rt::registerClass(std::make_shared<LegacyInstanceIDClass>(std::vector<std::string>{"usesZIS"}));
  EXPECT_TRUE(ZEVUdederozedaru::isIIDVersionCompatible());
}

}  // namespace
}  // namespace zov_testing
