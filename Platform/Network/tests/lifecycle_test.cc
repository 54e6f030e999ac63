// The transfer thread and the lives of sessions and tasks: one thread for
// the whole process, joined at exit; a task outlives the references to it
// and to its session; a task never resumed holds nothing up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::LoopbackHTTPServer;

int threadCount() {
  auto tasks = std::filesystem::directory_iterator("/proc/self/task");
  return static_cast<int>(std::distance(std::filesystem::begin(tasks), std::filesystem::end(tasks)));
}

bool hasThreadNamed(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string comm;
    std::ifstream(task.path() / "comm") >> comm;
    if (comm == name) return true;
  }
  return false;
}

TEST(LifecycleTest, SessionsShareTheOneTransferThread) {
  LoopbackHTTPServer server;
  server.route("/x", Answer{.body = "x"});
  EXPECT_EQ(testing::load(*URLSession::shared(), server.url("/x")).text(), "x");
  EXPECT_TRUE(hasThreadNamed("quillbox-net"));
  int before = threadCount();
  std::vector<std::shared_ptr<URLSession>> sessions;
  for (int i = 0; i < 30; ++i) {
    sessions.push_back(URLSession::create(URLSessionConfiguration::defaultSessionConfiguration()));
    EXPECT_EQ(testing::load(*sessions.back(), server.url("/x")).text(), "x");
  }
  // Thirty live sessions, each with its own connection (and the server's
  // thread for it) and queue, and no thread of their own: the queues'
  // workers are shared too.
  EXPECT_EQ(server.connectionCount(), 31);
  EXPECT_LT(threadCount() - before - 30, 10);
}

TEST(LifecycleTest, ATaskRunsOnWhenNobodyHoldsItOrItsSession) {
  LoopbackHTTPServer server;
  server.route("/slow", Answer{.body = "done", .delaySeconds = 0.2});
  testing::Waiter waiter;
  {
    auto session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
    session->dataTask(URLRequest(server.url("/slow")), waiter.dataHandler())->resume();
  }
  EXPECT_EQ(waiter.wait().text(), "done");

  // A task made and dropped without resuming does not keep its session
  // from becoming invalid.
  auto delegate = std::make_shared<testing::RecordingDelegate>();
  auto session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate);
  session->dataTask(URLRequest(server.url("/slow")));
  session->finishTasksAndInvalidate();
  EXPECT_TRUE(delegate->waitFor("invalid"));
}

TEST(LifecycleTest, ExitingWhileATransferWaitsEndsTheProcessCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        LoopbackHTTPServer server;
        server.route("/stall", Answer{.body = "never whole", .cut = Answer::Cut::Stall, .cutAfter = 2});
        auto session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
        session->dataTask(URLRequest(server.url("/stall")), [](auto, auto, auto) { std::abort(); })->resume();
        server.waitForRequests(1);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace net
