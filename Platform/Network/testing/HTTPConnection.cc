#include "Platform/Network/testing/HTTPConnection.h"

#include "Platform/Foundation/StringOps.h"
#include "Platform/Network/HTTPHeaderFields.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace net::testing::detail {
namespace {

constexpr size_t kMaximumLine = 64 * 1024;

std::optional<std::string> headerIn(const HeaderList& headers, std::string_view name) {
  for (const auto& [field, value] : headers) {
    if (headerNameEquals(field, name)) return value;
  }
  return std::nullopt;
}

const char* reasonFor(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

bool hasNoBody(int status) { return status < 200 || status == 204 || status == 304; }

}  // namespace

HTTPConnection::HTTPConnection(int fd, SSL_CTX* tls, int stopFd, int number)
    : fd_(fd), stopFd_(stopFd), number_(number) {
  if (tls) {
    ssl_ = SSL_new(tls);
    SSL_set_fd(ssl_, fd_);
  }
}

HTTPConnection::~HTTPConnection() {
  if (ssl_) SSL_free(ssl_);
  ::close(fd_);
}

void HTTPConnection::serve(const std::function<Answer(const RecordedRequest&)>& respond,
                           const std::function<void(const RecordedRequest&, const Answer&)>& answered) {
  if (ssl_ && SSL_accept(ssl_) != 1) return;
  for (;;) {
    std::optional<RecordedRequest> request = readRequest();
    if (!request) break;
    Answer answer = respond(*request);
    bool keepOpen = send(*request, answer);
    if (answered) answered(*request, answer);
    if (!keepOpen) break;
  }
  if (ssl_) SSL_shutdown(ssl_);
}

bool HTTPConnection::fill() {
  if (position_ > 0) {
    buffer_.erase(0, position_);
    position_ = 0;
  }
  char chunk[16 * 1024];
  ssize_t got = ssl_ ? SSL_read(ssl_, chunk, sizeof chunk) : ::recv(fd_, chunk, sizeof chunk, 0);
  if (got <= 0) return false;
  buffer_.append(chunk, static_cast<size_t>(got));
  return true;
}

bool HTTPConnection::readLine(std::string& line) {
  for (;;) {
    size_t end = buffer_.find("\r\n", position_);
    if (end != std::string::npos) {
      line = buffer_.substr(position_, end - position_);
      position_ = end + 2;
      return true;
    }
    if (buffer_.size() - position_ > kMaximumLine || !fill()) return false;
  }
}

bool HTTPConnection::readExactly(size_t count, std::string& out) {
  while (buffer_.size() - position_ < count) {
    if (!fill()) return false;
  }
  out.append(buffer_, position_, count);
  position_ += count;
  return true;
}

std::optional<RecordedRequest> HTTPConnection::readRequest() {
  RecordedRequest request;
  request.connection = number_;
  std::string line;
  do {
    if (!readLine(line)) return std::nullopt;
  } while (line.empty());  // stray line ends between requests
  size_t first = line.find(' '), last = line.rfind(' ');
  if (first == std::string::npos || last == first) return std::nullopt;
  request.method = line.substr(0, first);
  request.target = line.substr(first + 1, last - first - 1);
  request.version = line.substr(last + 1);
  for (;;) {
    if (!readLine(line)) return std::nullopt;
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon == std::string::npos) return std::nullopt;
    request.headers.emplace_back(line.substr(0, colon),
                                 ns::trimmingWhitespace(std::string_view(line).substr(colon + 1)));
  }
  std::optional<std::string> expect = headerIn(request.headers, "Expect");
  if (expect && headerNameEquals(*expect, "100-continue") && !write("HTTP/1.1 100 Continue\r\n\r\n")) {
    return std::nullopt;
  }
  std::optional<std::string> encoding = headerIn(request.headers, "Transfer-Encoding");
  if (encoding && headerNameEquals(*encoding, "chunked")) {
    for (;;) {
      if (!readLine(line)) return std::nullopt;
      size_t size = std::strtoul(line.c_str(), nullptr, 16);
      if (size == 0) break;
      if (!readExactly(size, request.body) || !readLine(line)) return std::nullopt;
    }
    do {  // trailers
      if (!readLine(line)) return std::nullopt;
    } while (!line.empty());
  } else if (std::optional<std::string> length = headerIn(request.headers, "Content-Length")) {
    if (!readExactly(std::strtoull(length->c_str(), nullptr, 10), request.body)) return std::nullopt;
  }
  return request;
}

bool HTTPConnection::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ssl_ ? SSL_write(ssl_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)))
                        : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool HTTPConnection::pause(double seconds) {
  if (seconds <= 0) return true;
  pollfd stop{stopFd_, POLLIN, 0};
  return ::poll(&stop, 1, static_cast<int>(seconds * 1000)) == 0;
}

void HTTPConnection::holdUntilClientLeaves() {
  pollfd watched[2] = {{fd_, POLLRDHUP, 0}, {stopFd_, POLLIN, 0}};
  while (::poll(watched, 2, -1) >= 0) {
    if (watched[0].revents & (POLLRDHUP | POLLHUP | POLLERR)) return;
    if (watched[1].revents) return;
  }
}

bool HTTPConnection::send(const RecordedRequest& request, const Answer& answer) {
  if (!pause(answer.delaySeconds)) return false;
  std::optional<std::string> connection = headerIn(request.headers, "Connection");
  bool clientCloses = (connection && headerNameEquals(*connection, "close")) ||
                      (request.version == "HTTP/1.0" && !(connection && headerNameEquals(*connection, "keep-alive")));
  // An informational status is the whole answer: nothing may follow it.
  bool closes = answer.closeConnection || clientCloses || answer.status < 200;
  bool bodyless = hasNoBody(answer.status);
  bool headRequest = request.method == "HEAD";

  char statusLine[64];
  std::snprintf(statusLine, sizeof statusLine, "HTTP/1.1 %d %s\r\n", answer.status, reasonFor(answer.status));
  std::string head = statusLine;
  for (const auto& [name, value] : answer.headers) head += name + ": " + value + "\r\n";
  bool framed = headerIn(answer.headers, "Content-Length") || headerIn(answer.headers, "Transfer-Encoding");
  if (!framed && !bodyless) {
    head += answer.chunked ? "Transfer-Encoding: chunked\r\n"
                           : "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
  }
  if (closes) head += "Connection: close\r\n";
  head += "\r\n";
  if (!write(head)) return false;
  if (!bodyless && !headRequest && !sendBody(answer)) return false;
  return !closes;
}

bool HTTPConnection::sendBody(const Answer& answer) {
  size_t limit = answer.cut == Answer::Cut::None ? answer.body.size() : std::min(answer.cutAfter, answer.body.size());
  if (answer.chunked) {
    size_t sent = 0;
    size_t chunkSize = std::max<size_t>(answer.chunkSize, 1);
    while (sent < answer.body.size()) {
      size_t size = std::min(chunkSize, answer.body.size() - sent);
      char sizeLine[32];
      std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", size);
      if (!write(sizeLine)) return false;
      size_t part = std::min(size, limit - std::min(limit, sent));
      if (!write(std::string_view(answer.body).substr(sent, part))) return false;
      if (part < size) break;  // cut inside this chunk
      if (!write("\r\n")) return false;
      sent += size;
    }
    if (answer.cut == Answer::Cut::None && !write("0\r\n\r\n")) return false;
  } else if (!write(std::string_view(answer.body).substr(0, limit))) {
    return false;
  }
  switch (answer.cut) {
    case Answer::Cut::None: return true;
    case Answer::Cut::Stall: holdUntilClientLeaves(); return false;
    case Answer::Cut::Close: return false;
  }
  return true;
}

}  // namespace net::testing::detail
