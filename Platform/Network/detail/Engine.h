// The thread that runs the process's transfers: a libcurl multi handle
// driven by commands that other threads post. Everything that touches
// libcurl, and every exchange, lives on this thread. The thread is joined
// at exit, before the dispatch layer's workers (transfers still running
// then never finish).
//
// A thread that waits for its own transfer anyway (a synchronous load) may
// drive an engine of its own instead: while it drives, shared() on that
// thread answers that engine, so the transfer's commands, exchanges and
// (on a session delivering at once) its handlers all run on the caller,
// with no other thread woken for it.
#pragma once

#include <functional>
#include <memory>

#include "Platform/Network/detail/Curl.h"

namespace net::detail {

class Exchange;

class Engine {
 public:
  // The engine the calling thread drives, if it drives one; else the
  // engine thread's.
  static Engine& shared();
  // An engine without a thread, for the thread that makes it to drive.
  static std::unique_ptr<Engine> onCallingThread();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  // Runs the transfers of this engine on the calling thread (its maker)
  // until `done` answers true; shared() is this engine meanwhile.
  void driveUntil(const std::function<bool()>& done);
  // Runs `work` with shared() answering this engine on the calling thread
  // (what `work` posts waits for the next drive, or for the end).
  void within(const std::function<void()>& work);

  // Runs `command` on the engine thread, after those posted before it.
  void post(std::function<void()> command);

  // Engine thread only.
  CURL* takeHandle();
  void recycle(CURL* handle);
  void start(std::shared_ptr<Exchange> exchange);
  // Ends `exchange` with `code` now, or (in a paused handshake) as soon as
  // libcurl lets go of it; the listener hears exchangeFinished either way.
  void fail(Exchange& exchange, int64_t code);
  // A handshake asks its delegate (called from inside the handshake).
  void trustQuestionAsked(CURL* handle);
  CURLSH* makeShare(bool withCookies);
  void releaseShare(CURLSH* share);

  struct State;  // internal
 private:
  explicit Engine(bool ownThread);
  State* state_;
};

}  // namespace net::detail
