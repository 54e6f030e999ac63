// A load that answers on the caller's queue.
#include <gtest/gtest.h>

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/AsynchronousLoad.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace net {
namespace {

using testing::Answer;

TEST(AsynchronousLoadTest, AnswersOnceOnTheMainQueueWithBodyStatusOrError) {
  ns::testing::TemporaryDevice device;
  testing::LoopbackHTTPServer server;
  server.route("/icon.png", Answer{.body = "PNG bytes"});
  server.route("/gone", Answer{.status = 404, .body = "not here"});
  server.route("/stall", Answer{.body = "never", .delaySeconds = 5});

  struct Case {
    ns::URL url;
    double timeout;
    int status;
    std::optional<std::string> body;
    int64_t errorCode;
  };
  const Case cases[] = {
      {server.url("/icon.png"), 10, 200, "PNG bytes", 0},
      {server.url("/gone"), 10, 404, "not here", 0},
      {server.url("/stall"), 0.3, 0, std::nullopt, kURLErrorTimedOut},
      {*ns::URL::withString("http://unmapped.quillbox.example/"), 10, 0, std::nullopt,
       kURLErrorNotConnectedToInternet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url.absoluteString());
    int calls = 0;
    bool onMain = false;
    std::optional<HTTPURLResponse> response;
    std::optional<ns::Data> body;
    std::optional<ns::Error> error;
    sendAsynchronousRequest(URLRequest(c.url, URLRequestCachePolicy::ReturnCacheDataElseLoad, c.timeout),
                            dispatch::Queue::main(),
                            [&](std::optional<HTTPURLResponse> r, std::optional<ns::Data> d, std::optional<ns::Error> e) {
                              ++calls;
                              onMain = dispatch::isMainThread();
                              response = std::move(r);
                              body = std::move(d);
                              error = std::move(e);
                            });
    EXPECT_EQ(calls, 0);  // never before the caller's queue runs
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return calls > 0; }, 20));
    dispatch::RunLoop::main().drain();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(response ? response->statusCode() : 0, c.status);
    EXPECT_EQ(body ? std::optional<std::string>(std::string(body->begin(), body->end())) : std::nullopt, c.body);
    EXPECT_EQ(error ? error->code() : 0, c.errorCode);
  }
}

}  // namespace
}  // namespace net
