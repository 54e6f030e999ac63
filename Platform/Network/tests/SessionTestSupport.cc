#include "Platform/Network/tests/SessionTestSupport.h"

#include <gtest/gtest.h>

#include "Platform/Dispatch/Queue.h"

#include <chrono>
#include <filesystem>
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
    if (location) state->outcome.downloaded = readFile(location->path());
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

void RecordingDelegate::record(std::string what) {
  std::lock_guard lock(mutex_);
  events_.push_back({std::move(what), dispatch::Queue::currentLabel()});
  changed_.notify_all();
}

std::vector<RecordingDelegate::Event> RecordingDelegate::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> RecordingDelegate::whats() const {
  std::vector<std::string> whats;
  for (const Event& event : events()) {
    if (whats.empty() || whats.back() != event.what) whats.push_back(event.what);  // data arrives in pieces
  }
  return whats;
}

bool RecordingDelegate::waitFor(const std::string& what, double seconds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
    return std::any_of(events_.begin(), events_.end(), [&](const Event& e) { return e.what == what; });
  });
}

ns::Data RecordingDelegate::data() const {
  std::lock_guard lock(mutex_);
  return data_;
}

std::optional<URLAuthenticationChallenge> RecordingDelegate::challenge() const {
  std::lock_guard lock(mutex_);
  return challenge_;
}

std::optional<URLRequest> RecordingDelegate::proposedRedirect() const {
  std::lock_guard lock(mutex_);
  return proposed_;
}

std::optional<std::string> RecordingDelegate::downloaded() const {
  std::lock_guard lock(mutex_);
  return downloaded_;
}

std::optional<ns::URL> RecordingDelegate::downloadLocation() const {
  std::lock_guard lock(mutex_);
  return location_;
}

bool RecordingDelegate::fileLeftAtCompletion() const {
  std::lock_guard lock(mutex_);
  return fileLeft_;
}

void RecordingDelegate::didBecomeInvalid(URLSession&, const std::optional<ns::Error>&) { record("invalid"); }

void RecordingDelegate::didReceiveChallenge(URLSession&, URLSessionTask&, const URLAuthenticationChallenge& challenge,
                                            AuthChallengeCompletion completion) {
  {
    std::lock_guard lock(mutex_);
    challenge_ = challenge;
    if (!answersTrust) heldTrustAnswers.push_back(completion);
  }
  record("challenge");
  if (!answersTrust) return;
  std::optional<URLCredential> credential;
  if (trustDisposition == URLSessionAuthChallengeDisposition::UseCredential) {
    credential = URLCredential::forTrust(challenge.protectionSpace.serverTrust);
  }
  completion(trustDisposition, credential);
}

void RecordingDelegate::willPerformHTTPRedirection(URLSession&, URLSessionTask&, const HTTPURLResponse& response,
                                                   const URLRequest& newRequest, RedirectCompletion completion) {
  {
    std::lock_guard lock(mutex_);
    proposed_ = newRequest;
  }
  record("redirect " + std::to_string(response.statusCode()));
  completion(onRedirect ? onRedirect(response, newRequest) : std::optional<URLRequest>(newRequest));
}

void RecordingDelegate::didReceiveData(URLSession&, URLSessionDataTask&, const ns::Data& data) {
  {
    std::lock_guard lock(mutex_);
    data_.insert(data_.end(), data.begin(), data.end());
  }
  record("data");
}

void RecordingDelegate::didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&, const ns::URL& location) {
  std::string contents = readFile(location.path());
  {
    std::lock_guard lock(mutex_);
    downloaded_ = std::move(contents);
    location_ = location;
  }
  record("download");
}

void RecordingDelegate::didCompleteWithError(URLSession&, URLSessionTask&, const std::optional<ns::Error>& error) {
  {
    std::lock_guard lock(mutex_);
    fileLeft_ = location_ && std::filesystem::exists(location_->path());
  }
  record("complete " + std::to_string(error ? error->code() : 0));
}

void RecordingDelegate::didFinishEventsForBackgroundURLSession(URLSession&) { record("events finished"); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
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
