// The network client's errors, log levels and message codes.
//
// Errors: domain "com.zul.network.ErrorDomain", each with a "Context" text
// in its user information:
//   1  the URL's absolute string is empty        "Failed to create network request"
//   2  the URL session or its task not made       "Cannot create network session"
//   3  the POST payload could not be compressed   "Failed to create network request"
//   4  the request could not be made              "Failed to create network request"
//   5  a task ended with neither response nor error
//                                                  "Network Error: Empty network response"
// Lines are printed with the code "I-NET" followed by six digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kZULNetworkErrorDomain = "com.zul.network.ErrorDomain";
inline constexpr const char* kZULNetworkErrorContext = "Context";

enum ZULNetworkErrorCode : int64_t {
  ZULNetworkErrorCodeInvalidURL = 1,
  ZULNetworkErrorCodeInvalidSession = 2,
  ZULNetworkErrorCodeCompressionFailed = 3,
  ZULNetworkErrorCodeInvalidRequest = 4,
  ZULNetworkErrorCodeEmptyResponse = 5,
};

enum ZULNetworkLogLevel : long {
  ZULNetworkLogLevelError = 3,
  ZULNetworkLogLevelWarning = 4,
  ZULNetworkLogLevelInfo = 6,
  ZULNetworkLogLevelDebug = 7,
};

enum ZULNetworkMessageCode : long {
  // The client.
  ZULNetworkMessageCodeUploading = 900000,               // debug "Uploading data. Host"
  ZULNetworkMessageCodeDownloading = 900001,             // debug "Downloading data. Host"
  ZULNetworkMessageCodeRequestFailed = 900002,           // warning; also the refused logger delegate
  ZULNetworkMessageCodeBackgroundSessionMissing = 900003,
  // The fetcher.
  ZULNetworkMessageCodeUploadFileNotWritten = 901000,
  ZULNetworkMessageCodeDownloadPathEmpty = 901001,
  ZULNetworkMessageCodeDownloadUnreadable = 901002,
  ZULNetworkMessageCodeBackgroundSessionFinished = 901003,
  ZULNetworkMessageCodeEmptyServerTrust = 901004,
  ZULNetworkMessageCodeServerIdentityUnverified = 901005,
  ZULNetworkMessageCodeServerTrustChallenge = 901006,
  ZULNetworkMessageCodeServerTrustCancelled = 901007,
  ZULNetworkMessageCodeServerTrustEvaluationFailed = 901008,
  ZULNetworkMessageCodeNilSystemHandler = 901009,
  ZULNetworkMessageCodeSystemHandlerWithoutSession = 901010,
  ZULNetworkMessageCodeSystemHandlerReplaced = 901011,
  ZULNetworkMessageCodeTemporaryFolderUnlisted = 901012,
  ZULNetworkMessageCodeTemporaryFileNotRemoved = 901013,
  ZULNetworkMessageCodeTemporaryFolderUnreachable = 901014,
  ZULNetworkMessageCodeTemporaryFolderNotCreated = 901015,
  ZULNetworkMessageCodeNotExcludedFromBackup = 901016,
  ZULNetworkMessageCodeNetworkError = 901017,
  ZULNetworkMessageCodeSessionDiscarded = 901019,
};

// A context of a log call as text: a URL's absolute string, an error's or
// a number's description; nothing for a nil context ("(nil)" when printed).
using ZULNetworkLogContext = std::optional<std::string>;
using ZULNetworkLogContexts = std::vector<ZULNetworkLogContext>;

// Receives every log call of a network client that has it as its delegate.
// A message may be nil.
class ZULNetworkLoggerDelegate {
 public:
  virtual ~ZULNetworkLoggerDelegate() = default;
  virtual void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                       const std::optional<std::string>& message,
                                       const ZULNetworkLogContexts& contexts) = 0;
  virtual void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                       const std::optional<std::string>& message,
                                       const ZULNetworkLogContext& context) = 0;
  virtual void ZULNetwork_logWithLevel(ZULNetworkLogLevel level, ZULNetworkMessageCode messageCode,
                                       const std::optional<std::string>& message) = 0;
};

// Told whenever the watched host's reachability status changes.
class ZULNetworkReachabilityDelegate {
 public:
  virtual ~ZULNetworkReachabilityDelegate() = default;
  virtual void reachabilityDidChange() = 0;
};
