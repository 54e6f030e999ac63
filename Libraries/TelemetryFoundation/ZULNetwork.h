// ZULNetwork: the measurement engine's HTTP client. It sends gzip-compressed
// form POSTs and plain GETs, in the foreground or through background
// sessions, watches the reachability of one host, and reports every step
// through its logger delegate or, without one, through the utilities logger.
//
// - POST: the body is the payload gzipped (an empty payload goes out as an
//   empty body); the caller's headers are sent, except that "Content-Length"
//   (the body's length), "Content-Type" ("application/x-www-form-urlencoded")
//   and "Content-Encoding" ("gzip") are always set. GET: the caller's
//   headers, no body. Both reload, ignoring local cache data, with the
//   client's time-out (60 s when 0).
// - Each request is carried by a ZULNetworkURLSession; its outcome reaches
//   the caller's handler as (response, data, error) on the given queue (the
//   main queue when none), unless the client is gone by then. A failure
//   before the start reaches it with the codes of ZULNetworkConstants.h.
// - Logging: with a logger delegate every call goes to it unchanged. Without
//   one, levels 3, 4 and 6 pass (7 too in debug mode) as the line
//   "<Zorori/Utilities/Network/LEVEL> message[: context, ...]", printed to
//   standard error and written to the utilities logger under "[ZULNetwork]"
//   with the code "I-NET<6 digits>".
//
// Safe to use from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"
#include "Libraries/TelemetryFoundation/ZULNetworkConstants.h"
#include "Libraries/TelemetryFoundation/ZULNetworkURLSession.h"
#include "Libraries/TelemetryFoundation/ZULReachabilityChecker.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Network/HTTPHeaderFields.h"

// The host the default client watches: the measurement service's.
inline constexpr const char* kZULNetworkDefaultReachabilityHost = "app-measurement.zorori.example";

class ZULNetwork : public ZULNetworkLoggerDelegate,
                   public ZULReachabilityDelegate,
                   public std::enable_shared_from_this<ZULNetwork> {
 public:
  using CompletionHandler = std::function<void(std::optional<net::HTTPURLResponse> response,
                                               std::optional<ns::Data> data, std::optional<ns::Error> error)>;

  // A client watching kZULNetworkDefaultReachabilityHost.
  static std::shared_ptr<ZULNetwork> init();
  // Null when the reachability of `host` cannot be watched.
  static std::shared_ptr<ZULNetwork> initWithReachabilityHost(const std::string& host);
  // Stops watching.
  ~ZULNetwork() override;

  // The session ID of the request, or nothing when it could not start.
  std::optional<std::string> postURL(const ns::URL& url, const ns::Data& payload,
                                     std::shared_ptr<dispatch::Queue> queue, bool usingBackgroundSession,
                                     CompletionHandler handler);
  std::optional<std::string> postURL(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                     const ns::Data& payload, std::shared_ptr<dispatch::Queue> queue,
                                     bool usingBackgroundSession, CompletionHandler handler);
  std::optional<std::string> getURL(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                    std::shared_ptr<dispatch::Queue> queue, bool usingBackgroundSession,
                                    CompletionHandler handler);

  static void handleEventsForBackgroundURLSessionID(const std::string& sessionID,
                                                    ZULNetworkURLSession::SystemCompletionHandler handler);

  bool hasUploadInProgress() const { return requests_.count() != 0; }
  // The last reachability status was Wi-Fi (2) or cellular (3).
  bool isNetworkConnected() const { return networkConnected_; }

  bool isDebugModeEnabled() const { return isDebugModeEnabled_; }
  void setIsDebugModeEnabled(bool enabled) { isDebugModeEnabled_ = enabled; }
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

  // Told on every status change; an empty pointer stops that.
  void setReachabilityDelegate(std::weak_ptr<ZULNetworkReachabilityDelegate> delegate);
  // A null delegate is refused ("I-NET900002") and the old one kept.
  void setLoggerDelegate(std::weak_ptr<ZULNetworkLoggerDelegate> delegate);

  ZULReachabilityChecker& reachability() { return *reachability_; }

  // ZULReachabilityDelegate
  void reachabilityStatusChanged(ZULReachabilityChecker& reachability, ZULReachabilityStatus status) override;

  // ZULNetworkLoggerDelegate
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContexts& contexts) override;
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message,
                               const ZULNetworkLogContext& context) override;
  void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                               const std::optional<std::string>& message) override;

  struct Passkey {
    explicit Passkey() = default;
  };
  explicit ZULNetwork(Passkey) {}

 private:
  std::optional<std::string> startRequest(const ns::URL& url, const net::HTTPHeaderFields& headers,
                                          const std::optional<ns::Data>& payload,
                                          std::shared_ptr<dispatch::Queue> queue, bool usingBackgroundSession,
                                          CompletionHandler handler);
  void handleErrorWithCode(ZULNetworkErrorCode code, std::shared_ptr<dispatch::Queue> queue,
                           CompletionHandler handler);
  std::shared_ptr<ZULNetworkLoggerDelegate> loggerDelegate() const;

  std::unique_ptr<ZULReachabilityChecker> reachability_;
  ZULMutableDictionary<std::string, std::shared_ptr<ZULNetworkURLSession>> requests_;
  std::atomic<bool> networkConnected_ = false;
  std::atomic<bool> isDebugModeEnabled_ = false;
  std::atomic<double> timeoutInterval_ = 60.0;

  mutable std::mutex delegatesMutex_;
  std::weak_ptr<ZULNetworkReachabilityDelegate> reachabilityDelegate_;
  std::weak_ptr<ZULNetworkLoggerDelegate> loggerDelegate_;
};
