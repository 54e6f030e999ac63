#include "Libraries/CrashReporter/DVCRNetworkClient.h"
#include "Libraries/CrashReporter/DVCRNetworkResponseHandler.h"
#include "Libraries/CrashReporter/tests/NetworkTest.h"
#include "Platform/Network/URLError.h"

namespace dvcr_testing {
namespace {

using net::testing::Answer;

struct Outcome {
  std::optional<ns::Data> data;
  std::optional<net::HTTPURLResponse> response;
  std::optional<ns::Error> error;
};

class NetworkClientTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    client_ = DVCRNetworkClient::create();
  }

  net::URLRequest jsonRequest(const std::string& path, double timeout = 10) {
    net::URLRequest request(server_.url(path), net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, timeout);
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    return request;
  }

  std::future<Outcome> load(const net::URLRequest& request, unsigned retryLimit) {
    auto promise = std::make_shared<std::promise<Outcome>>();
    client_->startDataTaskWithRequest(request, retryLimit, 0,
                                      [promise](std::optional<ns::Data> data,
                                                std::optional<net::HTTPURLResponse> response,
                                                std::optional<ns::Error> error) {
                                        promise->set_value({std::move(data), std::move(response), std::move(error)});
                                      });
    return promise->get_future();
  }

  static int64_t userInfoNumber(const ns::Error& error, const char* key) {
    const ns::Value* value = error.userInfo().find(key);
    return value ? value->integerValue() : -999;
  }

  std::shared_ptr<DVCRNetworkClient> client_;
};

TEST_F(NetworkClientTest, ResponsesAreClassifiedAsTheServerAnswers) {
  struct Case {
    int status;
    net::testing::HeaderList headers;
    int64_t code;  // 0: success
    int type;  // "type" of the error's user info
  };
  const net::testing::HeaderList json = {{"Content-Type", "application/json"}, {"X-Request-Id", "req-7"}};
  const Case cases[] = {
      {200, json, 0, 0},
      {201, json, 0, 0},
      {202, {{"Content-Type", "APPLICATION/JSON; charset=UTF-8"}}, 0, 0},
      {204, {}, DVCRNetworkErrorFailure, 1},  // no content type against an "Accept"
      {200, {{"Content-Type", "text/html"}}, DVCRNetworkErrorFailure, 1},
      {200, {{"Content-Type", "application/json; charset=latin1"}}, DVCRNetworkErrorFailure, 1},
      {203, json, DVCRNetworkErrorFailure, 1},
      {302, json, DVCRNetworkErrorFailure, 1},  // no "Location": not followed, not repeated
      {418, json, DVCRNetworkErrorFailure, 1},
      {400, json, DVCRNetworkErrorRejected, 2},
      {404, json, DVCRNetworkErrorRejected, 2},
      {431, json, DVCRNetworkErrorRejected, 2},
      // Retryable ones end at once with limit 0.
      {408, json, DVCRNetworkErrorRetryLimit, 3},
      {503, json, DVCRNetworkErrorRetryLimit, 3},
      {429, json, DVCRNetworkErrorRetryLimit, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    server_.enqueue({.status = c.status, .headers = c.headers, .body = c.status == 204 ? "" : "{}"});
    size_t before = server_.requestCount();
    std::future<Outcome> outcome = load(jsonRequest("/classify"), 0);
    ASSERT_TRUE(arrives(outcome));
    Outcome result = outcome.get();
    EXPECT_EQ(server_.requestCount(), before + 1) << "never repeated";
    if (c.code == 0) {
      EXPECT_FALSE(result.error) << result.error->code();
      ASSERT_TRUE(result.data);
      EXPECT_EQ(std::string(result.data->begin(), result.data->end()), "{}");
      continue;
    }
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->domain(), kDVCRNetworkErrorDomain);
    EXPECT_EQ(result.error->code(), c.code);
    if (c.code == DVCRNetworkErrorRetryLimit) {
      EXPECT_EQ(userInfoNumber(*result.error, "retryLimit"), 0);
      continue;
    }
    EXPECT_EQ(userInfoNumber(*result.error, "type"), c.type);
    EXPECT_EQ(userInfoNumber(*result.error, "status_code"), c.status);
    const ns::Value* requestId = result.error->userInfo().find("request_id");
    ASSERT_TRUE(requestId);
    EXPECT_EQ(requestId->stringValue(), c.headers == json ? "req-7" : "");
  }
  EXPECT_EQ(DVCRNetworkResponseHandler::clientResponseType(0), DVCRNetworkClientResponseType::Failure);
  EXPECT_EQ(DVCRNetworkResponseHandler::clientResponseType(600), DVCRNetworkClientResponseType::Failure);
  EXPECT_EQ(DVCRNetworkResponseHandler::clientResponseType(304), DVCRNetworkClientResponseType::Success);
  EXPECT_EQ(DVCRNetworkResponseHandler::clientResponseType(204), DVCRNetworkClientResponseType::Success);
  EXPECT_EQ(DVCRNetworkResponseHandler::clientResponseType(420), DVCRNetworkClientResponseType::Throttled);
}

TEST_F(NetworkClientTest, ContentTypesMatchTheRequestsAcceptAndCharset) {
  struct Case {
    std::optional<std::string> accept, acceptCharset, contentType;
    bool matches;
  };
  const Case cases[] = {
      {std::nullopt, "utf-8", std::nullopt, true},
      {"application/json", "utf-8", std::nullopt, false},
      {"application/json", "utf-8", "APPLICATION/JSON; charset=UTF-8", true},
      {"application/json", "utf-8", "application/json", true},
      {"application/json", "utf-8", "application/json; charset=iso-8859-1", false},
      {"application/json", std::nullopt, "application/json; charset=iso-8859-1", true},
      {"application/json", "utf-8", "application/json;charset=utf-8", false},  // only "; charset=" separates
  };
  for (const Case& c : cases) {
    net::URLRequest request(server_.url("/"));
    request.setValue(c.accept, "Accept");
    request.setValue(c.acceptCharset, "Accept-Charset");
    net::HTTPHeaderFields headers;
    if (c.contentType) headers.set("Content-Type", *c.contentType);
    net::HTTPURLResponse response(server_.url("/"), 200, headers);
    EXPECT_EQ(DVCRNetworkResponseHandler::contentTypeForResponse(response, request), c.matches)
        << c.contentType.value_or("(none)");
  }
}

TEST_F(NetworkClientTest, AThrottledRequestIsRepeatedAfterRetryAfterUntilTheLimit) {
  server_.route("/throttled", Answer{.status = 429, .headers = {{"Retry-After", "3"}}});
  std::future<Outcome> outcome = load(jsonRequest("/throttled"), 1);
  ASSERT_TRUE(server_.waitForRequests(1));
  settle();
  ns::Clock::advance(2.69);
  settle();
  EXPECT_EQ(server_.requestCount(), 1u) << "not before 2.7 s";
  ns::Clock::advance(0.62);
  ASSERT_TRUE(server_.waitForRequests(2)) << "by 3.3 s";
  ASSERT_TRUE(arrives(outcome));
  Outcome result = outcome.get();
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->code(), DVCRNetworkErrorRetryLimit);
  EXPECT_EQ(userInfoNumber(*result.error, "retryLimit"), 1);
  const ns::Value* failingURL = result.error->userInfo().find(net::kURLErrorFailingURLErrorKey);
  ASSERT_TRUE(failingURL);
  EXPECT_EQ(failingURL->stringValue(), server_.url("/throttled").absoluteString());
  settle();
  EXPECT_EQ(server_.requestCount(), 2u);
}

TEST_F(NetworkClientTest, ARetryAfterThatIsNoUsableWaitCountsAsAbsent) {
  // "nan" would repeat at once and "inf" or "1e400" never, so the request
  // would never complete; each waits the usual 2 seconds instead.
  const char* values[] = {"nan", "inf", "1e400", "86401", "-inf"};
  for (const char* value : values) {
    SCOPED_TRACE(value);
    std::string path = std::string("/throttled-") + std::to_string(&value - values);
    server_.route(path, std::vector<Answer>{{.status = 429, .headers = {{"Retry-After", value}}},
                                            {.headers = {{"Content-Type", "application/json"}}, .body = "{}"}});
    const size_t before = server_.requestCount();
    std::future<Outcome> outcome = load(jsonRequest(path), 1);
    ASSERT_TRUE(server_.waitForRequests(before + 1));
    settle();
    EXPECT_EQ(server_.requestCount(), before + 1) << "not at once";
    ns::Clock::advance(2.3);
    ASSERT_TRUE(arrives(outcome)) << "by 2.3 s";
    EXPECT_FALSE(outcome.get().error);
    EXPECT_EQ(server_.requestCount(), before + 2);
  }
  EXPECT_EQ(DVCRNetworkResponseHandler::retryValueForResponse(
                net::HTTPURLResponse(server_.url("/"), 429, net::HTTPHeaderFields{{"Retry-After", "86400"}})),
            86400.0);
}

TEST_F(NetworkClientTest, AServerErrorIsRepeatedAndARejectionIsNot) {
  server_.route("/flaky", std::vector<Answer>{{.status = 503},
                                              {.headers = {{"Content-Type", "application/json"}}, .body = "{}"}});
  std::future<Outcome> outcome = load(jsonRequest("/flaky"), 1);
  ASSERT_TRUE(server_.waitForRequests(1));
  settle();
  ns::Clock::advance(2.3);  // no "Retry-After": about 2 s
  ASSERT_TRUE(arrives(outcome));
  EXPECT_FALSE(outcome.get().error);
  EXPECT_EQ(server_.requestCount(), 2u);

  server_.route("/missing", Answer{.status = 404});
  std::future<Outcome> missing = load(jsonRequest("/missing"), 1);
  ASSERT_TRUE(arrives(missing));
  Outcome result = missing.get();
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->code(), DVCRNetworkErrorRejected);
  EXPECT_EQ(userInfoNumber(*result.error, "status_code"), 404);
  EXPECT_EQ(server_.requestCount(), 3u);
}

TEST_F(NetworkClientTest, ATimeOutIsRepeatedWhileABadURLIsNot) {
  server_.route("/slow", Answer{.delaySeconds = 5});
  std::future<Outcome> outcome = load(jsonRequest("/slow", 0.3), 0);
  ASSERT_TRUE(arrives(outcome));
  Outcome result = outcome.get();
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->code(), DVCRNetworkErrorRetryLimit) << "the time-out asked for a repeat";

  const std::pair<ns::Error, bool> errors[] = {
      {ns::Error(net::kURLErrorDomain, net::kURLErrorTimedOut), true},
      {ns::Error(net::kURLErrorDomain, net::kURLErrorCannotConnectToHost), true},
      {ns::Error(net::kURLErrorDomain, net::kURLErrorBadURL), false},
      {ns::Error(net::kURLErrorDomain, net::kURLErrorSecureConnectionFailed), false},
      {ns::Error(net::kURLErrorDomain, -1206), false},
      {ns::Error(net::kURLErrorDomain, -1207), true},
      {ns::Error(net::kURLErrorDomain, net::kURLErrorFileDoesNotExist), false},
      {ns::Error("OtherDomain", net::kURLErrorTimedOut), false},
  };
  for (const auto& [error, retryable] : errors) {
    EXPECT_EQ(DVCRNetworkResponseHandler::retryableURLError(error), retryable) << error.domain() << error.code();
  }
}

TEST_F(NetworkClientTest, DelaysFollowRetryAfterWithJitter) {
  auto response = [this](std::optional<std::string> retryAfter) {
    net::HTTPHeaderFields headers;
    if (retryAfter) headers.set("Retry-After", *retryAfter);
    return std::optional<net::HTTPURLResponse>(net::HTTPURLResponse(server_.url("/"), 429, headers));
  };
  EXPECT_EQ(DVCRNetworkResponseHandler::retryValueForResponse(response("-5")), 2.0);
  EXPECT_EQ(DVCRNetworkResponseHandler::retryValueForResponse(response(std::nullopt)), 2.0);
  EXPECT_EQ(DVCRNetworkResponseHandler::retryValueForResponse(response("soon")), 0.0);
  EXPECT_EQ(DVCRNetworkResponseHandler::retryValueForResponse(response("7.5")), 7.5);
  for (int i = 0; i < 200; ++i) {
    double jitter = DVCRNetworkClient::generateRandomJitter();
    EXPECT_GE(jitter, 0.8999999761581421);
    EXPECT_LT(jitter, 1.100000023841858);
    double negative = DVCRNetworkClient::computeDelayForResponse(response("-5"), 0);
    EXPECT_GE(negative, 2 * 0.8999999761581421);
    EXPECT_LT(negative, 2 * 1.100000023841858);
    double third = DVCRNetworkClient::computeDelayForResponse(response("3"), 2);
    EXPECT_GE(third, 9 * 0.8999999761581421);
    EXPECT_LT(third, 9 * 1.100000023841858);
    double transport = DVCRNetworkClient::computeDelayForResponse(std::nullopt, 1);
    EXPECT_GE(transport, 2 * 0.8999999761581421);
    EXPECT_LT(transport, 2 * 1.100000023841858);
  }
}

}  // namespace
}  // namespace dvcr_testing
