// What a URLSession shares with its tasks: its settings, its delegate and
// the queue it is told on, the count of tasks that have not ended (for
// invalidation and background events), and its libcurl share (connections
// and cookies), which lives on the engine thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Network/URLSessionConfiguration.h"
#include "Platform/Network/URLSessionDelegate.h"
#include "Platform/Network/detail/Curl.h"
#include "Platform/Network/detail/SerialDelivery.h"

namespace net {
class URLSession;
class URLSessionTask;
}  // namespace net

namespace net::detail {

struct SessionState {
  SessionState(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
               std::shared_ptr<ns::Executor> delegateQueue, bool isShared);

  const URLSessionConfiguration configuration;
  const std::shared_ptr<ns::Executor> delegateQueue;
  const std::shared_ptr<SerialDelivery> delivery;
  const std::string userAgent;
  const bool isShared;
  const bool madeWithDelegate;

  // Runs `block` on the delegate queue after everything delivered before.
  void deliver(std::function<void()> block) { delivery->deliver(std::move(block)); }
  std::shared_ptr<URLSessionDelegate> delegate() const;

  // A task of `session` has ended and its end been delivered, or it went
  // away without starting.
  void taskEnded(const std::shared_ptr<URLSession>& session);
  // Told when the delegate may hear that the session is invalid or its
  // background events are done.
  void deliverPendingEnds(const std::shared_ptr<URLSession>& session, std::unique_lock<std::mutex>& lock);

  // Engine thread only: made on first use, released with the session or
  // once it is invalid.
  CURLSH* engineShare();
  CURLSH* share = nullptr;

  mutable std::mutex mutex;
  std::shared_ptr<URLSessionDelegate> delegate_;
  bool invalidated = false;
  bool invalidationDelivered = false;
  bool backgroundEventsHandedIn = false;
  size_t unfinishedTasks = 0;
  uint64_t nextTaskIdentifier = 1;
  std::vector<std::weak_ptr<URLSessionTask>> tasks;
};

}  // namespace net::detail
