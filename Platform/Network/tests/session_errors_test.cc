// Each transport error from a real cause, against the loopback server. An
// HTTP status is never one of them; a cut-off transfer always is one.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::LoopbackHTTPServer;

// A loopback port nothing listens on.
int closedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// A loopback port where a plain HTTP server answers whatever arrives, once,
// with a 400 and closes, as a server does when a TLS handshake reaches it.
class PlainAnswerOnce {
 public:
  PlainAnswerOnce() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 10000) != 1) return;
      int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      char hello[512];
      (void)::recv(fd, hello, sizeof hello, 0);
      const char answer[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      (void)::send(fd, answer, sizeof answer - 1, MSG_NOSIGNAL);
      ::close(fd);
    });
  }
  ~PlainAnswerOnce() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

class SessionErrorsTest : public ::testing::Test {
 protected:
  ns::testing::TemporaryDevice device;
  LoopbackHTTPServer server;
  std::shared_ptr<URLSession> session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
};

TEST_F(SessionErrorsTest, EachCodeComesFromItsCause) {
  std::string longBody = testing::patternBytes(200000);
  server.route("/head-late", Answer{.body = "late", .delaySeconds = 3});
  server.route("/stall", Answer{.body = longBody, .cut = Answer::Cut::Stall, .cutAfter = 1000});
  server.route("/short", Answer{.body = longBody, .cut = Answer::Cut::Close, .cutAfter = 1000});
  server.route("/mid-chunk", Answer{.body = longBody, .chunked = true, .chunkSize = 4096,
                                    .cut = Answer::Cut::Close, .cutAfter = 5000});
  server.route("/last-chunk-missing", Answer{.body = "whole", .chunked = true, .cut = Answer::Cut::Close,
                                             .cutAfter = 5});
  server.route("/loop", Answer::redirect(302, "/loop"));
  server.route("/bad-status", Answer{.status = 1000, .body = "no status has four digits"});
  PlainAnswerOnce plainServer;

  struct Case {
    const char* cause;
    std::function<URLRequest()> request;
    int64_t code;
    int status;  // of the response the task keeps, 0 for none
  };
  auto at = [&](const char* path) { return [&, path] { return URLRequest(server.url(path)); }; };
  auto quick = [&](const char* path) {
    return [&, path] {
      URLRequest request(server.url(path));
      request.setTimeoutInterval(0.5);
      return request;
    };
  };
  const Case cases[] = {
      {"a closed port", [] { return URLRequest(*ns::URL::withString("http://127.0.0.1:" + std::to_string(closedPort()) + "/")); },
       kURLErrorCannotConnectToHost, 0},
      {"no head within 0.5 s", quick("/head-late"), kURLErrorTimedOut, 0},
      {"a stall in the body", quick("/stall"), kURLErrorTimedOut, 200},
      {"a body shorter than its length", at("/short"), kURLErrorNetworkConnectionLost, 200},
      {"a close mid-chunk", at("/mid-chunk"), kURLErrorNetworkConnectionLost, 200},
      {"no last chunk", at("/last-chunk-missing"), kURLErrorNetworkConnectionLost, 200},
      {"a host that is not mapped", [] { return URLRequest(*ns::URL::withString("https://config.quillbox.example/a")); },
       kURLErrorNotConnectedToInternet, 0},
      {"a scheme other than http", [&] { return URLRequest(*ns::URL::withString("ftp://127.0.0.1/x")); },
       kURLErrorUnsupportedURL, 0},
      {"redirects without end", at("/loop"), kURLErrorHTTPTooManyRedirects, 302},
      {"a status line no client accepts", at("/bad-status"), kURLErrorBadServerResponse, 0},
      {"a TLS handshake answered in plain HTTP",
       [&] { return URLRequest(*ns::URL::withString("https://127.0.0.1:" + std::to_string(plainServer.port()) + "/")); },
       kURLErrorSecureConnectionFailed, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cause);
    URLRequest request = c.request();
    auto start = std::chrono::steady_clock::now();
    testing::Outcome outcome = testing::load(*session, request);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), kURLErrorDomain);
    EXPECT_EQ(outcome.error->code(), c.code);
    EXPECT_FALSE(outcome.data) << "no body passes for whole";
    EXPECT_EQ(outcome.status(), c.status);
    const ns::Value* failing = outcome.error->userInfo().find(kURLErrorFailingURLStringErrorKey);
    ASSERT_TRUE(failing && failing->asString());
    if (c.code == kURLErrorTimedOut) {
      EXPECT_GE(seconds, 0.45);
      EXPECT_LT(seconds, 2.5);
    }
  }
  // Six single requests; the loop: the first and 16 redirects followed.
  EXPECT_EQ(server.requests().size(), 6u + 17u) << "the offline host and the ftp URL never reach the wire";
}

TEST_F(SessionErrorsTest, AnUnmappedHostFailsAtOnceAndAMappedOneReachesItsPort) {
  ASSERT_TRUE(mapHostToLoopback("config.quillbox.example", server.port()));
  server.route("/a/config.plist", Answer{.body = "mapped"});

  auto start = std::chrono::steady_clock::now();
  testing::Outcome offline = testing::load(*session, *ns::URL::withString("http://other.quillbox.example/"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(offline.errorCode(), kURLErrorNotConnectedToInternet);

  testing::Outcome mapped = testing::load(*session, *ns::URL::withString("http://CONFIG.quillbox.example/a/config.plist"));
  ASSERT_EQ(mapped.errorCode(), 0);
  EXPECT_EQ(mapped.text(), "mapped");
  EXPECT_EQ(mapped.response->url().absoluteString(), "http://CONFIG.quillbox.example/a/config.plist");
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0].header("Host"), "CONFIG.quillbox.example");
}

TEST_F(SessionErrorsTest, CancellingEndsTheTaskOnceAsCancelled) {
  server.route("/stall", Answer{.body = "never whole", .cut = Answer::Cut::Stall, .cutAfter = 3});
  testing::Waiter running;
  auto task = session->dataTask(URLRequest(server.url("/stall")), running.dataHandler());
  task->resume();
  ASSERT_TRUE(server.waitForRequests(1));
  task->cancel();
  task->cancel();
  testing::Outcome outcome = running.wait();
  EXPECT_EQ(outcome.errorCode(), kURLErrorCancelled);
  EXPECT_EQ(task->state(), URLSessionTask::State::Completed);
  EXPECT_EQ(task->error()->code(), kURLErrorCancelled);

  testing::Waiter unstarted;
  auto never = session->dataTask(URLRequest(server.url("/stall")), unstarted.dataHandler());
  never->cancel();
  never->resume();  // too late: it has ended
  EXPECT_EQ(unstarted.wait().errorCode(), kURLErrorCancelled);
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(SessionErrorsTest, AMissingUploadFileFailsWithoutARequest) {
  testing::Waiter waiter;
  session->uploadTask(testing::requestTo(server.url("/u"), "POST"), ns::URL::fileURLWithPath(device.path("missing")),
                      waiter.dataHandler())
      ->resume();
  EXPECT_EQ(waiter.wait().errorCode(), kURLErrorFileDoesNotExist);
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
}  // namespace net
