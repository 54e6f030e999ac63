// For tests: an HTTP/1.1 server on 127.0.0.1, on a port the system picks,
// that records every request and answers from a script.
//
//   net::testing::LoopbackHTTPServer server;             // ({.tls = true}) for HTTPS
//   server.route("/config", {.body = "maxBackups = 3"}); // every request to the path
//   server.route("/flaky", {{.status = 500}, {.body = "ok"}});  // in turn; the last repeats
//   server.route("/echo", [](const RecordedRequest& r) { return Answer{.body = r.body}; });
//   server.enqueue({.status = 204});                     // the next request no route takes
//   ... load server.url("/config?x=1") ...
//   server.requests()[0].header("user-agent");
//
// - Routes match the path without the query. A request that no route and no
//   queued answer takes gets the fallback (404 with an empty body unless set).
// - Connections are kept alive; request bodies may come by length or
//   chunked (an "Expect: 100-continue" is answered); answers go by length or
//   chunked, after a delay, or are cut in the middle of the body by a stall
//   or a close, as the Answer says.
// - With TLS, an authority and a certificate for `names` are made at start
//   (TestCertificates.h); a client trusts the server through authorityPEM().
// - The destructor (or stop()) closes every connection and joins every
//   thread, whatever an answer was still waiting for.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/Foundation/URL.h"

namespace net::testing {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct RecordedRequest {
  std::string method;
  std::string target;  // as in the request line: the path and the query
  std::string version;  // "HTTP/1.1"
  HeaderList headers;   // as sent, in order
  std::string body;     // the body's bytes (a chunked body joined)
  int connection = 0;   // the connection it came on: 1 for the first accepted

  std::string path() const;  // the target without its query
  // The first field of that name, in any case.
  std::optional<std::string> header(std::string_view name) const;
};

struct Answer {
  enum class Cut { None, Stall, Close };

  int status = 200;
  // Sent in order after the status line. The server adds "Content-Length"
  // (or "Transfer-Encoding: chunked") unless given here, and "Connection:
  // close" when it closes.
  HeaderList headers = {};
  std::string body = {};
  bool chunked = false;
  size_t chunkSize = 16 * 1024;
  double delaySeconds = 0;  // before the status line
  // After `cutAfter` bytes of the body: send nothing more and keep the
  // connection open until the client leaves or the server stops (Stall),
  // or close it (Close).
  Cut cut = Cut::None;
  size_t cutAfter = 0;
  bool closeConnection = false;

  static Answer redirect(int status, std::string location);
};

using Responder = std::function<Answer(const RecordedRequest& request)>;

class LoopbackHTTPServer {
 public:
  struct Options {
    bool tls = false;
    // The names a TLS certificate covers; a mapped host must be among them.
    std::vector<std::string> names = {"localhost", "127.0.0.1"};
    int port = 0;  // 0: the system picks
  };

  LoopbackHTTPServer() : LoopbackHTTPServer(Options{}) {}
  explicit LoopbackHTTPServer(Options options);
  ~LoopbackHTTPServer();
  LoopbackHTTPServer(const LoopbackHTTPServer&) = delete;
  LoopbackHTTPServer& operator=(const LoopbackHTTPServer&) = delete;

  int port() const;
  bool isTLS() const;
  // "http://127.0.0.1:<port>", or "https://localhost:<port>" with TLS.
  std::string origin() const;
  ns::URL url(std::string_view pathAndQuery) const;
  // The authority that signed the TLS certificate (PEM); "" without TLS.
  const std::string& authorityPEM() const;

  void route(std::string path, Answer answer);
  void route(std::string path, std::vector<Answer> answers);
  void route(std::string path, Responder responder);
  void enqueue(Answer answer);
  void setFallback(Responder responder);
  // Called after each answer has been sent (or cut), on the connection's
  // thread.
  void setObserver(std::function<void(const RecordedRequest&, const Answer&)> observer);

  std::vector<RecordedRequest> requests() const;
  size_t requestCount() const;
  // Waits (real time) until `count` requests have been recorded. The bound
  // only ends a test that already failed: a busy machine may need far longer
  // than an idle one to make a request.
  bool waitForRequests(size_t count, double timeoutSeconds = 60) const;
  int connectionCount() const;

  void stop();

  struct State;  // internal

 private:
  std::shared_ptr<State> state_;
};

}  // namespace net::testing
