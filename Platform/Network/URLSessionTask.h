// One load of a session: made suspended, started by resume(), ended once,
// by its completion handler or its delegate's didCompleteWithError.
//
// A transfer that is cut short (a body shorter than its "Content-Length",
// a connection closed in the middle of a chunk) ends with the error
// "connection lost" and keeps the response; it never passes for whole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLRequest.h"

namespace net {

class URLSession;
namespace detail {
class TaskRun;
}

// (data, response, error): data is absent when error is set.
using DataTaskCompletion = std::function<void(std::optional<ns::Data> data, std::optional<HTTPURLResponse> response,
                                              std::optional<ns::Error> error)>;
// (location, response, error): the body's temporary file, removed when the
// handler returns; absent when error is set.
using DownloadTaskCompletion = std::function<void(
    std::optional<ns::URL> location, std::optional<HTTPURLResponse> response, std::optional<ns::Error> error)>;

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
 public:
  enum class State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

  virtual ~URLSessionTask();
  URLSessionTask(const URLSessionTask&) = delete;
  URLSessionTask& operator=(const URLSessionTask&) = delete;

  // Unique within its session, from 1.
  uint64_t taskIdentifier() const { return identifier_; }
  const URLRequest& originalRequest() const { return original_; }
  // The request being sent: the last one a redirect led to.
  URLRequest currentRequest() const;
  // The latest response head received.
  std::optional<HTTPURLResponse> response() const;
  std::optional<ns::Error> error() const;
  State state() const;

  // Starts a suspended task; does nothing after that.
  void resume();
  // Ends the task with "cancelled" unless it has already ended.
  void cancel();

 protected:
  URLSessionTask(std::shared_ptr<URLSession> session, uint64_t identifier, URLRequest request);

 private:
  friend class URLSession;
  friend class detail::TaskRun;

  const uint64_t identifier_;
  const URLRequest original_;
  std::shared_ptr<detail::TaskRun> run_;

  mutable std::mutex mutex_;
  State state_ = State::Suspended;
  URLRequest current_;
  std::optional<HTTPURLResponse> response_;
  std::optional<ns::Error> error_;
};

class URLSessionDataTask : public URLSessionTask {
 protected:
  using URLSessionTask::URLSessionTask;
  friend class URLSession;
};

class URLSessionUploadTask : public URLSessionDataTask {
 protected:
  using URLSessionDataTask::URLSessionDataTask;
  friend class URLSession;
};

class URLSessionDownloadTask : public URLSessionTask {
 protected:
  using URLSessionTask::URLSessionTask;
  friend class URLSession;
};

}  // namespace net
