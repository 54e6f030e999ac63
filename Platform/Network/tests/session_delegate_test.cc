// What a session tells its delegate and when: on the delegate queue, in
// order; redirects asked and answered; downloads in files that do not
// outlive their callback; invalidation; background events; cookies.
#include <gtest/gtest.h>

#include <filesystem>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::LoopbackHTTPServer;
using testing::RecordedRequest;
using testing::RecordingDelegate;

class SessionDelegateTest : public ::testing::Test {
 protected:
  ns::testing::TemporaryDevice device;
  LoopbackHTTPServer server;
  std::shared_ptr<dispatch::Queue> queue = dispatch::Queue::serial("test.delegate-queue");
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<URLSession> session =
      URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate, queue);

  bool temporaryDirectoryIsEmpty() const { return std::filesystem::is_empty(device.device().temporaryDirectory()); }
};

TEST_F(SessionDelegateTest, DataAndTheEndArriveInOrderOnTheDelegateQueue) {
  std::string body = testing::patternBytes(300000);
  server.route("/d", Answer{.body = body, .chunked = true, .chunkSize = 10000});
  session->dataTask(URLRequest(server.url("/d")))->resume();
  ASSERT_TRUE(delegate->waitFor("complete 0"));
  EXPECT_EQ(delegate->whats(), (std::vector<std::string>{"data", "complete 0"}));
  EXPECT_TRUE(delegate->data() == testing::bytes(body));
  for (const auto& event : delegate->events()) EXPECT_EQ(event.queue, "test.delegate-queue") << event.what;

  // An operation queue serves as well; a completion handler runs there too.
  auto operations = dispatch::OperationQueue::create("test.operations");
  auto onOperations = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), nullptr, operations);
  testing::Waiter waiter;
  std::shared_ptr<dispatch::OperationQueue> ranOn;
  onOperations
      ->dataTask(URLRequest(server.url("/d")),
                 [&, handler = waiter.dataHandler()](auto data, auto response, auto error) {
                   ranOn = dispatch::OperationQueue::current();
                   handler(std::move(data), std::move(response), std::move(error));
                 })
      ->resume();
  EXPECT_EQ(waiter.wait().errorCode(), 0);
  EXPECT_EQ(ranOn, operations);
}

TEST_F(SessionDelegateTest, RedirectsAreAskedAndFollowedAsThePlatformDoes) {
  struct Case {
    int status;
    const char* method;
    const char* methodAfter;
    bool bodyAfter;
  };
  const Case cases[] = {
      {301, "POST", "GET", false}, {302, "POST", "GET", false}, {303, "POST", "GET", false},
      {303, "PUT", "GET", false},  {307, "POST", "POST", true}, {308, "PUT", "PUT", true},
      {302, "GET", "GET", false},
  };
  server.route("/target", [](const RecordedRequest& request) { return Answer{.body = "at " + request.method}; });
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " after " + c.method);
    server.route("/from", Answer::redirect(c.status, "/target?from=" + std::to_string(c.status)));
    size_t before = server.requestCount();
    for (bool withDelegate : {true, false}) {
      auto plain = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
      URLRequest request = testing::requestTo(server.url("/from"), c.method);
      URLSession& through = withDelegate ? *session : *plain;
      testing::Outcome outcome;
      if (std::string(c.method) == "GET") {
        outcome = testing::load(through, request);
      } else {
        request.setValue("text/plain", "Content-Type");
        outcome = testing::upload(through, request, testing::bytes("payload"));
      }
      ASSERT_EQ(outcome.errorCode(), 0);
      EXPECT_EQ(outcome.status(), 200);
      EXPECT_EQ(outcome.text(), std::string("at ") + c.methodAfter);
      EXPECT_EQ(outcome.response->url().path(), "/target");
    }
    std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), before + 4);
    for (size_t i : {before + 1, before + 3}) {
      EXPECT_EQ(requests[i].method, c.methodAfter);
      EXPECT_EQ(requests[i].body, c.bodyAfter ? "payload" : "");
      EXPECT_EQ(requests[i].header("Content-Type").has_value(), c.bodyAfter);
    }
    ASSERT_TRUE(delegate->proposedRedirect());
    EXPECT_EQ(delegate->proposedRedirect()->httpMethod(), c.methodAfter);
  }
}

TEST_F(SessionDelegateTest, ARefusedRedirectIsTheAnswerWithItsBody) {
  delegate->onRedirect = [](const HTTPURLResponse&, const URLRequest&) { return std::nullopt; };
  Answer found = Answer::redirect(302, "/elsewhere");
  found.body = "moved";
  server.route("/r", found);
  testing::Outcome outcome = testing::load(*session, server.url("/r"));
  ASSERT_EQ(outcome.errorCode(), 0);
  EXPECT_EQ(outcome.status(), 302);
  EXPECT_EQ(outcome.text(), "moved");
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(delegate->whats(), std::vector<std::string>{"redirect 302"});

  // The delegate may send a request of its own instead.
  delegate->onRedirect = [&](const HTTPURLResponse&, const URLRequest&) {
    URLRequest other = testing::requestTo(server.url("/other"), "POST");
    other.setHTTPBody(testing::bytes("built anew"));
    return std::optional<URLRequest>(other);
  };
  server.route("/other", Answer{.body = "other"});
  EXPECT_EQ(testing::load(*session, server.url("/r")).text(), "other");
  EXPECT_EQ(server.requests().back().body, "built anew");

  // A location that is not http or https is not followed.
  server.route("/mail", Answer::redirect(301, "mailto:someone@quillbox.example"));
  testing::Outcome mail = testing::load(*URLSession::shared(), server.url("/mail"));
  EXPECT_EQ(mail.errorCode(), 0);
  EXPECT_EQ(mail.status(), 301);
}

TEST_F(SessionDelegateTest, DownloadFilesLiveOnlyUntilTheirCallbackReturns) {
  std::string body = testing::patternBytes(8 << 20);
  server.route("/file", Answer{.body = body});
  session->downloadTask(server.url("/file"))->resume();
  ASSERT_TRUE(delegate->waitFor("complete 0"));
  EXPECT_EQ(delegate->whats(), (std::vector<std::string>{"download", "complete 0"}));
  EXPECT_TRUE(delegate->downloaded() == body);
  EXPECT_FALSE(delegate->fileLeftAtCompletion());
  EXPECT_EQ(delegate->downloadLocation()->path().rfind(device.device().temporaryDirectory(), 0), 0u);

  testing::Waiter waiter;
  session->downloadTask(server.url("/file"), waiter.downloadHandler())->resume();
  testing::Outcome outcome = waiter.wait();
  ASSERT_EQ(outcome.errorCode(), 0);
  EXPECT_TRUE(outcome.downloaded == body);

  // An empty body is an empty file; a cut-off one leaves no file and no location.
  server.route("/empty", Answer{.status = 204});
  server.route("/cut", Answer{.body = body, .cut = Answer::Cut::Close, .cutAfter = 100000});
  testing::Waiter empty, cut;
  session->downloadTask(server.url("/empty"), empty.downloadHandler())->resume();
  session->downloadTask(server.url("/cut"), cut.downloadHandler())->resume();
  EXPECT_EQ(empty.wait().downloaded, "");
  testing::Outcome failed = cut.wait();
  EXPECT_EQ(failed.errorCode(), kURLErrorNetworkConnectionLost);
  EXPECT_FALSE(failed.location);

  session->finishTasksAndInvalidate();  // delivered after every earlier callback and removal
  ASSERT_TRUE(delegate->waitFor("invalid"));
  EXPECT_TRUE(temporaryDirectoryIsEmpty());
}

TEST_F(SessionDelegateTest, InvalidationWaitsForRunningTasksOrCancelsThem) {
  server.route("/slow", Answer{.body = "slow", .delaySeconds = 0.3});
  session->dataTask(URLRequest(server.url("/slow")))->resume();
  session->finishTasksAndInvalidate();
  EXPECT_THROW(session->dataTask(URLRequest(server.url("/slow"))), ns::Exception);
  ASSERT_TRUE(delegate->waitFor("invalid"));
  EXPECT_EQ(delegate->whats(), (std::vector<std::string>{"data", "complete 0", "invalid"}));
  queue->sync([] {});  // the delivery that told it has returned
  EXPECT_EQ(session->delegate(), nullptr);

  auto other = std::make_shared<RecordingDelegate>();
  auto cancelled = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), other, queue);
  server.route("/stall", Answer{.body = "stalled", .cut = Answer::Cut::Stall, .cutAfter = 2});
  cancelled->dataTask(URLRequest(server.url("/stall")))->resume();
  ASSERT_TRUE(server.waitForRequests(2));
  cancelled->invalidateAndCancel();
  ASSERT_TRUE(other->waitFor("invalid"));
  std::vector<std::string> told = other->whats();
  ASSERT_GE(told.size(), 2u);
  EXPECT_EQ(told[told.size() - 2], "complete -999");
  EXPECT_EQ(told.back(), "invalid");
}

TEST_F(SessionDelegateTest, BackgroundEventsFinishWhenHandedInAndEveryTaskHasEnded) {
  server.route("/slow", Answer{.body = "slow", .delaySeconds = 0.3});
  auto background = URLSession::create(URLSessionConfiguration::backgroundSessionConfiguration("test.background"),
                                       delegate, queue);
  background->downloadTask(server.url("/slow"))->resume();
  URLSession::handleEventsForBackgroundURLSession("test.background");
  ASSERT_TRUE(delegate->waitFor("events finished"));
  EXPECT_EQ(delegate->whats(), (std::vector<std::string>{"download", "complete 0", "events finished"}));

  // Handed in before a session with the identifier exists: told on creation.
  URLSession::handleEventsForBackgroundURLSession("test.relaunched");
  auto later = std::make_shared<RecordingDelegate>();
  auto relaunched = URLSession::create(
      URLSessionConfiguration::backgroundSessionConfiguration("test.relaunched"), later, queue);
  ASSERT_TRUE(later->waitFor("events finished"));
  EXPECT_EQ(later->whats(), std::vector<std::string>{"events finished"});
}

TEST_F(SessionDelegateTest, DefaultSessionsKeepCookiesAndEphemeralOnesDoNot) {
  server.route("/set", Answer{.headers = {{"Set-Cookie", "note=42; Path=/"}}});
  server.route("/get", Answer{});
  for (auto configuration : {URLSessionConfiguration::defaultSessionConfiguration(),
                             URLSessionConfiguration::ephemeralSessionConfiguration()}) {
    auto tasting = URLSession::create(configuration);
    testing::load(*tasting, server.url("/set"));
    testing::load(*tasting, server.url("/get"));
    std::optional<std::string> cookie = server.requests().back().header("Cookie");
    if (configuration.keepsCookies()) {
      EXPECT_EQ(cookie, "note=42");
    } else {
      EXPECT_FALSE(cookie);
    }
  }
}

}  // namespace
}  // namespace net
