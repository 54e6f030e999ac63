// One accepted connection of the loopback server: reads requests off it
// (plain or TLS), and writes answers as an Answer describes them, stalls
// and cuts included. Internal to the server.
#pragma once

#include <openssl/ssl.h>

#include <functional>
#include <optional>
#include <string>

#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace net::testing::detail {

class HTTPConnection {
 public:
  // `stopFd` becomes readable when the server stops.
  HTTPConnection(int fd, SSL_CTX* tls, int stopFd, int number);
  ~HTTPConnection();
  HTTPConnection(const HTTPConnection&) = delete;
  HTTPConnection& operator=(const HTTPConnection&) = delete;

  // Serves requests until the client leaves, an answer closes, or the
  // server stops. `respond` records the request and picks its answer;
  // `answered` hears of each answer sent.
  void serve(const std::function<Answer(const RecordedRequest&)>& respond,
             const std::function<void(const RecordedRequest&, const Answer&)>& answered);

 private:
  std::optional<RecordedRequest> readRequest();
  bool readLine(std::string& line);
  bool readExactly(size_t count, std::string& out);
  bool fill();
  bool write(std::string_view bytes);
  // Sends `answer`; false when the connection must close afterwards.
  bool send(const RecordedRequest& request, const Answer& answer);
  bool sendBody(const Answer& answer);
  // Waits `seconds`; false when the server stopped meanwhile.
  bool pause(double seconds);
  void holdUntilClientLeaves();

  int fd_;
  SSL* ssl_ = nullptr;
  int stopFd_;
  int number_;
  std::string buffer_;
  size_t position_ = 0;
};

}  // namespace net::testing::detail
