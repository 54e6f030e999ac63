#include "Platform/Network/detail/Engine.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/Shutdown.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/detail/Exchange.h"

namespace net::detail {

struct Engine::State {
  std::thread thread;
  // The thread that runs this engine's transfers: its own, or the caller
  // that drives it.
  std::thread::id owner;
  bool ownThread = true;

  std::mutex mutex;
  // Set by the thread when a transfer first needs libcurl; until then the
  // thread waits for commands on `posted`, afterwards in libcurl's poll.
  CURLM* multi = nullptr;
  std::condition_variable posted;
  std::vector<std::function<void()>> commands;
  bool stopping = false;

  // Engine thread only.
  std::unordered_map<CURL*, std::shared_ptr<Exchange>> active;
  std::vector<CURL*> trustQuestions;
  std::vector<CURL*> idleHandles;

  void run();
  // One turn: commands, transfers, ends, trust questions, time-outs.
  void turn();
  void openLibcurl();
  bool waitForCommands();
  void runCommands();
  void collectFinished();
  void deliverTrustQuestions();
  void expireDeadlines();
  int waitMilliseconds();
  void finish(CURL* handle, CURLcode result);
  void stop();
};

namespace {
thread_local Engine* driven = nullptr;
}  // namespace

Engine& Engine::shared() {
  if (driven) return *driven;
  // Never destroyed: code still running at exit may post. The dispatch
  // layer's exit stops the thread before its workers.
  static Engine* engine = new Engine(true);
  return *engine;
}

std::unique_ptr<Engine> Engine::onCallingThread() { return std::unique_ptr<Engine>(new Engine(false)); }

Engine::Engine(bool ownThread) : state_(new State) {
  state_->ownThread = ownThread;
  if (!ownThread) {
    state_->owner = std::this_thread::get_id();
    return;
  }
  State* state = state_;
  state_->thread = dispatch::startThread([state] { state->run(); });
  dispatch::detail::addShutdownStep(dispatch::detail::ShutdownStage::Network, [state] { state->stop(); });
}

// Only engines driven by a caller end (the engine thread's lives for the
// process): whatever it was told last runs (a session letting go of its
// connections), then its handles and multi handle are released.
Engine::~Engine() {
  Engine* previous = driven;
  driven = this;
  state_->runCommands();
  for (auto& [handle, exchange] : state_->active) curl_multi_remove_handle(state_->multi, handle);
  state_->active.clear();
  for (CURL* handle : state_->idleHandles) curl_easy_cleanup(handle);
  if (state_->multi) curl_multi_cleanup(state_->multi);
  driven = previous;
  delete state_;
}

void Engine::within(const std::function<void()>& work) {
  Engine* previous = driven;
  driven = this;
  work();
  driven = previous;
}

void Engine::driveUntil(const std::function<bool()>& done) {
  Engine* previous = driven;
  driven = this;
  for (;;) {
    state_->runCommands();
    if (done()) break;
    // Whatever the commands started needs libcurl from here on.
    state_->openLibcurl();
    state_->turn();
    if (done()) break;
    bool more;
    {
      std::lock_guard lock(state_->mutex);
      more = !state_->commands.empty();
    }
    if (!more) curl_multi_poll(state_->multi, nullptr, 0, state_->waitMilliseconds(), nullptr);
  }
  driven = previous;
}

void Engine::post(std::function<void()> command) {
  CURLM* multi = nullptr;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return;
    state_->commands.push_back(std::move(command));
    multi = state_->multi;
  }
  // The driving caller looks for commands at every turn; only another
  // thread must wake it.
  if (!state_->ownThread) {
    if (multi && std::this_thread::get_id() != state_->owner) curl_multi_wakeup(multi);
    return;
  }
  if (multi) {
    curl_multi_wakeup(multi);
  } else {
    state_->posted.notify_one();
  }
}

CURL* Engine::takeHandle() {
  state_->openLibcurl();
  if (state_->idleHandles.empty()) return curl_easy_init();
  CURL* handle = state_->idleHandles.back();
  state_->idleHandles.pop_back();
  return handle;
}

void Engine::recycle(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_SHARE, nullptr);
  curl_easy_reset(handle);
  if (state_->idleHandles.size() < 16) {
    state_->idleHandles.push_back(handle);
  } else {
    curl_easy_cleanup(handle);
  }
}

void Engine::start(std::shared_ptr<Exchange> exchange) {
  CURL* handle = exchange->handle();
  state_->active.emplace(handle, std::move(exchange));
  curl_multi_add_handle(state_->multi, handle);
}

void Engine::fail(Exchange& exchange, int64_t code) {
  exchange.fail(code);
  if (exchange.canLeaveNow()) state_->finish(exchange.handle(), CURLE_ABORTED_BY_CALLBACK);
}

void Engine::trustQuestionAsked(CURL* handle) { state_->trustQuestions.push_back(handle); }

CURLSH* Engine::makeShare(bool withCookies) {
  state_->openLibcurl();
  CURLSH* share = curl_share_init();
  // Connections belong to the session that opened them: one session's
  // trust decisions never carry over to another.
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  if (withCookies) curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  return share;
}

void Engine::releaseShare(CURLSH* share) {
  if (share) curl_share_cleanup(share);
}

void Engine::State::run() {
  // Writing to a socket the peer closed gives EPIPE here, never a signal.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  pthread_setname_np(pthread_self(), "quillbox-net");
  for (;;) {
    if (!waitForCommands()) return;
    runCommands();
    if (!multi) continue;
    turn();
    curl_multi_poll(multi, nullptr, 0, waitMilliseconds(), nullptr);
  }
}

void Engine::State::turn() {
  int running = 0;
  curl_multi_perform(multi, &running);
  collectFinished();
  deliverTrustQuestions();
  expireDeadlines();
}

// libcurl and the libraries it pulls in are mapped when a transfer first
// needs them, not at program start: a launch whose requests all fail as
// offline (OfflineDevice.h) never maps them, and one that connects opens
// them on this thread, beside the launch.
void Engine::State::openLibcurl() {
  if (multi) return;
  std::string why;
  if (!openCurl(&why)) {
    // As the dynamic linker would refuse to start a program without it.
    std::fprintf(stderr, "quillbox: the network library cannot be loaded: %s\n", why.c_str());
    std::abort();
  }
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_ALL); });
  std::lock_guard lock(mutex);
  multi = curl_multi_init();
  // Commands posted before this woke the thread through `posted`: the
  // first poll returns at once, so the loop looks for them again.
  curl_multi_wakeup(multi);
}

// False when the engine stops. Before libcurl is open, waits here for a
// command; after, libcurl's poll waits instead.
bool Engine::State::waitForCommands() {
  std::unique_lock lock(mutex);
  if (!multi) posted.wait(lock, [this] { return stopping || !commands.empty(); });
  return !stopping;
}

void Engine::State::runCommands() {
  std::vector<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex);
    batch.swap(commands);
  }
  for (auto& command : batch) command();
}

void Engine::State::collectFinished() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE) finish(message->easy_handle, message->data.result);
  }
}

void Engine::State::finish(CURL* handle, CURLcode result) {
  auto it = active.find(handle);
  if (it == active.end()) return;
  std::shared_ptr<Exchange> exchange = std::move(it->second);
  active.erase(it);
  curl_multi_remove_handle(multi, handle);
  Engine::shared().recycle(exchange->releaseHandle());
  exchange->finish(result);  // may start the next exchange (a redirect)
}

void Engine::State::deliverTrustQuestions() {
  std::vector<CURL*> asked;
  asked.swap(trustQuestions);
  for (CURL* handle : asked) {
    auto it = active.find(handle);
    if (it != active.end()) it->second->deliverTrustQuestion();
  }
}

void Engine::State::expireDeadlines() {
  Clock::time_point now = Clock::now();
  std::vector<std::shared_ptr<Exchange>> late;
  for (auto& [handle, exchange] : active) {
    if (exchange->deadline() <= now) late.push_back(exchange);
  }
  for (auto& exchange : late) Engine::shared().fail(*exchange, kURLErrorTimedOut);
}

int Engine::State::waitMilliseconds() {
  long curlWait = -1;
  curl_multi_timeout(multi, &curlWait);
  long wait = curlWait < 0 ? 60000 : curlWait;
  Clock::time_point now = Clock::now();
  for (auto& [handle, exchange] : active) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(exchange->deadline() - now).count();
    wait = std::min<long>(wait, std::max<long>(left, 0));
  }
  return static_cast<int>(wait);
}

void Engine::State::stop() {
  {
    std::lock_guard lock(mutex);
    stopping = true;
    if (multi) curl_multi_wakeup(multi);
  }
  posted.notify_one();
  if (thread.joinable()) thread.join();
}

}  // namespace net::detail
