#include "Platform/Network/URLSession.h"

#include <map>
#include <set>

#include "Platform/Foundation/Error.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/detail/SessionState.h"
#include "Platform/Network/detail/TaskRun.h"

namespace net {
namespace {

// Live background sessions by identifier, and identifiers whose events were
// handed in before any session with them existed.
struct BackgroundRegistry {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<URLSession>> sessions;
  std::set<std::string> handedIn;

  static BackgroundRegistry& shared() {
    static BackgroundRegistry* registry = new BackgroundRegistry;
    return *registry;
  }
};

void tellBackgroundEventsHandedIn(const std::shared_ptr<URLSession>& session) {
  detail::SessionState& state = session->state();
  std::unique_lock lock(state.mutex);
  state.backgroundEventsHandedIn = true;
  state.deliverPendingEnds(session, lock);
}

}  // namespace

const std::shared_ptr<URLSession>& URLSession::shared() {
  static auto* session = new std::shared_ptr<URLSession>(
      new URLSession(URLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr, true));
  return *session;
}

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               std::shared_ptr<ns::Executor> delegateQueue) {
  std::optional<std::string> identifier = configuration.identifier();
  std::shared_ptr<URLSession> session(
      new URLSession(std::move(configuration), std::move(delegate), std::move(delegateQueue), false));
  if (identifier) {
    BackgroundRegistry& registry = BackgroundRegistry::shared();
    bool handedIn;
    {
      std::lock_guard lock(registry.mutex);
      registry.sessions[*identifier] = session;
      handedIn = registry.handedIn.erase(*identifier) > 0;
    }
    if (handedIn) tellBackgroundEventsHandedIn(session);
  }
  return session;
}

URLSession::URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
                       std::shared_ptr<ns::Executor> delegateQueue, bool isShared)
    : state_(std::make_shared<detail::SessionState>(std::move(configuration), std::move(delegate),
                                                    std::move(delegateQueue), isShared)) {}

URLSession::~URLSession() {
  detail::Engine::shared().post([state = state_] {
    detail::Engine::shared().releaseShare(state->share);
    state->share = nullptr;
  });
}

const URLSessionConfiguration& URLSession::configuration() const { return state_->configuration; }
std::shared_ptr<URLSessionDelegate> URLSession::delegate() const { return state_->delegate(); }
const std::shared_ptr<ns::Executor>& URLSession::delegateQueue() const { return state_->delegateQueue; }

template <class Task>
std::shared_ptr<Task> URLSession::makeTask(const URLRequest& request) {
  std::lock_guard lock(state_->mutex);
  if (state_->invalidated) {
    throw ns::Exception(ns::kInternalInconsistencyException, "Task created in a session that has been invalidated");
  }
  URLRequest effective = request;
  std::shared_ptr<Task> task(new Task(shared_from_this(), state_->nextTaskIdentifier++, std::move(effective)));
  ++state_->unfinishedTasks;
  std::erase_if(state_->tasks, [](const std::weak_ptr<URLSessionTask>& t) { return t.expired(); });
  state_->tasks.push_back(task);
  return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(const URLRequest& request, DataTaskCompletion completion) {
  auto task = makeTask<URLSessionDataTask>(request);
  task->run_ = std::make_shared<detail::TaskRun>(*task, shared_from_this(), detail::TaskRun::Kind::Data,
                                                 detail::RequestBody{}, std::move(completion), nullptr);
  return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(const ns::URL& url, DataTaskCompletion completion) {
  return dataTask(URLRequest(url, configuration().requestCachePolicy()), std::move(completion));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTask(const URLRequest& request, ns::Data data,
                                                             DataTaskCompletion completion) {
  auto task = makeTask<URLSessionUploadTask>(request);
  detail::RequestBody body{std::make_shared<const ns::Data>(std::move(data)), {}};
  task->run_ = std::make_shared<detail::TaskRun>(*task, shared_from_this(), detail::TaskRun::Kind::Data,
                                                 std::move(body), std::move(completion), nullptr);
  return task;
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTask(const URLRequest& request, const ns::URL& fromFile,
                                                             DataTaskCompletion completion) {
  auto task = makeTask<URLSessionUploadTask>(request);
  // An empty path still counts as a body, so that a missing file fails.
  detail::RequestBody body{nullptr, fromFile.path().empty() ? std::string("/") : fromFile.path()};
  task->run_ = std::make_shared<detail::TaskRun>(*task, shared_from_this(), detail::TaskRun::Kind::Data,
                                                 std::move(body), std::move(completion), nullptr);
  return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTask(const URLRequest& request,
                                                                 DownloadTaskCompletion completion) {
  auto task = makeTask<URLSessionDownloadTask>(request);
  task->run_ = std::make_shared<detail::TaskRun>(*task, shared_from_this(), detail::TaskRun::Kind::Download,
                                                 detail::RequestBody{}, nullptr, std::move(completion));
  return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTask(const ns::URL& url,
                                                                 DownloadTaskCompletion completion) {
  return downloadTask(URLRequest(url, configuration().requestCachePolicy()), std::move(completion));
}

void URLSession::finishTasksAndInvalidate() { invalidate(false); }
void URLSession::invalidateAndCancel() { invalidate(true); }

void URLSession::invalidate(bool cancelling) {
  if (state_->isShared) return;
  std::vector<std::shared_ptr<URLSessionTask>> running;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->invalidated && !cancelling) return;
    state_->invalidated = true;
    if (cancelling) {
      for (auto& weak : state_->tasks) {
        if (auto task = weak.lock()) running.push_back(std::move(task));
      }
    }
  }
  for (auto& task : running) task->cancel();
  std::unique_lock lock(state_->mutex);
  state_->deliverPendingEnds(shared_from_this(), lock);
}

void URLSession::handleEventsForBackgroundURLSession(const std::string& identifier) {
  BackgroundRegistry& registry = BackgroundRegistry::shared();
  std::shared_ptr<URLSession> session;
  {
    std::lock_guard lock(registry.mutex);
    auto it = registry.sessions.find(identifier);
    if (it != registry.sessions.end()) session = it->second.lock();
    if (!session) {
      registry.handedIn.insert(identifier);
      return;
    }
  }
  tellBackgroundEventsHandedIn(session);
}

}  // namespace net
