#include "Platform/Network/detail/SessionState.h"

#include <unistd.h>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/Engine.h"

namespace net::detail {
namespace {

// "<name>/<version>" of the main bundle: its name (else its executable's,
// else the program's) and its build version when it has one.
std::string mainBundleUserAgent() {
  std::shared_ptr<ns::Bundle> bundle = ns::Bundle::mainBundle();
  auto text = [&](const char* key) -> std::string {
    const ns::Value* value = bundle ? bundle->objectForInfoDictionaryKey(key) : nullptr;
    return value && value->asString() ? *value->asString() : std::string();
  };
  std::string name = text(ns::Bundle::kNameKey);
  if (name.empty()) name = text(ns::Bundle::kExecutableKey);
  if (name.empty()) name = program_invocation_short_name;
  std::string agent = ns::percentEncode(name, ns::URLCharacterSet::Path).value_or("Quillbox");
  if (std::string version = text(ns::Bundle::kVersionKey); !version.empty()) agent += "/" + version;
  return agent;
}

}  // namespace

SessionState::SessionState(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
                           std::shared_ptr<ns::Executor> queue, bool shared)
    : configuration(std::move(configuration)),
      delegateQueue(queue ? std::move(queue) : dispatch::Queue::serial("net.URLSession.delegate")),
      delivery(std::make_shared<SerialDelivery>(delegateQueue)),
      userAgent(mainBundleUserAgent()),
      isShared(shared),
      madeWithDelegate(delegate != nullptr),
      delegate_(std::move(delegate)) {}

std::shared_ptr<URLSessionDelegate> SessionState::delegate() const {
  std::lock_guard lock(mutex);
  return delegate_;
}

void SessionState::taskEnded(const std::shared_ptr<URLSession>& session) {
  std::unique_lock lock(mutex);
  --unfinishedTasks;
  deliverPendingEnds(session, lock);
}

void SessionState::deliverPendingEnds(const std::shared_ptr<URLSession>& session,
                                      std::unique_lock<std::mutex>& lock) {
  if (unfinishedTasks != 0) return;
  bool eventsDone = backgroundEventsHandedIn;
  backgroundEventsHandedIn = false;
  bool nowInvalid = invalidated && !invalidationDelivered;
  invalidationDelivered = invalidationDelivered || nowInvalid;
  lock.unlock();
  if (eventsDone) {
    deliver([session] {
      if (auto delegate = session->delegate()) delegate->didFinishEventsForBackgroundURLSession(*session);
    });
  }
  if (nowInvalid) {
    deliver([session] {
      SessionState& state = session->state();
      if (auto delegate = state.delegate()) delegate->didBecomeInvalid(*session, std::nullopt);
      std::lock_guard lock(state.mutex);
      state.delegate_.reset();
    });
    Engine::shared().post([session] {
      SessionState& state = session->state();
      Engine::shared().releaseShare(state.share);  // closes the session's connections
      state.share = nullptr;
    });
  }
  lock.lock();
}

CURLSH* SessionState::engineShare() {
  if (!share) share = Engine::shared().makeShare(configuration.keepsCookies());
  return share;
}

}  // namespace net::detail
