// Helpers for the session tests: run a task to its end and wait for it (real
// time, bounded), and make byte strings.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

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

Outcome load(URLSession& session, const URLRequest& request);
Outcome load(URLSession& session, const ns::URL& url);
Outcome upload(URLSession& session, const URLRequest& request, ns::Data body);

inline ns::Data bytes(std::string_view text) { return ns::Data(text.begin(), text.end()); }
// `size` bytes of a repeating pattern no compressor would mistake for text.
std::string patternBytes(size_t size);
inline URLRequest requestTo(const ns::URL& url, std::string method = "GET") {
  URLRequest request(url);
  request.setHTTPMethod(std::move(method));
  return request;
}

}  // namespace net::testing
