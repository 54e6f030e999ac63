// The one thread that runs every transfer of the process: a libcurl multi
// handle driven by commands that other threads post. Everything that
// touches libcurl, and every exchange, lives on this thread. The thread is
// joined at exit, before the dispatch layer's workers (transfers still
// running then never finish).
#pragma once

#include <functional>
#include <memory>

#include "Platform/Network/detail/Curl.h"

namespace net::detail {

class Exchange;

class Engine {
 public:
  static Engine& shared();

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
  Engine();
  State* state_;
};

}  // namespace net::detail
