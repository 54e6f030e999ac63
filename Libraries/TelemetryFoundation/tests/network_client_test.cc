#include "Libraries/TelemetryFoundation/ZULNetwork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using net::testing::Answer;
using net::testing::LoopbackHTTPServer;
using net::testing::RecordedRequest;

struct LogCall {
  ZULNetworkLogLevel level;
  long code;
  std::optional<std::string> message;
  ZULNetworkLogContexts contexts;
};

class RecordingLogger : public ZULNetworkLoggerDelegate {
 public:
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContexts& contexts) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({level, code, message, contexts});
  }
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContext& context) override {
    ZULNetwork_logWithLevel(level, code, message, ZULNetworkLogContexts{context});
  }
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                               const std::optional<std::string>& message) override {
    ZULNetwork_logWithLevel(level, code, message, ZULNetworkLogContexts{});
  }
  std::vector<LogCall> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::optional<LogCall> find(long code) const {
    for (const auto& call : calls()) {
      if (call.code == code) return call;
    }
    return std::nullopt;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<LogCall> calls_;
};

// Holds a server's answer until the test opens it (at most 10 s).
class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Set by a handler that may run on another thread than the one waiting for it;
// copies of an outcome are taken only once it has been called.
struct CalledFlag {
  std::atomic<bool> value{false};
  CalledFlag() = default;
  CalledFlag(const CalledFlag& other) : value(other.value.load()) {}
  CalledFlag& operator=(bool called) {
    value.store(called);
    return *this;
  }
  operator bool() const { return value.load(); }
};

struct Outcome {
  CalledFlag called;
  std::optional<net::HTTPURLResponse> response;
  std::optional<ns::Data> data;
  std::optional<ns::Error> error;
  std::string queue;

  int status() const { return response ? response->statusCode() : 0; }
  std::string text() const { return data ? std::string(data->begin(), data->end()) : ""; }
};

class NetworkClientTest : public zul_testing::ZULEnvironmentTest {
 protected:
  void SetUp() override {
    useDevice({});
    network_ = ZULNetwork::initWithReachabilityHost("telemetry.example.com");
    ASSERT_NE(network_, nullptr);
    network_->setLoggerDelegate(logger_);
  }
  void TearDown() override {
    network_.reset();
    dispatch::RunLoop::main().drain();
    ZULEnvironmentTest::TearDown();
  }

  // A handler that writes into `outcome`, and the wait for it (the main run
  // loop carries the session's callbacks).
  static ZULNetwork::CompletionHandler into(const std::shared_ptr<Outcome>& outcome) {
    return [outcome](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                     std::optional<ns::Error> error) {
      outcome->response = std::move(response);
      outcome->data = std::move(data);
      outcome->error = std::move(error);
      outcome->queue = dispatch::Queue::currentLabel();
      outcome->called = true;
    };
  }
  static bool settle(const std::shared_ptr<Outcome>& outcome) {
    return dispatch::RunLoop::main().runUntil([&] { return outcome->called; }, 15);
  }
  Outcome post(const ns::URL& url, const net::HTTPHeaderFields& headers, const std::string& payload,
               bool background = false) {
    auto outcome = std::make_shared<Outcome>();
    lastSessionID_ = network_->postURL(url, headers, ns::Data(payload.begin(), payload.end()), nullptr, background,
                                       into(outcome));
    EXPECT_TRUE(settle(outcome));
    return *outcome;
  }
  Outcome get(const ns::URL& url, bool background = false) {
    auto outcome = std::make_shared<Outcome>();
    lastSessionID_ = network_->getURL(url, {}, nullptr, background, into(outcome));
    EXPECT_TRUE(settle(outcome));
    return *outcome;
  }
  std::string temporaryDirectory() const {
    return device_->path("App/Library/Application Support/ZUL/Network/ZULNetworkTemporaryDirectory");
  }

  LoopbackHTTPServer server_;
  std::shared_ptr<RecordingLogger> logger_ = std::make_shared<RecordingLogger>();
  std::shared_ptr<ZULNetwork> network_;
  std::optional<std::string> lastSessionID_;
};

TEST_F(NetworkClientTest, APostSendsTheGzippedPayloadAsAFormWhateverTheCallerSaid) {
  server_.route("/upload", Answer{.body = "stored"});
  std::string payload;
  for (int i = 0; i < 200; ++i) payload += "event=" + std::to_string(i) + "&name=session_start&";
  const net::HTTPHeaderFields headers = {{"content-type", "text/plain"},
                                         {"Content-Encoding", "identity"},
                                         {"Content-Length", "1"},
                                         {"X-Batch", "7"}};
  for (bool background : {false, true}) {
    SCOPED_TRACE(background ? "background" : "foreground");
    Outcome outcome = post(server_.url("/upload"), headers, payload, background);
    EXPECT_FALSE(outcome.error.has_value());
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.text(), "stored");

    RecordedRequest request = server_.requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.header("Content-Encoding"), "gzip");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
    EXPECT_EQ(request.header("X-Batch"), "7");
    EXPECT_LT(request.body.size(), payload.size());

    ns::testing::TempDir dir;
    ns::testing::writeBytes(dir.file("body.gz"), std::vector<uint8_t>(request.body.begin(), request.body.end()));
    int status = -1;
    EXPECT_EQ(ns::testing::runCommand("gzip -dc '" + dir.file("body.gz") + "'", &status), payload);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(network_->hasUploadInProgress());
  }
  // The background upload made the temporary directory, kept out of backups.
  EXPECT_TRUE(ns::FileManager::defaultManager().isExcludedFromBackup(temporaryDirectory()));
}

TEST_F(NetworkClientTest, AnEmptyPayloadGoesOutAsAnEmptyBodyLabelledGzip) {
  server_.route("/upload", Answer{.status = 204});
  Outcome outcome = post(server_.url("/upload"), {}, "");
  EXPECT_EQ(outcome.status(), 204);
  RecordedRequest request = server_.requests().at(0);
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(request.header("Content-Length"), "0");
  EXPECT_EQ(request.header("Content-Encoding"), "gzip");
}

TEST_F(NetworkClientTest, AnEmptyURLFailsWithCode1BeforeAnyRequest) {
  auto posted = std::make_shared<Outcome>();
  auto got = std::make_shared<Outcome>();
  EXPECT_EQ(network_->postURL(ns::URL(), ns::Data{'x'}, nullptr, false, into(posted)), std::nullopt);
  EXPECT_EQ(network_->getURL(ns::URL(), {}, nullptr, false, into(got)), std::nullopt);
  EXPECT_FALSE(posted->called) << "told later, on the main queue";
  ASSERT_TRUE(settle(posted));
  ASSERT_TRUE(settle(got));
  for (const auto& outcome : {posted, got}) {
    ASSERT_TRUE(outcome->error.has_value());
    EXPECT_EQ(outcome->error->domain(), "com.zul.network.ErrorDomain");
    EXPECT_EQ(outcome->error->code(), 1);
    EXPECT_EQ(outcome->error->userInfo().find("Context")->stringValue(), "Failed to create network request");
    EXPECT_FALSE(outcome->response.has_value());
    EXPECT_EQ(outcome->queue, "main-thread");
  }
  EXPECT_EQ(server_.requestCount(), 0u);
  auto warning = logger_->find(900002);
  ASSERT_TRUE(warning.has_value());
  EXPECT_EQ(warning->level, ZULNetworkLogLevelWarning);
  EXPECT_EQ(warning->message, "Failed to create network request. Code, error");
  EXPECT_EQ(warning->contexts.at(0), "1");
}

TEST_F(NetworkClientTest, TheRequestCarriesTheClientsTimeoutAnd0Means60) {
  server_.route("/config", Answer{.body = "{}"});
  struct Case {
    double set, expected;
  };
  for (const Case& c : {Case{0, 60}, Case{5, 5}, Case{120, 120}}) {
    network_->setTimeoutInterval(c.set);
    auto outcome = std::make_shared<Outcome>();
    auto sessionID = network_->getURL(server_.url("/config"), {}, nullptr, false, into(outcome));
    ASSERT_TRUE(sessionID.has_value());
    auto fetcher = ZULNetworkURLSession::sessionFromFetcherMapForSessionID(*sessionID);
    ASSERT_NE(fetcher, nullptr);
    EXPECT_EQ(fetcher->request()->timeoutInterval(), c.expected) << c.set;
    EXPECT_EQ(fetcher->request()->cachePolicy(), net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    ASSERT_TRUE(settle(outcome));
  }
}

TEST_F(NetworkClientTest, SomeRedirectsAreFollowedAndOthersAreTheAnswer) {
  server_.route("/target", Answer{.body = "moved here"});
  struct Case {
    int status;
    bool followed;
  };
  const std::vector<Case> cases = {{300, false}, {301, false}, {302, false}, {303, true}, {307, false}, {308, true}};
  for (const auto& c : cases) {
    const std::string path = "/r" + std::to_string(c.status);
    server_.route(path, Answer::redirect(c.status, server_.url("/target").absoluteString()));
    const size_t before = server_.requestCount();
    Outcome outcome = get(server_.url(path));
    EXPECT_FALSE(outcome.error.has_value()) << c.status;
    EXPECT_EQ(outcome.status(), c.followed ? 200 : c.status) << c.status;
    EXPECT_EQ(server_.requestCount() - before, c.followed ? 2u : 1u) << c.status;
    if (c.followed) {
      EXPECT_EQ(outcome.text(), "moved here");
    }
  }
}

TEST_F(NetworkClientTest, ABodyCutShortFailsEvenWithAResponse) {
  server_.route("/cut", Answer{.body = std::string(5000, 'c'), .cut = Answer::Cut::Close, .cutAfter = 1000});
  Outcome got = get(server_.url("/cut"));
  Outcome posted = post(server_.url("/cut"), {}, "payload");
  for (const Outcome& outcome : {got, posted}) {
    EXPECT_EQ(outcome.status(), 200) << "the response arrived";
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->domain(), net::kURLErrorDomain);
    EXPECT_EQ(outcome.error->code(), net::kURLErrorNetworkConnectionLost);
  }
  auto line = logger_->find(901017);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->message, "Encounter network error. Code, error");
  EXPECT_EQ(line->contexts.at(0), "-1005");
}

TEST_F(NetworkClientTest, BackgroundUploadsGoThroughATemporaryFileThatIsRemovedAfterwards) {
  auto& files = ns::FileManager::defaultManager();
  ASSERT_TRUE(files.createDirectory(temporaryDirectory(), true));
  const std::string old = temporaryDirectory() + "/ZULUpload_temp_left-by-an-earlier-run";
  const std::string recent = temporaryDirectory() + "/ZULUpload_temp_still-uploading";
  ASSERT_TRUE(files.writeData(ns::Data{'o'}, old, {}));
  ASSERT_TRUE(files.writeData(ns::Data{'r'}, recent, {}));
  ASSERT_TRUE(files.setAttributes({.creationDate = ns::Date::now().addingTimeInterval(-3601)}, old));
  ASSERT_TRUE(files.setAttributes({.creationDate = ns::Date::now().addingTimeInterval(-600)}, recent));

  std::mutex seenMutex;
  std::vector<std::string> seenDuringUpload;
  std::vector<std::string> excludedFromBackup;
  server_.route("/upload", [&](const RecordedRequest&) {
    std::lock_guard lock(seenMutex);
    seenDuringUpload = *files.contentsOfDirectory(temporaryDirectory());
    excludedFromBackup.clear();
    for (const auto& name : seenDuringUpload) {
      if (files.isExcludedFromBackup(temporaryDirectory() + "/" + name)) excludedFromBackup.push_back(name);
    }
    return Answer{.status = 201};
  });
  Outcome outcome = post(server_.url("/upload"), {}, "a=1", /*background=*/true);
  EXPECT_EQ(outcome.status(), 201);
  ASSERT_TRUE(lastSessionID_.has_value());
  EXPECT_TRUE(ns::hasPrefix(*lastSessionID_, "com.zul.network.background-upload-"));

  const std::string uploadFile = "ZULUpload_temp_" + *lastSessionID_;
  EXPECT_EQ(seenDuringUpload, (std::vector<std::string>{uploadFile, "ZULUpload_temp_still-uploading"}))
      << "the expired file went before the upload; the upload's own file was there";
  EXPECT_EQ(*files.contentsOfDirectory(temporaryDirectory()),
            std::vector<std::string>{"ZULUpload_temp_still-uploading"});
  EXPECT_EQ(excludedFromBackup, std::vector<std::string>{uploadFile});

  // A foreground upload leaves no file at all.
  seenDuringUpload.clear();
  post(server_.url("/upload"), {}, "b=2");
  EXPECT_EQ(seenDuringUpload, std::vector<std::string>{"ZULUpload_temp_still-uploading"});
}

TEST_F(NetworkClientTest, CompletionsRunOnTheGivenQueueAndNotOnceTheClientIsGone) {
  server_.route("/ok", Answer{.body = "fine"});
  auto queue = dispatch::Queue::serial("test.network.completions");
  auto outcome = std::make_shared<Outcome>();
  network_->getURL(server_.url("/ok"), {}, queue, false, into(outcome));
  ASSERT_TRUE(settle(outcome));
  EXPECT_EQ(outcome->queue, "test.network.completions");
  EXPECT_EQ(outcome->text(), "fine");

  Gate gate;
  server_.route("/held", [&](const RecordedRequest&) {
    gate.wait();
    return Answer{.body = "late"};
  });
  auto late = std::make_shared<Outcome>();
  auto sessionID = network_->getURL(server_.url("/held"), {}, queue, false, into(late));
  ASSERT_TRUE(sessionID.has_value());
  EXPECT_TRUE(network_->hasUploadInProgress());
  ASSERT_TRUE(server_.waitForRequests(2));
  network_.reset();
  gate.open();
  // The fetcher lives on until its task has ended and its session let go.
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil(
      [&] { return !ZULNetworkURLSession::sessionFromFetcherMapForSessionID(*sessionID); }, 15));
  dispatch::RunLoop::main().drain();
  queue->sync([] {});
  EXPECT_FALSE(late->called);
}

// Holds the "Downloading data. Host" line, which the client writes after
// the task has started, until the test opens the gate.
class LineHoldingLogger : public RecordingLogger {
 public:
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContext& context) override {
    if (code == ZULNetworkMessageCodeDownloading) gate.wait();
    RecordingLogger::ZULNetwork_logWithLevel(level, code, message, context);
  }
  Gate gate;
};

TEST_F(NetworkClientTest, ARequestThatEndsBeforeItsCallerResumesIsNoLongerInProgress) {
  server_.route("/ok", Answer{.body = "fine"});
  auto logger = std::make_shared<LineHoldingLogger>();
  network_->setLoggerDelegate(logger);
  auto outcome = std::make_shared<Outcome>();
  std::optional<std::string> sessionID;
  std::thread caller([&] { sessionID = network_->getURL(server_.url("/ok"), {}, nullptr, false, into(outcome)); });
  ASSERT_TRUE(settle(outcome)) << "the answer came while the caller was held";
  logger->gate.open();
  caller.join();
  EXPECT_TRUE(sessionID.has_value());
  EXPECT_EQ(outcome->text(), "fine");
  EXPECT_FALSE(network_->hasUploadInProgress());
}

TEST_F(NetworkClientTest, WithoutALoggerLinesGoToTheUtilitiesLoggerAboveTheDebugGate) {
  auto quiet = ZULNetwork::initWithReachabilityHost("telemetry.example.com");
  ZULLoggerSetLevel(ZULLoggerLevelDebug);
  systemlog::LegacyLogStore::shared().clear();
  struct Case {
    bool debugMode;
    ZULNetworkLogLevel level;
    long code;
    std::optional<std::string> message;
    ZULNetworkLogContexts contexts;
    std::string expected;  // "" for no line
  };
  const std::vector<Case> cases = {
      {false, ZULNetworkLogLevelInfo, 901019, "Discarding session", {"a", std::nullopt},
       " - [ZULNetwork][I-NET901019] <Zorori/Utilities/Network/INFO> Discarding session: a, (nil)"},
      {false, ZULNetworkLogLevelError, 901000, std::nullopt, {},
       " - [ZULNetwork][I-NET901000] <Zorori/Utilities/Network/ERROR> (Message was nil)"},
      {false, ZULNetworkLogLevelWarning, 900002, "", {"1"},
       " - [ZULNetwork][I-NET900002] <Zorori/Utilities/Network/WARNING> (Message was empty): 1"},
      {false, ZULNetworkLogLevelDebug, 900000, "Uploading data. Host", {"https://x.example"}, ""},
      {true, ZULNetworkLogLevelDebug, 900000, "Uploading data. Host", {"https://x.example"},
       " - [ZULNetwork][I-NET900000] <Zorori/Utilities/Network/DEBUG> Uploading data. Host: https://x.example"},
  };
  for (const auto& c : cases) {
    systemlog::LegacyLogStore::shared().clear();
    quiet->setIsDebugModeEnabled(c.debugMode);
    quiet->ZULNetwork_logWithLevel(static_cast<ZULNetworkLogLevel>(c.level), static_cast<ZULNetworkMessageCode>(c.code),
                                   c.message, c.contexts);
    auto lines = loggerLines();
    if (c.expected.empty()) {
      EXPECT_TRUE(lines.empty()) << c.code;
      continue;
    }
    ASSERT_EQ(lines.size(), 1u) << c.code;
    EXPECT_EQ(lines[0]["Message"], c.expected);
    EXPECT_EQ(lines[0]["Level"], std::to_string(c.level));
  }

  // A logger takes every call as it is, debug ones too; none at all is refused.
  systemlog::LegacyLogStore::shared().clear();
  auto logger = std::make_shared<RecordingLogger>();
  quiet->setIsDebugModeEnabled(false);
  quiet->setLoggerDelegate(logger);
  quiet->setLoggerDelegate(std::weak_ptr<ZULNetworkLoggerDelegate>());
  quiet->ZULNetwork_logWithLevel(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeDownloading, std::string("Downloading"));
  ASSERT_EQ(logger->calls().size(), 1u);
  EXPECT_EQ(logger->calls()[0].code, 900001);
  auto lines = loggerLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["Message"],
            " - [ZULNetwork][I-NET900002] Cannot set the network logger delegate: delegate does not conform to the "
            "network logger protocol.");
}

TEST_F(NetworkClientTest, ReplacingARegisteredFetcherDiscardsTheOldOne) {
  auto first = ZULNetworkURLSession::initWithNetworkLoggerDelegate(logger_);
  auto second = ZULNetworkURLSession::initWithNetworkLoggerDelegate(logger_);
  const std::string id = "com.zul.network.background-upload-test-replace";
  ZULNetworkURLSession::setSessionInFetcherMap(first, id);
  EXPECT_EQ(logger_->calls().size(), 0u);
  ZULNetworkURLSession::setSessionInFetcherMap(second, id);
  EXPECT_EQ(ZULNetworkURLSession::sessionFromFetcherMapForSessionID(id), second);
  auto discarded = logger_->find(901019);
  ASSERT_TRUE(discarded.has_value());
  EXPECT_EQ(discarded->level, ZULNetworkLogLevelInfo);
  EXPECT_EQ(discarded->message, "Discarding session: " + first->description());
  ZULNetworkURLSession::setSessionInFetcherMap(nullptr, id);
  EXPECT_EQ(ZULNetworkURLSession::sessionFromFetcherMapForSessionID(id), nullptr);
  EXPECT_EQ(logger_->calls().size(), 1u) << "removing discards without a line";
}

TEST_F(NetworkClientTest, BackgroundEventsCallTheLastStoredHandlerOnceOnTheMainQueue) {
  Gate gate;
  server_.route("/upload", [&](const RecordedRequest&) {
    gate.wait();
    return Answer{.status = 200};
  });
  auto outcome = std::make_shared<Outcome>();
  auto sessionID = network_->postURL(server_.url("/upload"), ns::Data{'x'}, nullptr, true, into(outcome));
  ASSERT_TRUE(sessionID.has_value());
  ASSERT_TRUE(server_.waitForRequests(1));

  std::vector<std::string> calls;
  ZULNetwork::handleEventsForBackgroundURLSessionID(*sessionID, [&] { calls.push_back("first"); });
  ZULNetwork::handleEventsForBackgroundURLSessionID(
      *sessionID, [&] { calls.push_back("second on " + dispatch::Queue::currentLabel()); });
  auto replaced = logger_->find(901011);
  ASSERT_TRUE(replaced.has_value());
  EXPECT_EQ(replaced->level, ZULNetworkLogLevelWarning);
  EXPECT_EQ(replaced->message, "Got multiple system handlers for a single session ID");

  net::URLSession::handleEventsForBackgroundURLSession(*sessionID);  // the application hands them in
  gate.open();
  ASSERT_TRUE(settle(outcome));
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !calls.empty(); }, 15));
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(calls, std::vector<std::string>{"second on main-thread"});
  auto finished = logger_->find(901003);
  ASSERT_TRUE(finished.has_value());
  EXPECT_EQ(finished->contexts, ZULNetworkLogContexts{*sessionID});

  // Another client's identifier is no session of ours.
  systemlog::LegacyLogStore::shared().clear();
  ZULNetwork::handleEventsForBackgroundURLSessionID("com.example.other-session", [] {});
  auto lines = loggerMessages();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], " - [ZULNetwork][I-NET900003] Failed to retrieve background session with ID "
                      "com.example.other-session after app is relaunched.");
}

TEST_F(NetworkClientTest, AnUntrustedServerIsCancelledAndATrustedOneAnswers) {
  LoopbackHTTPServer tls({.tls = true, .names = {"telemetry.example.test"}});
  tls.route("/config", Answer{.body = "secure"});
  ASSERT_TRUE(net::mapHostToLoopback("telemetry.example.test", tls.port()));
  const ns::URL url = *ns::URL::withString("https://telemetry.example.test/config");

  Outcome refused = get(url);
  ASSERT_TRUE(refused.error.has_value());
  EXPECT_EQ(refused.error->code(), net::kURLErrorCancelled);
  for (long code : {901006L, 901007L}) {
    auto line = logger_->find(code);
    ASSERT_TRUE(line.has_value()) << code;
    EXPECT_EQ(line->level, ZULNetworkLogLevelDebug);
    EXPECT_EQ(line->contexts, ZULNetworkLogContexts{url.absoluteString()});
  }
  EXPECT_EQ(logger_->find(901007)->message, "Cancelling authentication challenge for host. Host");

  ASSERT_TRUE(net::trustCertificateAuthority("telemetry-test", tls.authorityPEM()));
  Outcome accepted = get(url);
  EXPECT_FALSE(accepted.error.has_value());
  EXPECT_EQ(accepted.text(), "secure");
}

}  // namespace
