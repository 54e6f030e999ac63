// ZULNetworkURLSession: carries one request of the network client (the
// fetcher). It owns one URL session and its task, keeps the temporary
// upload file of a background upload, answers the server-trust and
// redirect questions, and hands the result back once.
//
// - Sessions: background ones (identifier = the fetcher's session ID) or
//   default ones, with the request's headers, time-out and cache policy
//   copied into the configuration; the fetcher is their delegate, on the
//   main operation queue.
// - Temporary files: "ZULUpload_temp_<session ID>" in Application Support
//   "ZUL/Network/ZULNetworkTemporaryDirectory" (excluded from backups);
//   removed when the task ends, and any older than an hour at every start
//   and end.
// - Redirects with 300, 301, 302 and 307 are not followed (the redirect is
//   the answer); any other is.
// - Server trust is evaluated on a global queue, one evaluation at a time in
//   the process: trusted proceeds, anything else is cancelled.
// - The end: (response, data, session ID, error) on the main queue. A task
//   that ended with an error passes it on even when a response had arrived
//   (a body cut short is never a whole answer); with neither, code 5.
//
// A process-wide registry finds live fetchers by session ID (weakly), and
// background events handed in by the application are matched to them.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/ZULNetworkConstants.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Network/URLSession.h"

inline constexpr const char* kZULNetworkBackgroundSessionPrefix = "com.zul.network.background-upload";
inline constexpr double kZULNetworkTemporaryFileExpiry = 3600;

class ZULNetworkURLSession : public net::URLSessionDelegate,
                             public std::enable_shared_from_this<ZULNetworkURLSession> {
 public:
  using CompletionHandler =
      std::function<void(std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                         std::optional<std::string> sessionID, std::optional<ns::Error> error)>;
  using SystemCompletionHandler = std::function<void()>;

  // Logs go to `loggerDelegate` (held weakly); none are written without one.
  static std::shared_ptr<ZULNetworkURLSession> initWithNetworkLoggerDelegate(
      std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate);

  // Start the request; the session ID, or nothing (the handler then hears
  // code 2).
  std::optional<std::string> sessionIDFromAsyncPOSTRequest(const net::URLRequest& request,
                                                           CompletionHandler handler);
  std::optional<std::string> sessionIDFromAsyncGETRequest(const net::URLRequest& request, CompletionHandler handler);

  // Background events of a session the application hands in: `handler` is
  // called on the main queue once the session's events have all been
  // delivered. Identifiers of other sessions are refused ("I-NET900003").
  static void handleEventsForBackgroundURLSessionID(const std::string& sessionID, SystemCompletionHandler handler);
  // The registered fetcher, or for one of this client's background
  // identifiers a new one (without logger) that listens to that session.
  static std::shared_ptr<ZULNetworkURLSession> fetcherWithSessionIdentifier(const std::string& sessionID);
  // Registers `fetcher` (null removes). A fetcher registered before under
  // the ID has its session finished and invalidated; when it is replaced by
  // another, its logger hears "Discarding session: <fetcher>" (901019).
  static void setSessionInFetcherMap(const std::shared_ptr<ZULNetworkURLSession>& fetcher,
                                     const std::string& sessionID);
  static std::shared_ptr<ZULNetworkURLSession> sessionFromFetcherMapForSessionID(const std::string& sessionID);

  const std::string& sessionID() const { return sessionID_; }
  bool backgroundNetworkEnabled() const { return backgroundNetworkEnabled_; }
  void setBackgroundNetworkEnabled(bool enabled) { backgroundNetworkEnabled_ = enabled; }
  // The request as started (a copy), once started.
  std::optional<net::URLRequest> request() const;
  const ns::URL& networkDirectoryURL() const { return networkDirectoryURL_; }
  std::optional<ns::URL> uploadingFileURL() const;
  // "<ZULNetworkURLSession: 0x...>"
  std::string description() const;

  // net::URLSessionDelegate
  void didReceiveData(net::URLSession& session, net::URLSessionDataTask& task, const ns::Data& data) override;
  void didFinishDownloadingToURL(net::URLSession& session, net::URLSessionDownloadTask& task,
                                 const ns::URL& location) override;
  void didFinishEventsForBackgroundURLSession(net::URLSession& session) override;
  void didCompleteWithError(net::URLSession& session, net::URLSessionTask& task,
                            const std::optional<ns::Error>& error) override;
  void didReceiveChallenge(net::URLSession& session, net::URLSessionTask& task,
                           const net::URLAuthenticationChallenge& challenge,
                           net::AuthChallengeCompletion completion) override;
  void willPerformHTTPRedirection(net::URLSession& session, net::URLSessionTask& task,
                                  const net::HTTPURLResponse& response, const net::URLRequest& newRequest,
                                  net::RedirectCompletion completion) override;

  struct Passkey {
    explicit Passkey() = default;
  };
  ZULNetworkURLSession(Passkey, std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate,
                       std::optional<std::string> sessionID);

 private:
  std::optional<std::string> startTask(const std::shared_ptr<net::URLSession>& session,
                                       const std::shared_ptr<net::URLSessionTask>& task,
                                       const net::URLRequest& request, CompletionHandler handler);
  std::shared_ptr<net::URLSession> makeSession(net::URLSessionConfiguration configuration,
                                               const net::URLRequest& request);
  void callCompletionHandler(CompletionHandler handler, std::optional<net::HTTPURLResponse> response,
                             std::optional<ns::Data> data, std::optional<ns::Error> error);
  void addSystemCompletionHandler(SystemCompletionHandler handler, const std::string& sessionID);

  // Temporary files (ZULNetworkTemporaryFiles.cc).
  bool ensureTemporaryDirectoryExists();
  void maybeRemoveTempFilesAtURL(const ns::URL& folder, double expiringTime);
  void maybeRemoveTempFile(const std::optional<ns::URL>& file);
  void excludeFromBackup(const ns::URL& url);

  void log(ZULNetworkLogLevel level, ZULNetworkMessageCode code, const std::string& message,
           ZULNetworkLogContexts contexts = {});
  ZULNetworkLogContext requestURLContext() const;

  const std::string sessionID_;
  const ns::URL networkDirectoryURL_;
  const std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate_;
  bool backgroundNetworkEnabled_ = false;

  mutable std::mutex mutex_;
  CompletionHandler completionHandler_;
  std::optional<net::URLSessionConfiguration> sessionConfig_;
  std::weak_ptr<net::URLSession> URLSession_;
  std::optional<ns::Data> downloadedData_;
  std::optional<ns::URL> uploadingFileURL_;
  std::optional<net::URLRequest> request_;
  // A rebuilt fetcher's own background session, kept until its events are in.
  std::shared_ptr<net::URLSession> eventsSession_;
};
