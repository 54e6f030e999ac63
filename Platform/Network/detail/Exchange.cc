#include "Platform/Network/detail/Exchange.h"

#include <openssl/async.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "Platform/Foundation/StringOps.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/detail/TLSTrust.h"

namespace net::detail {
namespace {

// Fields the session manages itself: a given value would contradict what
// goes on the wire.
bool isManagedField(std::string_view name) {
  for (const char* managed : {"Content-Length", "Host", "Connection", "Transfer-Encoding", "Expect"}) {
    if (headerNameEquals(name, managed)) return true;
  }
  return false;
}

int64_t urlErrorCodeFor(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_CONNECT: return kURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return kURLErrorTimedOut;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING: return kURLErrorNetworkConnectionLost;
    case CURLE_SSL_CONNECT_ERROR: return kURLErrorSecureConnectionFailed;
    case CURLE_PEER_FAILED_VERIFICATION: return kURLErrorServerCertificateUntrusted;
    case CURLE_BAD_CONTENT_ENCODING: return kURLErrorCannotDecodeRawData;
    // The scheme is checked before the transfer starts, so libcurl's
    // "unsupported protocol" can only mean an answer it cannot read as HTTP
    // (a status of other than three digits, an HTTP/0.9 reply).
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL: return kURLErrorBadServerResponse;
    case CURLE_URL_MALFORMAT: return kURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_HOST: return kURLErrorCannotFindHost;
    case CURLE_WRITE_ERROR: return kURLErrorCannotWriteToFile;
    default: return kURLErrorUnknown;
  }
}

}  // namespace

std::shared_ptr<Exchange> Exchange::make(CURL* handle, ExchangeListener& listener, const URLRequest& request,
                                         RequestBody body, const ExchangeSettings& settings, ns::Error* error) {
  std::shared_ptr<Exchange> exchange(new Exchange(handle, listener, request, std::move(body)));
  if (!exchange->configure(settings, error)) {
    exchange->releaseHandle();
    return nullptr;
  }
  return exchange;
}

Exchange::Exchange(CURL* handle, ExchangeListener& listener, URLRequest request, RequestBody body)
    : handle_(handle), listener_(listener), request_(std::move(request)), body_(std::move(body)) {}

Exchange::~Exchange() {
  curl_slist_free_all(headerList_);
  curl_slist_free_all(connectTo_);
  if (bodyFile_) fclose(bodyFile_);
}

CURL* Exchange::releaseHandle() {
  CURL* handle = handle_;
  handle_ = nullptr;
  return handle;
}

std::optional<ns::Error> Exchange::refusal(const URLRequest& request) {
  const ns::URL& url = request.url();
  if (url.scheme() != "http" && url.scheme() != "https") return makeURLError(kURLErrorUnsupportedURL, url);
  std::string host = url.host().value_or("");
  if (host.empty()) return makeURLError(kURLErrorBadURL, url);
  if (routeForHost(host).kind == HostRoute::Kind::Offline) return makeURLError(kURLErrorNotConnectedToInternet, url);
  return std::nullopt;
}

bool Exchange::configure(const ExchangeSettings& settings, ns::Error* error) {
  const ns::URL& url = request_.url();
  if (auto refused = refusal(request_)) {
    ns::setError(error, std::move(*refused));
    return false;
  }
  host_ = url.host().value_or("");
  port_ = url.port().value_or(url.scheme() == "https" ? 443 : 80);
  HostRoute route = routeForHost(host_);
  if (route.kind == HostRoute::Kind::Mapped) {
    // Any host and port of this one request go to the loopback port; the
    // URL, "Host" and the TLS name stay as they are.
    connectTo_ = curl_slist_append(nullptr, ("::127.0.0.1:" + std::to_string(route.port)).c_str());
    curl_easy_setopt(handle_, CURLOPT_CONNECT_TO, connectTo_);
  }
  if (!configureBody(error)) return false;

  url_ = url.absoluteString();
  if (size_t hash = url_.find('#'); hash != std::string::npos) url_.resize(hash);
  curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_PROXY, "");
  curl_easy_setopt(handle_, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 0L);  // the session follows redirects itself
  curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(handle_, CURLOPT_BUFFERSIZE, 64L * 1024);
  curl_easy_setopt(handle_, CURLOPT_UPLOAD_BUFFERSIZE, 64L * 1024);
  curl_easy_setopt(handle_, CURLOPT_PRIVATE, this);
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &Exchange::onHeader);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &Exchange::onData);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
  // The connection's own check decides trust (TLSTrust.h), not libcurl's.
  curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(handle_, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(handle_, CURLOPT_SSL_CTX_FUNCTION, &Exchange::onTLSContext);
  curl_easy_setopt(handle_, CURLOPT_SSL_CTX_DATA, this);
  curl_easy_setopt(handle_, CURLOPT_SHARE, settings.share);
  if (settings.keepsCookies) curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
  configureHeaders(settings);

  asksForTrust_ = settings.asksForTrust;
  idleTimeout_ = std::min(request_.timeoutInterval() > 0 ? request_.timeoutInterval() : kDefaultTimeoutInterval,
                          settings.idleTimeout > 0 ? settings.idleTimeout : kDefaultTimeoutInterval);
  resourceDeadline_ = settings.resourceDeadline;
  touch();
  return true;
}

void Exchange::configureHeaders(const ExchangeSettings& settings) {
  HTTPHeaderFields fields = request_.allHTTPHeaderFields();
  for (const auto& [name, value] : settings.additionalHeaders.fields()) {
    if (!fields.contains(name)) fields.set(name, value);
  }
  auto append = [this](const std::string& line) { headerList_ = curl_slist_append(headerList_, line.c_str()); };
  for (const auto& [name, value] : fields.fields()) {
    if (isManagedField(name)) continue;
    append(value.empty() ? name + ";" : name + ": " + value);  // "Name;" sends an empty value
  }
  append("Expect:");  // never wait for "100 Continue"
  if (!body_.empty() && !fields.contains("Content-Type")) append("Content-Type:");
  if (!fields.contains("User-Agent")) curl_easy_setopt(handle_, CURLOPT_USERAGENT, settings.userAgent.c_str());
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headerList_);
}

bool Exchange::configureBody(ns::Error* error) {
  const std::string& method = request_.httpMethod();
  curl_off_t length = 0;
  if (!body_.filePath.empty()) {
    bodyFile_ = fopen(body_.filePath.c_str(), "rb");
    struct stat info {};
    if (!bodyFile_ || fstat(fileno(bodyFile_), &info) != 0 || !S_ISREG(info.st_mode)) {
      ns::setError(error, makeURLError(kURLErrorFileDoesNotExist, request_.url()));
      return false;
    }
    length = info.st_size;
  } else if (body_.data) {
    length = static_cast<curl_off_t>(body_.data->size());
  }
  bool hasBody = !body_.empty();
  if (method == "HEAD") {
    curl_easy_setopt(handle_, CURLOPT_NOBODY, 1L);
  } else if (hasBody || method == "POST") {
    curl_easy_setopt(handle_, CURLOPT_POST, 1L);
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE, length);
    curl_easy_setopt(handle_, CURLOPT_READFUNCTION, &Exchange::onRead);
    curl_easy_setopt(handle_, CURLOPT_READDATA, this);
    curl_easy_setopt(handle_, CURLOPT_SEEKFUNCTION, &Exchange::onSeek);
    curl_easy_setopt(handle_, CURLOPT_SEEKDATA, this);
    if (method != "POST") curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else if (method != "GET") {
    curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  return true;
}

Clock::time_point Exchange::deadline() const {
  if (failure_) return Clock::time_point::max();  // already ending
  auto idle = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(idleTimeout_));
  return std::min(lastActivity_ + idle, resourceDeadline_);
}

void Exchange::fail(int64_t code) {
  if (!failure_) failure_ = code;
  if (trust_ && trust_->answer == TrustQuestion::Answer::Pending) trust_->answer = TrustQuestion::Answer::Cancel;
}

void Exchange::answerTrust(TrustQuestion::Answer answer) {
  if (trust_ && trust_->answer == TrustQuestion::Answer::Pending) trust_->answer = answer;
}

void Exchange::deliverTrustQuestion() {
  if (trust_ && trust_->answer == TrustQuestion::Answer::Pending) listener_.exchangeNeedsTrustAnswer(*trust_);
}

std::optional<ns::Error> Exchange::errorFor(CURLcode result) const {
  if (failure_) return makeURLError(failure_, request_.url());
  if (result == CURLE_OK) return std::nullopt;
  if (trust_ && trust_->answer == TrustQuestion::Answer::Cancel) {
    return makeURLError(kURLErrorCancelled, request_.url());
  }
  if (trust_ && trust_->answer == TrustQuestion::Answer::Reject) {
    return makeURLError(kURLErrorServerCertificateUntrusted, request_.url());
  }
  return makeURLError(urlErrorCodeFor(result), request_.url());
}

void Exchange::finish(CURLcode result) {
  std::optional<ns::Error> error = errorFor(result);
  // We never ask for an interim answer, so an informational head after
  // which the server ends the connection is that server's whole answer.
  if (error && error->code() == kURLErrorNetworkConnectionLost && !finalHeadDone_ && informational_) {
    listener_.exchangeReceivedResponse(*informational_);
    error.reset();
  }
  listener_.exchangeFinished(std::move(error));
}

size_t Exchange::onHeader(char* buffer, size_t size, size_t count, void* self) {
  auto* exchange = static_cast<Exchange*>(self);
  exchange->touch();
  exchange->headerLine(std::string_view(buffer, size * count));
  return size * count;
}

void Exchange::headerLine(std::string_view line) {
  if (line.starts_with("HTTP/")) {
    // A new head: informational ones come before the final one.
    finalHeadDone_ = false;
    headers_ = {};
    status_ = 0;
    size_t space = line.find(' ');
    if (space != std::string_view::npos) {
      for (char c : line.substr(space + 1, 3)) status_ = status_ * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    }
    return;
  }
  if (finalHeadDone_) return;  // trailers after a chunked body
  std::string field = ns::trimmingWhitespaceAndNewlines(line);
  if (field.empty()) {
    HTTPURLResponse response(request_.url(), status_, headers_);
    if (status_ >= 100 && status_ < 200) {
      informational_ = std::move(response);
    } else {
      finalHeadDone_ = true;
      listener_.exchangeReceivedResponse(response);
    }
    return;
  }
  size_t colon = field.find(':');
  if (colon == std::string::npos) return;
  headers_.add(ns::trimmingWhitespace(std::string_view(field).substr(0, colon)),
               ns::trimmingWhitespace(std::string_view(field).substr(colon + 1)));
}

size_t Exchange::onData(char* buffer, size_t size, size_t count, void* self) {
  auto* exchange = static_cast<Exchange*>(self);
  exchange->touch();
  if (int64_t code = exchange->listener_.exchangeReceivedData(buffer, size * count)) {
    exchange->fail(code);
    return 0;  // libcurl stops with a write error
  }
  return size * count;
}

size_t Exchange::onRead(char* buffer, size_t size, size_t count, void* self) {
  auto* exchange = static_cast<Exchange*>(self);
  exchange->touch();
  size_t wanted = size * count;
  if (exchange->bodyFile_) {
    size_t got = fread(buffer, 1, wanted, exchange->bodyFile_);
    if (got == 0 && ferror(exchange->bodyFile_)) return CURL_READFUNC_ABORT;
    return got;
  }
  if (!exchange->body_.data) return 0;
  const ns::Data& data = *exchange->body_.data;
  size_t n = std::min(wanted, data.size() - exchange->bodyOffset_);
  std::memcpy(buffer, data.data() + exchange->bodyOffset_, n);
  exchange->bodyOffset_ += n;
  return n;
}

int Exchange::onSeek(void* self, curl_off_t offset, int origin) {
  auto* exchange = static_cast<Exchange*>(self);
  if (origin != SEEK_SET) return CURL_SEEKFUNC_CANTSEEK;
  if (exchange->bodyFile_) return fseeko(exchange->bodyFile_, offset, SEEK_SET) == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
  size_t size = exchange->body_.data ? exchange->body_.data->size() : 0;
  if (offset < 0 || static_cast<size_t>(offset) > size) return CURL_SEEKFUNC_FAIL;
  exchange->bodyOffset_ = static_cast<size_t>(offset);
  return CURL_SEEKFUNC_OK;
}

CURLcode Exchange::onTLSContext(CURL*, void* context, void* self) {
  prepareTLSContext(static_cast<SSL_CTX*>(context), &Exchange::onVerify, self);
  return CURLE_OK;
}

int Exchange::onVerify(X509_STORE_CTX* storeContext, void* self) {
  return static_cast<Exchange*>(self)->verify(storeContext);
}

// Runs inside the handshake's job (a small stack of its own): it records the
// question and pauses the job until the answer has come; libcurl resumes the
// handshake at the engine's next turn.
int Exchange::verify(X509_STORE_CTX* storeContext) {
  touch();
  if (!trust_) {
    trust_ = TrustQuestion{evaluateServerTrust(storeContext, host_), port_};
    if (failure_) {
      trust_->answer = TrustQuestion::Answer::Cancel;
    } else if (!asksForTrust_) {
      trust_->answer = trust_->trust->evaluate() ? TrustQuestion::Answer::Accept : TrustQuestion::Answer::Reject;
    } else {
      Engine::shared().trustQuestionAsked(handle_);
    }
  }
  waitingForTrust_ = true;
  while (trust_->answer == TrustQuestion::Answer::Pending) {
    if (!ASYNC_get_current_job()) {
      // Not pausable (should not happen): keep the verdict rather than block.
      trust_->answer = trust_->trust->evaluate() ? TrustQuestion::Answer::Accept : TrustQuestion::Answer::Reject;
      break;
    }
    ASYNC_pause_job();
  }
  waitingForTrust_ = false;
  touch();
  if (trust_->answer == TrustQuestion::Answer::Accept) {
    X509_STORE_CTX_set_error(storeContext, X509_V_OK);
    return 1;
  }
  if (X509_STORE_CTX_get_error(storeContext) == X509_V_OK) {
    X509_STORE_CTX_set_error(storeContext, X509_V_ERR_APPLICATION_VERIFICATION);
  }
  return 0;
}

}  // namespace net::detail
