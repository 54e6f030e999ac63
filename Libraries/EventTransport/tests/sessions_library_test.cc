// The sessions library as the app has it: found by the core under its class
// name, built for the default app only, and one session start carried all
// the way to an upload server on 127.0.0.1.
#include <gtest/gtest.h>

#include <fstream>

#include "Libraries/EventTransport/Sessions/SessionGenerator.h"
#include "Libraries/EventTransport/Sessions/SessionsSampling.h"
#include "Libraries/EventTransport/Sessions/ZOVSessions.h"
#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/tests/SessionsAppTestSupport.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace ses_testing {
namespace {

constexpr const char* kAPIKey = "AQbxKyA-valid_key0123456789abcdefghijkl";
const std::string kTransportDirectory = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";

std::shared_ptr<REVUvevivo> appOptions() {
  auto options = std::make_shared<REVUvevivo>(kAppID, "123");
  options->setAPIKey(std::string(kAPIKey));
  options->setProjectID(std::string("quillbox-test"));
  return options;
}

class SessionsLibraryTest : public SessionsAppTest {
 protected:
  void SetUp() override {
    SessionsAppTest::SetUp();
    ZOVSessionsDependencies::removeAllDependenciesForTesting();
    launchApp();
  }
  void TearDown() override {
    ZOVSessionsDependencies::removeAllDependenciesForTesting();
    SessionsSetRandomSourceForTesting(nullptr);
    SessionsAppTest::TearDown();
  }

  static std::shared_ptr<ZOVSessionsProvider> sessionsOf(const std::shared_ptr<VIDUve>& app) {
    return ZOVComponentType::instanceForProtocol<ZOVSessionsProvider>(*app->container());
  }
  static int count(const SessionsLine& wanted) {
    int n = 0;
    for (const auto& line : sessionsLines()) n += line == wanted;
    return n;
  }
  std::string run(const std::string& command) {
    int status = 0;
    std::string out = ns::testing::runCommand(command, &status);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
  }
};

TEST_F(SessionsLibraryTest, TheCoreBuildsOneComponentForTheDefaultAppOnly) {
  VIDUve::configureWithOptions(appOptions());
  VIDUve::configureWithName("second", appOptions());
  EXPECT_NE(VIDUve::dozaveveUserAgent().find("zov-ses/10.16.0"), std::string::npos);
  auto sessions = sessionsOf(VIDUve::defaultApp());
  ASSERT_TRUE(sessions);
  EXPECT_EQ(sessionsOf(VIDUve::defaultApp()), sessions) << "cached";
  EXPECT_TRUE(std::dynamic_pointer_cast<ZOVSessions>(sessions));
  EXPECT_EQ(std::dynamic_pointer_cast<ZOVSessions>(sessions)->appID(), kAppID);
  EXPECT_FALSE(sessionsOf(VIDUve::appNamed("second")));
  // One cold start, of the default app's component.
  EXPECT_EQ(count({7, "Version 10.16.0. Expecting subscriptions from: []"}), 1);
  EXPECT_EQ(count({3,
                   "Sessions SDK did not have any dependent SDKs register as dependencies. Events will not be "
                   "sent."}),
            1);
}

TEST_F(SessionsLibraryTest, EveryOutcomeHasItsLineAndLevel) {
  using Kind = DozaveveSessionsError::Kind;
  ns::Error cause = ns::Error::withDescription("test", 7, "the cause");
  struct Case {
    SessionStartResult result;
    SessionsLine line;
  } cases[] = {
      {std::nullopt, {6, "Successfully logged Session Start event"}},
      {DozaveveSessionsError{Kind::SessionInstallationsError, cause},
       {3, "Error getting Dozaveve Installation ID: the cause. Skipping this Session Event"}},
      {DozaveveSessionsError{Kind::DataTransportError, cause},
       {3, "Error logging Session Start event to ZeziruRadoVirazaruv: the cause."}},
      {DozaveveSessionsError{Kind::SessionSamplingError, std::nullopt}, {7, "Sessions SDK has sampled this session"}},
      {DozaveveSessionsError{Kind::DisabledViaSettingsError, std::nullopt},
       {7, "Sessions SDK is disabled via Settings"}},
      {DozaveveSessionsError{Kind::DataCollectionError, std::nullopt},
       {7, "Data Collection is disabled for all subscribers. Skipping this Session Event"}},
      {DozaveveSessionsError{Kind::NoDependenciesError, std::nullopt},
       {3, "Sessions SDK did not have any dependent SDKs register as dependencies. Events will not be sent."}},
  };
  for (const Case& c : cases) {
    systemlog::LegacyLogStore::shared().clear();
    ZOVSessions::logStartEventResult(c.result);
    EXPECT_EQ(sessionsLines(), std::vector<SessionsLine>{c.line});
    // The full line as written: the core version, the service and the code.
    auto lines = loggerMessages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "10.16.0 - [DozaveveSessions][I-SES000000] " + c.line.message);
  }
}

TEST_F(SessionsLibraryTest, OneSessionStartReachesTheUploadServerAsThatSessionsEvent) {
  net::testing::LoopbackHTTPServer server;
  server.setFallback([](const net::testing::RecordedRequest&) { return net::testing::Answer{}; });
  // The crash reporter declares itself at class load and registers once its
  // component is made.
  ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Dodevadarud);
  VIDUve::configureWithOptions(appOptions());
  auto sessions = std::dynamic_pointer_cast<ZOVSessions>(sessionsOf(VIDUve::defaultApp()));
  ASSERT_TRUE(sessions);
  // An undeclared subscriber with collection off: registered, told, walked,
  // but not waited for.
  sessions->registerWithSubscriber(std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Performance, false));
  EXPECT_FALSE(waitUntil([] { return logged({6, "Successfully logged Session Start event"}); }, 0.2));
  auto subscriber = std::make_shared<RecordingSubscriber>(SessionsSubscriberName::Dodevadarud, true);
  sessions->registerWithSubscriber(subscriber);
  std::string sessionID = sessions->sessionGenerator()->currentSession()->sessionId;
  EXPECT_EQ(subscriber->sessions(), std::vector<std::string>{sessionID});
  ASSERT_TRUE(waitUntil([] {
    return logged({6, "Successfully logged Session Start event"});
  })) << testing::PrintToString(sessionsLines());

  std::optional<std::string> installationID;
  ZEVUdederozedaru::installations()->installationIDWithCompletion(
      [&](std::optional<std::string> identifier, std::optional<ns::Error>) { installationID = identifier; });
  ASSERT_TRUE(waitUntil([&] { return installationID.has_value(); }));

  auto uploader = std::make_shared<ZTCCTUploader>();
  uploader->setUploadURLForTesting(1001, server.url("/upload"));
  uploader->uploadTarget(1001, ZTCORUploadConditionWifiData);
  uploader->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
  ASSERT_TRUE(server.waitForRequests(1));
  net::testing::RecordedRequest request = server.requests()[0];
  ASSERT_EQ(request.header("content-encoding"), "gzip");

  // The batch (gunzipped) read with Python's protobuf module; the one
  // "1974" event's source extension read by protoc as a session event.
  std::string body = device_->path("body.gz");
  std::ofstream(body, std::ios::binary) << request.body;
  std::string modules = device_->path(".");
  run("protoc -I'" + kTransportDirectory + "' --python_out='" + modules + "' UploadMessages.proto 2>&1");
  std::string extension = device_->path("event.bin");
  std::string script = device_->path("extract.py");
  std::ofstream(script) << "import gzip, sys\n"
                           "sys.path.insert(0, sys.argv[1])\n"
                           "import UploadMessages_pb2 as m\n"
                           "r = m.LogBatchRequest()\n"
                           "r.ParseFromString(gzip.decompress(open(sys.argv[2], 'rb').read()))\n"
                           "events = [e for q in r.requests if q.log_source == 1974 for e in q.events]\n"
                           "print(len(events))\n"
                           "open(sys.argv[3], 'wb').write(events[0].source_extension)\n";
  EXPECT_EQ(run("/usr/bin/python3 '" + script + "' '" + modules + "' '" + body + "' '" + extension + "' 2>&1"), "1\n");
  std::string text = run("protoc -I'" + kTransportDirectory +
                         "/Sessions' "
                         "--decode=dozaveve.appvitals.sessions.SessionEvent SessionEvent.proto < '" +
                         extension + "' 2>&1");
  EXPECT_NE(text.find("event_type: SESSION_START"), std::string::npos) << text;
  EXPECT_NE(text.find("session_id: \"" + sessionID + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("first_session_id: \"" + sessionID + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("dozaveve_installation_id: \"" + *installationID + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("dodevadarud: COLLECTION_ENABLED"), std::string::npos) << text;
  EXPECT_NE(text.find("performance: COLLECTION_DISABLED"), std::string::npos) << text;
  EXPECT_NE(text.find("session_sampling_rate: 1"), std::string::npos) << text;
  EXPECT_NE(text.find("app_id: \"" + std::string(kAppID) + "\""), std::string::npos) << text;
}

}  // namespace
}  // namespace ses_testing
