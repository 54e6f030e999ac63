// Loads that wait on the calling thread.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/SynchronousLoad.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace net {
namespace {

using testing::Answer;

TEST(SynchronousLoadTest, AnswersWithTheBodyTheResponseOrTheError) {
  ns::testing::TemporaryDevice device;
  testing::LoopbackHTTPServer server;
  server.route("/config.plist", Answer{.body = "<plist/>"});
  server.route("/gone", Answer{.status = 404, .body = "not here"});

  std::optional<HTTPURLResponse> response;
  ns::Error error;
  std::optional<ns::Data> body = sendSynchronousRequest(URLRequest(server.url("/gone")), &response, &error);
  ASSERT_TRUE(body);
  EXPECT_EQ(std::string(body->begin(), body->end()), "not here");
  EXPECT_EQ(response->statusCode(), 404);

  struct Case {
    ns::URL url;
    std::optional<std::string> contents;
    int64_t code;
  };
  std::string file = device.path("local.txt");
  std::ofstream(file) << "on disk";
  const Case cases[] = {
      {server.url("/config.plist"), "<plist/>", 0},
      {server.url("/gone"), std::nullopt, kURLErrorBadServerResponse},
      {*ns::URL::withString("http://unmapped.quillbox.example/"), std::nullopt, kURLErrorNotConnectedToInternet},
      {ns::URL::fileURLWithPath(file), "on disk", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url.absoluteString());
    ns::Error failure;
    std::optional<ns::Data> contents = dataWithContentsOfURL(c.url, 5, &failure);
    EXPECT_EQ(contents ? std::optional<std::string>(std::string(contents->begin(), contents->end())) : std::nullopt,
              c.contents);
    if (c.code) EXPECT_EQ(failure.code(), c.code);
  }
}

// The caller runs its own transfer: loads (a redirect followed, a time-out)
// finish while the engine thread is held up, and one thread's loads share
// one connection (another thread opens its own).
TEST(SynchronousLoadTest, TheCallingThreadRunsItsOwnTransfers) {
  testing::LoopbackHTTPServer server;
  server.route("/moved", Answer::redirect(302, "/here"));
  server.route("/here", Answer{.body = "arrived"});
  server.route("/stall", Answer{.body = "never", .delaySeconds = 5});
  std::promise<void> release;
  std::promise<void> held;
  detail::Engine::shared().post([&held, released = release.get_future().share()] {
    held.set_value();
    released.wait();
  });
  held.get_future().wait();

  auto text = [](const std::optional<ns::Data>& data) {
    return data ? std::string(data->begin(), data->end()) : std::string("none");
  };
  auto loadsOnAThread = [&] {
    std::vector<std::string> answers;
    std::thread thread([&] {
      for (int i = 0; i < 3; ++i) answers.push_back(text(dataWithContentsOfURL(server.url("/moved"), 5)));
      ns::Error error;
      answers.push_back(text(dataWithContentsOfURL(server.url("/stall"), 0.3, &error)));
      answers.push_back(std::to_string(error.code()));
    });
    thread.join();
    return answers;
  };
  const std::vector<std::string> expected = {"arrived", "arrived", "arrived", "none",
                                             std::to_string(kURLErrorTimedOut)};
  EXPECT_EQ(loadsOnAThread(), expected);
  int afterFirst = server.connectionCount();
  EXPECT_EQ(loadsOnAThread(), expected);
  release.set_value();
  // Redirects, their targets and the stalled load went over one
  // connection a thread.
  EXPECT_EQ(afterFirst, 1);
  EXPECT_EQ(server.connectionCount(), 2);
}

TEST(SynchronousLoadTest, TimeOutsRunOnRealTimeEvenWhenTheClockIsVirtual) {
  ns::Clock::useVirtual(ns::Date(1000));  // stands still throughout
  testing::LoopbackHTTPServer server;
  server.route("/stall", Answer{.body = "never", .delaySeconds = 5});
  server.route("/late", Answer{.body = "late but in time", .delaySeconds = 0.2});
  ns::Error error;
  EXPECT_FALSE(dataWithContentsOfURL(server.url("/stall"), 0.3, &error));
  EXPECT_EQ(error.code(), kURLErrorTimedOut);
  std::optional<ns::Data> late = dataWithContentsOfURL(server.url("/late"), 5, &error);
  EXPECT_EQ(late ? std::string(late->begin(), late->end()) : "", "late but in time");
  ns::Clock::useReal();
}

TEST(SynchronousLoadTest, ADictionaryComesOnlyFromAWholePropertyListWithADictionaryRoot) {
  ns::testing::TemporaryDevice device;
  testing::LoopbackHTTPServer server;
  const std::string dictionary =
      "<plist version=\"1.0\"><dict><key>app</key><dict><key>n</key><integer>3</integer></dict></dict></plist>";
  server.route("/dictionary", Answer{.body = dictionary});
  server.route("/array", Answer{.body = "<plist version=\"1.0\"><array><string>x</string></array></plist>"});
  server.route("/garbage", Answer{.body = "this is not a property list"});
  server.route("/missing", Answer{.status = 404, .body = dictionary});
  server.route("/dropped", Answer{.body = dictionary, .cut = Answer::Cut::Close, .cutAfter = 20});
  server.route("/stalled", Answer{.body = dictionary, .cut = Answer::Cut::Stall, .cutAfter = 20});

  auto root = dictionaryWithContentsOfURL(server.url("/dictionary"), 5);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->find("app")->find("n")->integerValue(), 3);
  for (const char* path : {"/array", "/garbage", "/missing", "/dropped", "/stalled"}) {
    SCOPED_TRACE(path);
    ns::Error error;
    EXPECT_FALSE(dictionaryWithContentsOfURL(server.url(path), 0.5, &error));
    EXPECT_NE(error.code(), 0);
  }
}

}  // namespace
}  // namespace net
