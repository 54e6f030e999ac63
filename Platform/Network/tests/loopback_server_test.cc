// The loopback server itself, spoken to over a raw socket: what clients
// other than ours may send (chunked bodies, "Expect: 100-continue", HTTP/1.0,
// HEAD), and the scripts: answers in turn, queued answers, the fallback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net::testing {
namespace {

class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }
  bool connected() const { return connected_; }
  void send(const std::string& bytes) { ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), 0), ssize_t(bytes.size())); }
  // Reads until `marker` has arrived (or the server closed).
  std::string readUntil(const std::string& marker) {
    while (received_.find(marker) == std::string::npos) {
      char buffer[4096];
      ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      received_.append(buffer, static_cast<size_t>(got));
    }
    std::string all = received_;
    received_.clear();
    return all;
  }
  bool closedByServer() {
    char byte;
    return ::recv(fd_, &byte, 1, 0) == 0;
  }

 private:
  int fd_;
  bool connected_ = false;
  std::string received_;
};

TEST(LoopbackServerTest, ReadsWhatOtherClientsSendOnOneConnection) {
  LoopbackHTTPServer server;
  server.route("/echo", [](const RecordedRequest& request) { return Answer{.body = "got " + request.body}; });
  RawClient client(server.port());
  ASSERT_TRUE(client.connected());

  client.send("POST /echo HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
              "5\r\nhello\r\n6\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n");
  EXPECT_NE(client.readUntil("got hello world").find("Content-Length: 15"), std::string::npos);

  client.send("PUT /echo HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(client.readUntil("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  client.send("body");
  EXPECT_NE(client.readUntil("got body").find("HTTP/1.1 200 OK"), std::string::npos);

  client.send("HEAD /echo HTTP/1.1\r\nHost: x\r\n\r\n");
  std::string head = client.readUntil("\r\n\r\n");
  EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n") << "a HEAD answer has no body";

  client.send("GET /echo HTTP/1.0\r\n\r\n");
  EXPECT_NE(client.readUntil("got ").find("Connection: close"), std::string::npos);
  EXPECT_TRUE(client.closedByServer());

  std::vector<RecordedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].body, "hello world");
  EXPECT_EQ(requests[0].header("transfer-encoding"), "chunked");
  EXPECT_EQ(requests[1].body, "body");
  EXPECT_EQ(requests[2].method, "HEAD");
  EXPECT_EQ(requests[3].version, "HTTP/1.0");
  for (const RecordedRequest& request : requests) EXPECT_EQ(request.connection, 1);
}

TEST(LoopbackServerTest, AnswersInTurnThenFromTheQueueThenTheFallback) {
  LoopbackHTTPServer server;
  server.route("/flaky", {Answer{.status = 500}, Answer{.status = 200, .body = "ok"}});
  server.enqueue(Answer{.status = 204});
  auto session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
  auto status = [&](const char* path) { return load(*session, server.url(path)).status(); };
  EXPECT_EQ(status("/flaky"), 500);
  EXPECT_EQ(status("/flaky?again"), 200);
  EXPECT_EQ(status("/flaky"), 200);  // the last answer repeats
  EXPECT_EQ(status("/anything"), 204);
  EXPECT_EQ(status("/anything"), 404);
  server.setFallback([](const RecordedRequest& request) { return Answer{.status = 418, .body = request.path()}; });
  EXPECT_EQ(load(*session, server.url("/teapot?x")).text(), "/teapot");
}

}  // namespace
}  // namespace net::testing
