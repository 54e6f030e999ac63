// URL sessions: HTTP and HTTPS loads on libcurl, run by one transfer thread
// for the whole process (detail/Engine.h), reported on each session's
// delegate queue.
//
// - Tasks are made suspended; resume() starts them. A session stays alive
//   while any of its tasks runs, and holds its delegate until it has been
//   invalidated and told so.
// - Connections are kept alive and reused within a session, never across
//   sessions.
// - Redirects are asked of the delegate; without one (or by default) they
//   are followed as the platform does: http and https only, at most 16
//   ("too many redirects" after that); 303, and 301/302 after a POST, go
//   on as GET without a body; 307 and 308 keep the method and the body.
// - Time-outs run on real time (std::chrono::steady_clock), never on the
//   virtual ns::Clock: a test's virtual clock cannot stall a transfer.
// - The device is offline but for loopback and mapped hosts
//   (OfflineDevice.h). There is no response cache.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Executor.h"
#include "Platform/Network/URLSessionConfiguration.h"
#include "Platform/Network/URLSessionDelegate.h"
#include "Platform/Network/URLSessionTask.h"

namespace net {

namespace detail {
struct SessionState;
}

class URLSession : public std::enable_shared_from_this<URLSession> {
 public:
  // A default session without a delegate, for the whole process; it cannot
  // be invalidated.
  static const std::shared_ptr<URLSession>& shared();
  // `delegateQueue` null: the session makes a serial queue of its own.
  static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration,
                                            std::shared_ptr<URLSessionDelegate> delegate = nullptr,
                                            std::shared_ptr<ns::Executor> delegateQueue = nullptr);
  ~URLSession();
  URLSession(const URLSession&) = delete;
  URLSession& operator=(const URLSession&) = delete;

  const URLSessionConfiguration& configuration() const;
  // Null once the session has been invalidated and has told its delegate.
  std::shared_ptr<URLSessionDelegate> delegate() const;
  const std::shared_ptr<ns::Executor>& delegateQueue() const;

  // Tasks. Making one in an invalidated session is a programming error
  // (ns::Exception, kInternalInconsistencyException).
  std::shared_ptr<URLSessionDataTask> dataTask(const URLRequest& request, DataTaskCompletion completion = nullptr);
  std::shared_ptr<URLSessionDataTask> dataTask(const ns::URL& url, DataTaskCompletion completion = nullptr);
  // The body is `data` or the file's bytes; the request's own body is not sent.
  std::shared_ptr<URLSessionUploadTask> uploadTask(const URLRequest& request, ns::Data data,
                                                   DataTaskCompletion completion = nullptr);
  std::shared_ptr<URLSessionUploadTask> uploadTask(const URLRequest& request, const ns::URL& fromFile,
                                                   DataTaskCompletion completion = nullptr);
  std::shared_ptr<URLSessionDownloadTask> downloadTask(const URLRequest& request,
                                                       DownloadTaskCompletion completion = nullptr);
  std::shared_ptr<URLSessionDownloadTask> downloadTask(const ns::URL& url, DownloadTaskCompletion completion = nullptr);

  // No new tasks; the running ones finish; then the delegate hears
  // didBecomeInvalid and the session's connections close.
  void finishTasksAndInvalidate();
  // As above, cancelling the running tasks.
  void invalidateAndCancel();

  // The application hands in the events of the background session
  // `identifier`: once its tasks have all ended, its delegate hears
  // didFinishEventsForBackgroundURLSession. A session made later with that
  // identifier hears it on creation.
  static void handleEventsForBackgroundURLSession(const std::string& identifier);

  detail::SessionState& state() const { return *state_; }  // internal

 private:
  URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
             std::shared_ptr<ns::Executor> delegateQueue, bool isShared);
  template <class Task>
  std::shared_ptr<Task> makeTask(const URLRequest& request);
  void invalidate(bool cancelling);

  std::shared_ptr<detail::SessionState> state_;
};

}  // namespace net
