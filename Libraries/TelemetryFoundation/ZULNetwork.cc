#include "Libraries/TelemetryFoundation/ZULNetwork.h"

#include <cstdio>

#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kService = "[ZULNetwork]";

std::string messageCode(long code) { return ns::format("I-NET%06ld", code); }

const char* levelName(ZULNetworkLogLevel level) {
  switch (level) {
    case ZULNetworkLogLevelError: return "ERROR";
    case ZULNetworkLogLevelWarning: return "WARNING";
    case ZULNetworkLogLevelInfo: return "INFO";
    case ZULNetworkLogLevelDebug: return "DEBUG";
  }
  return "";
}

const std::shared_ptr<dispatch::Queue>& queueOrMain(const std::shared_ptr<dispatch::Queue>& queue) {
  return queue ? queue : dispatch::Queue::main();
}

}  // namespace

std::shared_ptr<ZULNetwork> ZULNetwork::init() { return initWithReachabilityHost(kZULNetworkDefaultReachabilityHost); }

std::shared_ptr<ZULNetwork> ZULNetwork::initWithReachabilityHost(const std::string& host) {
  auto network = std::make_shared<ZULNetwork>(Passkey());
  network->reachability_ = ZULReachabilityChecker::initWithReachabilityDelegate(network, host);
  if (!network->reachability_ || !network->reachability_->start()) return nullptr;
  return network;
}

ZULNetwork::~ZULNetwork() {
  if (reachability_) {
    reachability_->setReachabilityDelegate({});
    reachability_->stop();
  }
}

// ----- Requests -----

std::optional<std::string> ZULNetwork::postURL(const ns::URL& url, const ns::Data& payload,
                                               std::shared_ptr<dispatch::Queue> queue, bool usingBackgroundSession,
                                               CompletionHandler handler) {
  return postURL(url, {}, payload, std::move(queue), usingBackgroundSession, std::move(handler));
}

std::optional<std::string> ZULNetwork::postURL(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                               const ns::Data& payload, std::shared_ptr<dispatch::Queue> queue,
                                               bool usingBackgroundSession, CompletionHandler handler) {
  return startRequest(url, headers, payload, std::move(queue), usingBackgroundSession, std::move(handler));
}

std::optional<std::string> ZULNetwork::getURL(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                              std::shared_ptr<dispatch::Queue> queue, bool usingBackgroundSession,
                                              CompletionHandler handler) {
  return startRequest(url, headers, std::nullopt, std::move(queue), usingBackgroundSession, std::move(handler));
}

// A POST when there is a payload, else a GET.
std::optional<std::string> ZULNetwork::startRequest(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                                    const std::optional<ns::Data>& payload,
                                                    std::shared_ptr<dispatch::Queue> queue,
                                                    bool usingBackgroundSession, CompletionHandler handler) {
  if (url.absoluteString().empty()) {
    handleErrorWithCode(ZULNetworkErrorCodeInvalidURL, queue, std::move(handler));
    return std::nullopt;
  }
  const double timeout = timeoutInterval_ == 0 ? 60.0 : timeoutInterval_.load();
  net::URLRequest request(url, net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, timeout);
  request.setAllHTTPHeaderFields(headers);

  if (payload) {
    ns::Data body;
    if (!payload->empty()) {
      ns::Error error;
      std::optional<ns::Data> compressed = ZULGzip::zul_dataByGzippingData(*payload, &error);
      if (!compressed || compressed->empty()) {
        handleErrorWithCode(ZULNetworkErrorCodeCompressionFailed, queue, std::move(handler));
        return std::nullopt;
      }
      body = std::move(*compressed);
    }
    request.setValue(std::to_string(body.size()), "Content-Length");
    request.setHTTPBody(std::move(body));
    request.setHTTPMethod("POST");
    request.setValue("application/x-www-form-urlencoded", "Content-Type");
    request.setValue("gzip", "Content-Encoding");
  } else {
    request.setHTTPMethod("GET");
  }

  auto fetcher = ZULNetworkURLSession::initWithNetworkLoggerDelegate(weak_from_this());
  fetcher->setBackgroundNetworkEnabled(usingBackgroundSession);
  std::weak_ptr<ZULNetwork> weakSelf = weak_from_this();
  auto fetcherHandler = [weakSelf, queue, handler](std::optional<net::HTTPURLResponse> response,
                                                   std::optional<ns::Data> data,
                                                   std::optional<std::string> sessionID,
                                                   std::optional<ns::Error> error) {
    auto self = weakSelf.lock();
    if (!self) return;
    queueOrMain(queue)->async([self, handler, response = std::move(response), data = std::move(data),
                               sessionID = std::move(sessionID), error = std::move(error)] {
      if (sessionID && !sessionID->empty()) self->requests_.removeObjectForKey(*sessionID);
      if (handler) handler(response, data, error);
    });
  };
  // In progress before the task starts: a request that ends before this
  // thread goes on must find its entry to remove.
  requests_.setObject(fetcher, fetcher->sessionID());
  std::optional<std::string> sessionID = payload
                                             ? fetcher->sessionIDFromAsyncPOSTRequest(request, fetcherHandler)
                                             : fetcher->sessionIDFromAsyncGETRequest(request, fetcherHandler);
  if (!sessionID) {
    requests_.removeObjectForKey(fetcher->sessionID());
    handleErrorWithCode(ZULNetworkErrorCodeInvalidRequest, queue, std::move(handler));
    return std::nullopt;
  }
  if (payload) {
    ZULNetwork_logWithLevel(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeUploading, "Uploading data. Host",
                            ZULNetworkLogContext(url.absoluteString()));
  } else {
    ZULNetwork_logWithLevel(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeDownloading, "Downloading data. Host",
                            ZULNetworkLogContext(url.absoluteString()));
  }
  return sessionID;
}

void ZULNetwork::handleErrorWithCode(ZULNetworkErrorCode code, std::shared_ptr<dispatch::Queue> queue,
                                     CompletionHandler handler) {
  ns::Error error(kZULNetworkErrorDomain, code, {{kZULNetworkErrorContext, "Failed to create network request"}});
  ZULNetwork_logWithLevel(ZULNetworkLogLevelWarning, ZULNetworkMessageCodeRequestFailed,
                          "Failed to create network request. Code, error",
                          ZULNetworkLogContexts{ns::format("%ld", long{code}), error.description()});
  if (!handler) return;
  queueOrMain(queue)->async([handler = std::move(handler), error] { handler(std::nullopt, std::nullopt, error); });
}

void ZULNetwork::handleEventsForBackgroundURLSessionID(const std::string& sessionID,
                                                       ZULNetworkURLSession::SystemCompletionHandler handler) {
  ZULNetworkURLSession::handleEventsForBackgroundURLSessionID(sessionID, std::move(handler));
}

// ----- Delegates -----

void ZULNetwork::reachabilityStatusChanged(ZULReachabilityChecker&, ZULReachabilityStatus status) {
  networkConnected_ = status == kZULReachabilityViaWifi || status == kZULReachabilityViaCellular;
  std::shared_ptr<ZULNetworkReachabilityDelegate> delegate;
  {
    std::lock_guard lock(delegatesMutex_);
    delegate = reachabilityDelegate_.lock();
  }
  if (delegate) delegate->reachabilityDidChange();
}

void ZULNetwork::setReachabilityDelegate(std::weak_ptr<ZULNetworkReachabilityDelegate> delegate) {
  std::lock_guard lock(delegatesMutex_);
  reachabilityDelegate_ = std::move(delegate);
}

void ZULNetwork::setLoggerDelegate(std::weak_ptr<ZULNetworkLoggerDelegate> delegate) {
  // Any ZULNetworkLoggerDelegate answers all three calls; only none at all
  // is refused.
  if (delegate.expired()) {
    ZULLoggerLogError(kService, false, messageCode(ZULNetworkMessageCodeRequestFailed),
                      "Cannot set the network logger delegate: delegate does not conform to the network logger "
                      "protocol.");
    return;
  }
  std::lock_guard lock(delegatesMutex_);
  loggerDelegate_ = std::move(delegate);
}

std::shared_ptr<ZULNetworkLoggerDelegate> ZULNetwork::loggerDelegate() const {
  std::lock_guard lock(delegatesMutex_);
  return loggerDelegate_.lock();
}

// ----- Logging -----

void ZULNetwork::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                                         const std::optional<std::string>& message,
                                         const ZULNetworkLogContexts& contexts) {
  if (auto delegate = loggerDelegate()) {
    delegate->ZULNetwork_logWithLevel(level, code, message, contexts);
    return;
  }
  const bool passes = isDebugModeEnabled_ || level == ZULNetworkLogLevelError || level == ZULNetworkLogLevelWarning ||
                      level == ZULNetworkLogLevelInfo;
  if (!passes) return;

  std::string text = !message ? "(Message was nil)" : message->empty() ? "(Message was empty)" : *message;
  std::string line = ns::format("<%@/%@> %@", "Zorori/Utilities/Network", levelName(level), text);
  if (!contexts.empty()) {
    line += ": ";
    for (size_t i = 0; i < contexts.size(); ++i) {
      if (i) line += ", ";
      line += contexts[i].value_or("(nil)");
    }
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  ZULLoggerLogWithLevel(level, kService, false, messageCode(code), line, std::nullopt);
}

void ZULNetwork::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                                         const std::optional<std::string>& message,
                                         const ZULNetworkLogContext& context) {
  if (auto delegate = loggerDelegate()) {
    delegate->ZULNetwork_logWithLevel(level, code, message, context);
    return;
  }
  ZULNetwork_logWithLevel(level, code, message, ZULNetworkLogContexts{context});
}

void ZULNetwork::ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode code,
                                         const std::optional<std::string>& message) {
  if (auto delegate = loggerDelegate()) {
    delegate->ZULNetwork_logWithLevel(level, code, message);
    return;
  }
  ZULNetwork_logWithLevel(level, code, message, ZULNetworkLogContexts{});
}
