// What a session tells its delegate, on the session's delegate queue, in
// order. Every operation is optional; the default bodies answer as a session
// without a delegate behaves.
//
// A task made with a completion handler reports its data, its download and
// its end through the handler only; the challenge and redirect questions
// still come here.
#pragma once

#include <functional>
#include <optional>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/ServerTrust.h"
#include "Platform/Network/URLRequest.h"

namespace net {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;

// The request to follow, or nullopt to stop: the redirect response is then
// the task's response and its body the task's data.
using RedirectCompletion = std::function<void(std::optional<URLRequest> request)>;

class URLSessionDelegate {
 public:
  virtual ~URLSessionDelegate() = default;

  // After finishTasksAndInvalidate or invalidateAndCancel, once every task
  // has ended; the session lets go of its delegate afterwards.
  virtual void didBecomeInvalid(URLSession&, const std::optional<ns::Error>& error) { (void)error; }

  // A TLS server's chain, during the handshake (the handshake waits for the
  // answer; other transfers go on meanwhile).
  virtual void didReceiveChallenge(URLSession&, URLSessionTask&, const URLAuthenticationChallenge& challenge,
                                   AuthChallengeCompletion completion) {
    (void)challenge;
    completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
  }

  // A 300, 301, 302, 303, 307 or 308 response with a "Location":
  // `newRequest` is what the platform would send next.
  virtual void willPerformHTTPRedirection(URLSession&, URLSessionTask&, const HTTPURLResponse& response,
                                          const URLRequest& newRequest, RedirectCompletion completion) {
    (void)response;
    completion(newRequest);
  }

  // Body bytes of a data or upload task, decoded, as they arrive.
  virtual void didReceiveData(URLSession&, URLSessionDataTask&, const ns::Data& data) { (void)data; }

  // The body of a download task, in a temporary file that is removed when
  // this returns: move it away to keep it.
  virtual void didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&, const ns::URL& location) {
    (void)location;
  }

  // The task's end: nullopt when the whole response arrived (any status).
  virtual void didCompleteWithError(URLSession&, URLSessionTask&, const std::optional<ns::Error>& error) {
    (void)error;
  }

  // The application handed in this background session's events, and every
  // one of them has been delivered.
  virtual void didFinishEventsForBackgroundURLSession(URLSession&) {}
};

}  // namespace net
