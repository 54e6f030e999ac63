// Helpers for the session tests: run a task to its end and wait for it (real
// time, bounded), and make byte strings.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Network/URLSession.h"

namespace net::testing {

struct Outcome {
  std::optional<ns::Data> data;
  std::optional<HTTPURLResponse> response;
  std::optional<ns::Error> error;
  std::optional<ns::URL> location;        // a download's file, during the handler
  std::optional<std::string> downloaded;  // its contents, read in the handler
  bool finished = false;

  std::string text() const { return data ? std::string(data->begin(), data->end()) : std::string(); }
  int64_t errorCode() const { return error ? error->code() : 0; }
  int status() const { return response ? response->statusCode() : 0; }
};

// Waits for a completion handler; the handler may run on any thread, even
// after a wait that gave up.
class Waiter {
 public:
  DataTaskCompletion dataHandler();
  DownloadTaskCompletion downloadHandler();
  // The outcome once the handler ran; fails the test after `seconds`.
  Outcome wait(double seconds = 20);

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    Outcome outcome;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A delegate that writes down what it is told ("data", "download",
// "complete 0", "complete -999", "invalid", "events finished", "redirect
// 302", "challenge") with the queue it was told on, and answers as set.
class RecordingDelegate : public URLSessionDelegate {
 public:
  struct Event {
    std::string what;
    std::string queue;  // dispatch::Queue::currentLabel() when told
  };

  // The answer to a redirect; by default the proposed request.
  std::function<std::optional<URLRequest>(const HTTPURLResponse&, const URLRequest&)> onRedirect;
  // The answer to a trust challenge; by default, default handling.
  URLSessionAuthChallengeDisposition trustDisposition = URLSessionAuthChallengeDisposition::PerformDefaultHandling;
  bool answersTrust = true;  // false: keep the completion and never call it

  std::vector<Event> events() const;
  std::vector<std::string> whats() const;
  bool waitFor(const std::string& what, double seconds = 20) const;
  ns::Data data() const;
  std::optional<URLAuthenticationChallenge> challenge() const;
  std::optional<URLRequest> proposedRedirect() const;
  // What didFinishDownloadingToURL found at the location, and where.
  std::optional<std::string> downloaded() const;
  std::optional<ns::URL> downloadLocation() const;
  // Whether the download file still existed when the task completed.
  bool fileLeftAtCompletion() const;

  void didBecomeInvalid(URLSession&, const std::optional<ns::Error>&) override;
  void didReceiveChallenge(URLSession&, URLSessionTask&, const URLAuthenticationChallenge& challenge,
                           AuthChallengeCompletion completion) override;
  void willPerformHTTPRedirection(URLSession&, URLSessionTask&, const HTTPURLResponse& response,
                                  const URLRequest& newRequest, RedirectCompletion completion) override;
  void didReceiveData(URLSession&, URLSessionDataTask&, const ns::Data& data) override;
  void didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&, const ns::URL& location) override;
  void didCompleteWithError(URLSession&, URLSessionTask&, const std::optional<ns::Error>& error) override;
  void didFinishEventsForBackgroundURLSession(URLSession&) override;

  std::vector<AuthChallengeCompletion> heldTrustAnswers;  // when answersTrust is false

 private:
  void record(std::string what);
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Event> events_;
  ns::Data data_;
  std::optional<URLAuthenticationChallenge> challenge_;
  std::optional<URLRequest> proposed_;
  std::optional<std::string> downloaded_;
  std::optional<ns::URL> location_;
  bool fileLeft_ = false;
};

Outcome load(URLSession& session, const URLRequest& request);
Outcome load(URLSession& session, const ns::URL& url);
Outcome upload(URLSession& session, const URLRequest& request, ns::Data body);

// A file's bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
inline ns::Data bytes(std::string_view text) { return ns::Data(text.begin(), text.end()); }
// `size` bytes of a repeating pattern no compressor would mistake for text.
std::string patternBytes(size_t size);
inline URLRequest requestTo(const ns::URL& url, std::string method = "GET") {
  URLRequest request(url);
  request.setHTTPMethod(std::move(method));
  return request;
}

}  // namespace net::testing
