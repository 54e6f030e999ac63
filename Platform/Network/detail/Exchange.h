// One HTTP request and its response on one libcurl easy handle: the request
// turned into libcurl's options, the response head and body handed to a
// listener as they arrive, the server-trust question, and the end as a
// transport error or none. Engine thread only.
#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/ServerTrust.h"
#include "Platform/Network/URLRequest.h"
#include "Platform/Network/detail/Curl.h"

namespace net::detail {

using Clock = std::chrono::steady_clock;

// What a request sends besides its head: nothing, bytes, or a file's bytes.
struct RequestBody {
  std::shared_ptr<const ns::Data> data;
  std::string filePath;
  bool empty() const { return !data && filePath.empty(); }
};

// The server-trust question of one connection and its answer.
struct TrustQuestion {
  enum class Answer { Pending, Accept, Reject, Cancel };
  std::shared_ptr<const ServerTrust> trust;
  int port = 443;
  Answer answer = Answer::Pending;
};

// Told what happens, in order, on the engine thread.
class ExchangeListener {
 public:
  virtual ~ExchangeListener() = default;
  // The final head (any status but an informational one).
  virtual void exchangeReceivedResponse(const HTTPURLResponse& response) = 0;
  // Body bytes, decoded. A non-zero URL error code stops the exchange with it.
  virtual int64_t exchangeReceivedData(const char* bytes, size_t length) = 0;
  // The server's chain needs the delegate's answer (Exchange::answerTrust).
  virtual void exchangeNeedsTrustAnswer(const TrustQuestion& question) = 0;
  virtual void exchangeFinished(std::optional<ns::Error> error) = 0;
};

struct ExchangeSettings {
  HTTPHeaderFields additionalHeaders;
  std::string userAgent;
  double idleTimeout = 60;
  Clock::time_point resourceDeadline = Clock::time_point::max();
  CURLSH* share = nullptr;  // the session's connections (and cookies)
  bool keepsCookies = false;
  bool asksForTrust = false;  // whether the listener answers trust questions
};

class Exchange {
 public:
  // Null with `error` set when the request cannot go out at all (a scheme
  // other than http/https, an offline host, a missing body file).
  static std::shared_ptr<Exchange> make(CURL* handle, ExchangeListener& listener, const URLRequest& request,
                                        RequestBody body, const ExchangeSettings& settings, ns::Error* error);
  // The error of a request that cannot go out whatever its body (a scheme
  // other than http/https, no host, an offline host), or none: asked before
  // libcurl is needed.
  static std::optional<ns::Error> refusal(const URLRequest& request);
  ~Exchange();
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  CURL* handle() const { return handle_; }
  // Gives the handle back (the engine reuses it).
  CURL* releaseHandle();

  // When the exchange times out, if it has not heard from the network.
  Clock::time_point deadline() const;
  // Whether the libcurl handle may leave the multi handle now: not while a
  // handshake is paused inside its job.
  bool canLeaveNow() const { return !waitingForTrust_; }
  // Ends with `code` (cancelled, timed out): the engine then finishes it,
  // at once when it can leave now, else once the handshake gave up.
  void fail(int64_t code);
  void answerTrust(TrustQuestion::Answer answer);
  // Tells the listener the question the handshake waits on.
  void deliverTrustQuestion();
  // libcurl's result, as an error of the URL-loading domain or none.
  void finish(CURLcode result);

 private:
  Exchange(CURL* handle, ExchangeListener& listener, URLRequest request, RequestBody body);
  bool configure(const ExchangeSettings& settings, ns::Error* error);
  void configureHeaders(const ExchangeSettings& settings);
  bool configureBody(ns::Error* error);
  std::optional<ns::Error> errorFor(CURLcode result) const;

  static size_t onHeader(char* buffer, size_t size, size_t count, void* self);
  static size_t onData(char* buffer, size_t size, size_t count, void* self);
  static size_t onRead(char* buffer, size_t size, size_t count, void* self);
  static int onSeek(void* self, curl_off_t offset, int origin);
  static CURLcode onTLSContext(CURL* handle, void* context, void* self);
  static int onVerify(X509_STORE_CTX* storeContext, void* self);
  int verify(X509_STORE_CTX* storeContext);
  void headerLine(std::string_view line);
  void touch() { lastActivity_ = Clock::now(); }

  CURL* handle_;
  ExchangeListener& listener_;
  URLRequest request_;
  RequestBody body_;
  std::string url_;
  std::string host_;
  int port_ = 0;
  curl_slist* headerList_ = nullptr;
  curl_slist* connectTo_ = nullptr;
  FILE* bodyFile_ = nullptr;
  size_t bodyOffset_ = 0;
  bool asksForTrust_ = false;

  double idleTimeout_ = 60;
  Clock::time_point resourceDeadline_ = Clock::time_point::max();
  Clock::time_point lastActivity_ = Clock::now();

  // The head being read: informational heads are kept aside.
  int status_ = 0;
  HTTPHeaderFields headers_;
  bool finalHeadDone_ = false;
  std::optional<HTTPURLResponse> informational_;

  std::optional<TrustQuestion> trust_;
  bool waitingForTrust_ = false;
  int64_t failure_ = 0;  // a URL error code chosen here, or 0
};

}  // namespace net::detail
