// 2,000 GETs of 4 KB and 500 POSTs of 256 KB, one after the other over one
// keep-alive connection to the loopback server: through net::URLSession
// (a completion handler on the session's queue, and the synchronous load),
// and in the same run through a bare libcurl easy-handle loop. Prints each
// time, its ratio to libcurl's, and the connections each way opened.
// Each way runs several times, the runs of all ways interleaved in a random
// order, and counts by its median: on a shared machine the load changes
// from one run to the next.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Network/SynchronousLoad.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kGets = 2000;
constexpr size_t kGetSize = 4 * 1024;
constexpr int kPosts = 500;
constexpr size_t kPostSize = 256 * 1024;
constexpr int kRuns = 5;

net::testing::LoopbackHTTPServer& server() {
  static auto* s = [] {
    auto* server = new net::testing::LoopbackHTTPServer;
    server->route("/get", net::testing::Answer{.body = std::string(kGetSize, 'g')});
    server->route("/post", net::testing::Answer{.body = "stored"});
    return server;
  }();
  return *s;
}

std::map<std::string, int> connectionsUsed;

// One request at a time, each waiting for the one before, as callers do.
size_t sendThroughSession(net::URLSession& session, const net::URLRequest& request) {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  size_t received = 0;
  session
      .dataTask(request,
                [&](std::optional<ns::Data> data, std::optional<net::HTTPURLResponse>, std::optional<ns::Error>) {
                  std::lock_guard lock(mutex);
                  received = data ? data->size() : 0;
                  finished = true;
                  done.notify_one();
                })
      ->resume();
  std::unique_lock lock(mutex);
  done.wait(lock, [&] { return finished; });
  return received;
}

void run(benchmark::State& state, const char* name, const std::function<bool()>& once, int count) {
  int before = server().connectionCount();
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      if (!once()) {
        state.SkipWithError("a request failed");
        return;
      }
    }
  }
  // The most a run opened (a thread's synchronous loads keep theirs from
  // one run to the next).
  connectionsUsed[name] = std::max(connectionsUsed[name], server().connectionCount() - before);
}

void SessionGets(benchmark::State& state) {
  auto session = net::URLSession::create(net::URLSessionConfiguration::defaultSessionConfiguration());
  net::URLRequest request(server().url("/get"));
  run(state, "SessionGets", [&] { return sendThroughSession(*session, request) == kGetSize; }, kGets);
}

void SynchronousGets(benchmark::State& state) {
  net::URLRequest request(server().url("/get"));
  run(state, "SynchronousGets", [&] {
    std::optional<ns::Data> data = net::sendSynchronousRequest(request, nullptr);
    return data && data->size() == kGetSize;
  }, kGets);
}

void SessionPosts(benchmark::State& state) {
  auto session = net::URLSession::create(net::URLSessionConfiguration::defaultSessionConfiguration());
  net::URLRequest request(server().url("/post"));
  request.setHTTPMethod("POST");
  request.setHTTPBody(ns::Data(kPostSize, 'p'));
  run(state, "SessionPosts", [&] { return sendThroughSession(*session, request) == 6; }, kPosts);
}

size_t collect(char*, size_t size, size_t count, void* received) {
  *static_cast<size_t*>(received) += size * count;
  return size * count;
}

void CurlGets(benchmark::State& state) {
  CURL* handle = curl_easy_init();
  std::string url = server().url("/get").absoluteString();
  size_t received = 0;
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  run(state, "CurlGets", [&] {
    received = 0;
    return curl_easy_perform(handle) == CURLE_OK && received == kGetSize;
  }, kGets);
  curl_easy_cleanup(handle);
}

void SynchronousPosts(benchmark::State& state) {
  net::URLRequest request(server().url("/post"));
  request.setHTTPMethod("POST");
  request.setHTTPBody(ns::Data(kPostSize, 'p'));
  run(state, "SynchronousPosts", [&] {
    std::optional<ns::Data> data = net::sendSynchronousRequest(request, nullptr);
    return data && data->size() == 6;
  }, kPosts);
}

void CurlPosts(benchmark::State& state) {
  CURL* handle = curl_easy_init();
  std::string url = server().url("/post").absoluteString();
  std::string body(kPostSize, 'p');
  size_t received = 0;
  curl_slist* headers = curl_slist_append(nullptr, "Expect:");
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  run(state, "CurlPosts", [&] {
    received = 0;
    return curl_easy_perform(handle) == CURLE_OK && received == 6;
  }, kPosts);
  curl_slist_free_all(headers);
  curl_easy_cleanup(handle);
}

BENCHMARK(SessionGets)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SynchronousGets)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CurlGets)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SessionPosts)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SynchronousPosts)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CurlPosts)->Iterations(1)->Repetitions(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The runs of the ways take turns (a later flag on the command line still
  // wins).
  std::vector<char*> arguments(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave.data());
  argc = static_cast<int>(arguments.size());
  argv = arguments.data();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-6s %-34s %10s %8s %12s\n", "task", "through", "ms", "ratio", "connections");
  for (const char* task : {"Gets", "Posts"}) {
    auto curl = reporter.seconds.find(std::string("Curl") + task);
    if (curl == reporter.seconds.end()) continue;
    for (const char* way : {"Session", "Synchronous", "Curl"}) {
      std::string name = std::string(way) + task;
      auto it = reporter.seconds.find(name);
      if (it == reporter.seconds.end()) continue;
      const char* through = std::string(way) == "Session"       ? "URLSession, handler on its queue"
                            : std::string(way) == "Synchronous" ? "URLSession, sendSynchronousRequest"
                                                                : "libcurl easy handle loop";
      std::printf("%-6s %-34s %10.1f %8.2f %12d\n", task, through, it->second * 1e3, it->second / curl->second,
                  connectionsUsed[name]);
    }
  }
  return 0;
}
