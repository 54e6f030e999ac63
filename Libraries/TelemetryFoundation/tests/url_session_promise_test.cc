#include "Libraries/TelemetryFoundation/ZULURLSessionPromises.h"

#include <gtest/gtest.h>

#include <string>

#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using net::testing::Answer;
using net::testing::LoopbackHTTPServer;

class URLSessionPromiseTest : public prm::testing::PromiseTest {
 protected:
  ns::testing::TemporaryDevice device_;
};

TEST_F(URLSessionPromiseTest, AnyStatusFulfilsAndATransportErrorRejects) {
  LoopbackHTTPServer server;
  server.route("/fail", Answer{.status = 500, .body = "boom"});
  server.route("/empty", Answer{.status = 204});
  server.route("/cut", Answer{.body = std::string(4000, 'x'), .cut = Answer::Cut::Close, .cutAfter = 100});
  server.route("/ok", Answer{.headers = {{"X-Answer", "42"}}, .body = "fine"});

  struct Case {
    ns::URL url;
    int64_t expectedErrorCode;  // 0: fulfilled
    int expectedStatus;
    std::string expectedBody;
  };
  const std::vector<Case> cases = {
      {server.url("/ok"), 0, 200, "fine"},
      {server.url("/fail"), 0, 500, "boom"},
      {server.url("/empty"), 0, 204, ""},
      {server.url("/cut"), net::kURLErrorNetworkConnectionLost, 0, ""},
      // The device is offline but for loopback and mapped hosts.
      {*ns::URL::withString("http://telemetry.example.com/upload"), net::kURLErrorNotConnectedToInternet, 0, ""},
  };
  auto session = net::URLSession::create(net::URLSessionConfiguration::defaultSessionConfiguration());
  for (const auto& c : cases) {
    const std::string what = c.url.absoluteString();
    auto promise = ZULPromises::zul_dataTaskPromiseWithRequest(*session, net::URLRequest(c.url));
    ASSERT_TRUE(prm::testing::settle(promise)) << what;
    if (c.expectedErrorCode != 0) {
      ASSERT_TRUE(promise->isRejected()) << what;
      EXPECT_EQ(promise->error()->domain(), net::kURLErrorDomain) << what;
      EXPECT_EQ(promise->error()->code(), c.expectedErrorCode) << what;
      continue;
    }
    ASSERT_TRUE(promise->isFulfilled()) << what;
    auto answer = promise->value().object<const ZULURLSessionDataResponse>();
    ASSERT_NE(answer, nullptr) << what;
    ASSERT_TRUE(answer->HTTPResponse().has_value()) << what;
    EXPECT_EQ(answer->HTTPResponse()->statusCode(), c.expectedStatus) << what;
    const ns::Data body = answer->HTTPBody().value_or(ns::Data{});
    EXPECT_EQ(std::string(body.begin(), body.end()), c.expectedBody) << what;
  }
  EXPECT_EQ(server.requests().size(), 4u);
}

TEST_F(URLSessionPromiseTest, TheRequestGoesOutAsGiven) {
  LoopbackHTTPServer server;
  server.route("/upload", Answer{.status = 201});
  net::URLRequest request(server.url("/upload?v=1"));
  request.setHTTPMethod("POST");
  request.setValue("text/plain", "Content-Type");
  request.setHTTPBody(ns::Data{'h', 'i'});

  auto session = net::URLSession::create(net::URLSessionConfiguration::ephemeralSessionConfiguration());
  auto promise = ZULPromises::zul_dataTaskPromiseWithRequest(*session, request);
  ASSERT_TRUE(prm::testing::settle(promise));
  ASSERT_TRUE(promise->isFulfilled());

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/upload?v=1");
  EXPECT_EQ(requests[0].header("content-type"), "text/plain");
  EXPECT_EQ(requests[0].body, "hi");
}

}  // namespace
