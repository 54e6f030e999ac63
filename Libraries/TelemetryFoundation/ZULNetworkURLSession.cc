#include "Libraries/TelemetryFoundation/ZULNetworkURLSession.h"

#include <map>

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/Uuid.h"

namespace {

// Live fetchers by session ID, held weakly: the session holds its fetcher
// as its delegate until it is invalidated.
struct FetcherRegistry {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<ZULNetworkURLSession>> fetchers;

  static FetcherRegistry& shared() {
    static FetcherRegistry* registry = new FetcherRegistry;
    return *registry;
  }
};

// The system's completion handlers for background events, by session ID.
ZULMutableDictionary<std::string, ZULNetworkURLSession::SystemCompletionHandler>& systemCompletionHandlers() {
  static auto* handlers = new ZULMutableDictionary<std::string, ZULNetworkURLSession::SystemCompletionHandler>;
  return *handlers;
}

// One trust evaluation at a time in the process.
std::mutex& trustEvaluationMutex() {
  static std::mutex mutex;
  return mutex;
}

ns::URL temporaryDirectoryURL() {
  return ns::FileManager::defaultManager()
      .applicationSupportDirectory()
      .appendingPathComponent("ZUL/Network", true)
      .appendingPathComponent("ZULNetworkTemporaryDirectory", true);
}

ns::Error networkError(ZULNetworkErrorCode code, const char* context) {
  return ns::Error(kZULNetworkErrorDomain, code, {{kZULNetworkErrorContext, context}});
}

// The configuration's settings taken from the request.
void copyRequestSettings(const net::URLRequest& request, net::URLSessionConfiguration& configuration) {
  configuration.setHTTPAdditionalHeaders(request.allHTTPHeaderFields());
  configuration.setTimeoutIntervalForRequest(request.timeoutInterval());
  configuration.setTimeoutIntervalForResource(request.timeoutInterval());
  configuration.setRequestCachePolicy(request.cachePolicy());
}

}  // namespace

std::shared_ptr<ZULNetworkURLSession> ZULNetworkURLSession::initWithNetworkLoggerDelegate(
    std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate) {
  return std::make_shared<ZULNetworkURLSession>(Passkey(), std::move(loggerDelegate), std::nullopt);
}

ZULNetworkURLSession::ZULNetworkURLSession(Passkey, std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate,
                                           std::optional<std::string> sessionID)
    : sessionID_(sessionID ? std::move(*sessionID)
                           : ns::format("%@-%@", kZULNetworkBackgroundSessionPrefix,
                                        ns::Uuid::random().uuidString())),
      networkDirectoryURL_(temporaryDirectoryURL()),
      loggerDelegate_(std::move(loggerDelegate)) {}

std::optional<net::URLRequest> ZULNetworkURLSession::request() const {
  std::lock_guard lock(mutex_);
  return request_;
}

std::optional<ns::URL> ZULNetworkURLSession::uploadingFileURL() const {
  std::lock_guard lock(mutex_);
  return uploadingFileURL_;
}

std::string ZULNetworkURLSession::description() const {
  return ns::format("<ZULNetworkURLSession: %p>", static_cast<const void*>(this));
}

// ----- Starting -----

std::shared_ptr<net::URLSession> ZULNetworkURLSession::makeSession(net::URLSessionConfiguration configuration,
                                                                   const net::URLRequest& request) {
  copyRequestSettings(request, configuration);
  {
    std::lock_guard lock(mutex_);
    sessionConfig_ = configuration;
  }
  return net::URLSession::create(std::move(configuration), shared_from_this(), dispatch::OperationQueue::main());
}

std::optional<std::string> ZULNetworkURLSession::sessionIDFromAsyncPOSTRequest(const net::URLRequest& request,
                                                                               CompletionHandler handler) {
  const ns::URL uploadFile = networkDirectoryURL_.appendingPathComponent("ZULUpload_temp_" + sessionID_, false);
  {
    std::lock_guard lock(mutex_);
    uploadingFileURL_ = uploadFile;
  }
  maybeRemoveTempFilesAtURL(networkDirectoryURL_, kZULNetworkTemporaryFileExpiry);

  const ns::Data body = request.httpBody() ? *request.httpBody() : ns::Data{};
  std::shared_ptr<net::URLSession> session;
  std::shared_ptr<net::URLSessionTask> task;
  if (backgroundNetworkEnabled_ && ensureTemporaryDirectoryExists()) {
    ns::Error error;
    if (ns::FileManager::defaultManager().writeData(body, uploadFile, {.atomic = true}, &error)) {
      excludeFromBackup(uploadFile);
      session = makeSession(net::URLSessionConfiguration::backgroundSessionConfiguration(sessionID_), request);
      task = session->uploadTask(request, uploadFile);
    } else {
      log(ZULNetworkLogLevelError, ZULNetworkMessageCodeUploadFileNotWritten, "Failed to write request data to file",
          {error.description()});
    }
  }
  if (!task) {
    session = makeSession(net::URLSessionConfiguration::defaultSessionConfiguration(), request);
    net::URLRequest withoutBody = request;
    withoutBody.setHTTPBody(std::nullopt);
    task = session->uploadTask(withoutBody, body);
  }
  return startTask(session, task, request, std::move(handler));
}

std::optional<std::string> ZULNetworkURLSession::sessionIDFromAsyncGETRequest(const net::URLRequest& request,
                                                                              CompletionHandler handler) {
  auto configuration = backgroundNetworkEnabled_
                           ? net::URLSessionConfiguration::backgroundSessionConfiguration(sessionID_)
                           : net::URLSessionConfiguration::defaultSessionConfiguration();
  // There is no URL cache to leave out.
  auto session = makeSession(std::move(configuration), request);
  auto task = session->downloadTask(request);
  return startTask(session, task, request, std::move(handler));
}

std::optional<std::string> ZULNetworkURLSession::startTask(const std::shared_ptr<net::URLSession>& session,
                                                           const std::shared_ptr<net::URLSessionTask>& task,
                                                           const net::URLRequest& request,
                                                           CompletionHandler handler) {
  if (!session || !task) {
    callCompletionHandler(std::move(handler), std::nullopt, std::nullopt,
                          networkError(ZULNetworkErrorCodeInvalidSession, "Cannot create network session"));
    return std::nullopt;
  }
  {
    std::lock_guard lock(mutex_);
    URLSession_ = session;
    request_ = request;
    completionHandler_ = std::move(handler);
  }
  setSessionInFetcherMap(shared_from_this(), sessionID_);
  task->resume();
  return sessionID_;
}

// ----- What the session tells -----

void ZULNetworkURLSession::didReceiveData(net::URLSession&, net::URLSessionDataTask&, const ns::Data& data) {
  std::lock_guard lock(mutex_);
  if (!downloadedData_) downloadedData_.emplace();
  downloadedData_->insert(downloadedData_->end(), data.begin(), data.end());
}

void ZULNetworkURLSession::didFinishDownloadingToURL(net::URLSession&, net::URLSessionDownloadTask&,
                                                     const ns::URL& location) {
  if (location.path().empty()) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeDownloadPathEmpty,
        "Unable to read downloaded data from empty temp path");
    std::lock_guard lock(mutex_);
    downloadedData_.reset();
    return;
  }
  ns::Error error;
  std::optional<ns::Data> contents = ns::FileManager::defaultManager().contentsAtPath(location.path(), &error);
  if (!contents) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeDownloadUnreadable, "Cannot read the content of downloaded data",
        {error.description()});
  }
  std::lock_guard lock(mutex_);
  downloadedData_ = std::move(contents);
}

void ZULNetworkURLSession::didCompleteWithError(net::URLSession& session, net::URLSessionTask& task,
                                                const std::optional<ns::Error>& error) {
  CompletionHandler handler;
  std::optional<ns::Data> data;
  std::optional<ns::URL> uploadFile;
  {
    std::lock_guard lock(mutex_);
    handler = std::move(completionHandler_);
    completionHandler_ = nullptr;
    data = downloadedData_;
    uploadFile = uploadingFileURL_;
  }
  std::optional<net::HTTPURLResponse> response = task.response();
  // An error counts even after a response: a cut-off body is no answer.
  std::optional<ns::Error> outcome = error;
  if (!outcome && !response) {
    outcome = networkError(ZULNetworkErrorCodeEmptyResponse, "Network Error: Empty network response");
  }
  callCompletionHandler(std::move(handler), std::move(response), std::move(data), std::move(outcome));

  maybeRemoveTempFile(uploadFile);
  maybeRemoveTempFilesAtURL(networkDirectoryURL_, kZULNetworkTemporaryFileExpiry);
  session.finishTasksAndInvalidate();
  setSessionInFetcherMap(nullptr, sessionID_);
}

void ZULNetworkURLSession::callCompletionHandler(CompletionHandler handler,
                                                 std::optional<net::HTTPURLResponse> response,
                                                 std::optional<ns::Data> data, std::optional<ns::Error> error) {
  if (error) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeNetworkError, "Encounter network error. Code, error",
        {ns::format("%lld", static_cast<long long>(error->code())), error->description()});
  }
  if (!handler) return;
  dispatch::Queue::main()->async([handler = std::move(handler), response = std::move(response),
                                  data = std::move(data), sessionID = sessionID_, error = std::move(error)] {
    handler(response, data, sessionID, error);
  });
}

void ZULNetworkURLSession::didReceiveChallenge(net::URLSession&, net::URLSessionTask&,
                                               const net::URLAuthenticationChallenge& challenge,
                                               net::AuthChallengeCompletion completion) {
  const auto& space = challenge.protectionSpace;
  if (space.authenticationMethod != net::kURLAuthenticationMethodServerTrust) {
    completion(net::URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
    return;
  }
  if (!space.serverTrust) {
    log(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeEmptyServerTrust, "Received empty server trust for host. Host",
        {requestURLContext()});
    completion(net::URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
    return;
  }
  // A credential can always be made from a trust here.
  log(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeServerTrustChallenge, "Received SSL challenge for host. Host",
      {requestURLContext()});
  dispatch::Queue::global()->async([self = shared_from_this(), trust = space.serverTrust,
                                    completion = std::move(completion)] {
    bool trusted;
    {
      std::lock_guard lock(trustEvaluationMutex());
      trusted = trust->evaluate();
    }
    if (trusted) {
      completion(net::URLSessionAuthChallengeDisposition::UseCredential, net::URLCredential::forTrust(trust));
      return;
    }
    self->log(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeServerTrustCancelled,
              "Cancelling authentication challenge for host. Host", {self->requestURLContext()});
    completion(net::URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, std::nullopt);
  });
}

void ZULNetworkURLSession::willPerformHTTPRedirection(net::URLSession&, net::URLSessionTask&,
                                                      const net::HTTPURLResponse& response,
                                                      const net::URLRequest& newRequest,
                                                      net::RedirectCompletion completion) {
  switch (response.statusCode()) {
    case 300:
    case 301:
    case 302:
    case 307:
      completion(std::nullopt);
      break;
    default:
      completion(newRequest);
  }
}

// ----- Background events -----

void ZULNetworkURLSession::handleEventsForBackgroundURLSessionID(const std::string& sessionID,
                                                                 SystemCompletionHandler handler) {
  std::shared_ptr<ZULNetworkURLSession> fetcher = fetcherWithSessionIdentifier(sessionID);
  if (!fetcher) {
    ZULLoggerLogError("[ZULNetwork]", false, ns::format("I-NET%06ld", long{ZULNetworkMessageCodeBackgroundSessionMissing}),
                      "Failed to retrieve background session with ID %@ after app is relaunched.", sessionID);
    return;
  }
  fetcher->addSystemCompletionHandler(std::move(handler), sessionID);
}

std::shared_ptr<ZULNetworkURLSession> ZULNetworkURLSession::fetcherWithSessionIdentifier(
    const std::string& sessionID) {
  if (auto fetcher = sessionFromFetcherMapForSessionID(sessionID)) return fetcher;
  if (!ns::hasPrefix(sessionID, kZULNetworkBackgroundSessionPrefix)) return nullptr;
  // Rebuilt after a relaunch: it exists to hear its background session's
  // events, so it opens that session (which holds it until invalidated).
  auto fetcher = std::make_shared<ZULNetworkURLSession>(Passkey(), std::weak_ptr<ZULNetworkLoggerDelegate>(),
                                                        sessionID);
  fetcher->backgroundNetworkEnabled_ = true;
  auto session = net::URLSession::create(net::URLSessionConfiguration::backgroundSessionConfiguration(sessionID),
                                         fetcher, dispatch::OperationQueue::main());
  {
    std::lock_guard lock(fetcher->mutex_);
    fetcher->sessionConfig_ = session->configuration();
    fetcher->URLSession_ = session;
    fetcher->eventsSession_ = session;
  }
  setSessionInFetcherMap(fetcher, sessionID);
  return fetcher;
}

void ZULNetworkURLSession::addSystemCompletionHandler(SystemCompletionHandler handler, const std::string& sessionID) {
  if (!handler) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeNilSystemHandler,
        "Cannot store nil system completion handler in network");
    return;
  }
  if (sessionID.empty()) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeSystemHandlerWithoutSession,
        "Cannot store system completion handler with empty network session identifier");
    return;
  }
  auto& handlers = systemCompletionHandlers();
  if (handlers.objectForKey(sessionID)) {
    log(ZULNetworkLogLevelWarning, ZULNetworkMessageCodeSystemHandlerReplaced,
        "Got multiple system handlers for a single session ID");
  }
  handlers.setObject(std::move(handler), sessionID);
}

void ZULNetworkURLSession::didFinishEventsForBackgroundURLSession(net::URLSession& session) {
  const std::string identifier = session.configuration().identifier().value_or("");
  log(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeBackgroundSessionFinished, "Background session finished",
      {identifier});
  auto& handlers = systemCompletionHandlers();
  std::optional<SystemCompletionHandler> handler = handlers.objectForKey(identifier);
  handlers.removeObjectForKey(identifier);
  if (handler && *handler) dispatch::Queue::main()->async(std::move(*handler));

  std::shared_ptr<net::URLSession> eventsSession;
  {
    std::lock_guard lock(mutex_);
    eventsSession = std::move(eventsSession_);
  }
  if (eventsSession) eventsSession->finishTasksAndInvalidate();
}

// ----- The registry -----

void ZULNetworkURLSession::setSessionInFetcherMap(const std::shared_ptr<ZULNetworkURLSession>& fetcher,
                                                  const std::string& sessionID) {
  std::shared_ptr<ZULNetworkURLSession> old;
  {
    FetcherRegistry& registry = FetcherRegistry::shared();
    std::lock_guard lock(registry.mutex);
    std::erase_if(registry.fetchers, [](const auto& entry) { return entry.second.expired(); });
    auto found = registry.fetchers.find(sessionID);
    if (found != registry.fetchers.end()) old = found->second.lock();
    if (fetcher) {
      registry.fetchers[sessionID] = fetcher;
    } else {
      registry.fetchers.erase(sessionID);
    }
  }
  if (!old || old == fetcher) return;
  if (fetcher) {
    old->log(ZULNetworkLogLevelInfo, ZULNetworkMessageCodeSessionDiscarded,
             ns::format("Discarding session: %@", old->description()));
  }
  std::shared_ptr<net::URLSession> oldSession;
  {
    std::lock_guard lock(old->mutex_);
    oldSession = old->URLSession_.lock();
  }
  if (oldSession) oldSession->finishTasksAndInvalidate();
}

std::shared_ptr<ZULNetworkURLSession> ZULNetworkURLSession::sessionFromFetcherMapForSessionID(
    const std::string& sessionID) {
  FetcherRegistry& registry = FetcherRegistry::shared();
  std::lock_guard lock(registry.mutex);
  auto found = registry.fetchers.find(sessionID);
  return found == registry.fetchers.end() ? nullptr : found->second.lock();
}

// ----- Logging -----

void ZULNetworkURLSession::log(ZULNetworkLogLevel level, ZULNetworkMessageCode code, const std::string& message,
                               ZULNetworkLogContexts contexts) {
  auto logger = loggerDelegate_.lock();
  if (!logger) return;
  if (contexts.empty()) {
    logger->ZULNetwork_logWithLevel(level, code, message);
  } else if (contexts.size() == 1) {
    logger->ZULNetwork_logWithLevel(level, code, message, contexts.front());
  } else {
    logger->ZULNetwork_logWithLevel(level, code, message, contexts);
  }
}

ZULNetworkLogContext ZULNetworkURLSession::requestURLContext() const {
  std::lock_guard lock(mutex_);
  if (!request_) return std::nullopt;
  return request_->url().absoluteString();
}
