#include "Platform/Network/tests/SessionTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace net::testing {

DataTaskCompletion Waiter::dataHandler() {
  return [state = state_](std::optional<ns::Data> data, std::optional<HTTPURLResponse> response,
                          std::optional<ns::Error> error) {
    std::lock_guard lock(state->mutex);
    state->outcome.data = std::move(data);
    state->outcome.response = std::move(response);
    state->outcome.error = std::move(error);
    state->outcome.finished = true;
    state->done.notify_all();
  };
}

DownloadTaskCompletion Waiter::downloadHandler() {
  return [state = state_](std::optional<ns::URL> location, std::optional<HTTPURLResponse> response,
                          std::optional<ns::Error> error) {
    std::lock_guard lock(state->mutex);
    state->outcome.location = location;
    if (location) {
      std::ifstream in(location->path(), std::ios::binary);
      std::ostringstream contents;
      contents << in.rdbuf();
      state->outcome.downloaded = contents.str();
    }
    state->outcome.response = std::move(response);
    state->outcome.error = std::move(error);
    state->outcome.finished = true;
    state->done.notify_all();
  };
}

Outcome Waiter::wait(double seconds) {
  std::unique_lock lock(state_->mutex);
  bool finished = state_->done.wait_for(lock, std::chrono::duration<double>(seconds),
                                        [&] { return state_->outcome.finished; });
  EXPECT_TRUE(finished) << "the task did not end within " << seconds << " s";
  return state_->outcome;
}

Outcome load(URLSession& session, const URLRequest& request) {
  Waiter waiter;
  session.dataTask(request, waiter.dataHandler())->resume();
  return waiter.wait();
}

Outcome load(URLSession& session, const ns::URL& url) { return load(session, URLRequest(url)); }

Outcome upload(URLSession& session, const URLRequest& request, ns::Data body) {
  Waiter waiter;
  session.uploadTask(request, std::move(body), waiter.dataHandler())->resume();
  return waiter.wait();
}

std::string patternBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state & 0xff);
  }
  return bytes;
}

}  // namespace net::testing
