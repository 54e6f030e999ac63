// A child process uploads target 1001 to a server on 127.0.0.1 again and
// again and is killed with SIGKILL at random moments; a few events are
// stored before each child starts. Once every batch the
// killed children left behind is returned, a last child uploads the rest:
// every stored event has then reached the server, and the store is empty.
#include <zlib.h>

#include <chrono>
#include <random>
#include <thread>

#include "Libraries/EventTransport/tests/ChildProcess.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using ztcor_testing::makeEvent;

constexpr int kEventsPerChild = 3;
constexpr auto kKillBudget = std::chrono::seconds(3);

// The body as sent, gunzipped when it says so.
std::string plainBody(const net::testing::RecordedRequest& request) {
  if (request.header("content-encoding") != "gzip") return request.body;
  z_stream stream{};
  if (inflateInit2(&stream, 31) != Z_OK) return {};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(request.body.data()));
  stream.avail_in = static_cast<uInt>(request.body.size());
  std::string plain;
  char buffer[4096];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    plain.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END ? plain : std::string();
}

std::string marker(int number) { return "event-number-" + std::to_string(1000 + number) + ";"; }

class UploadDurabilityTest : public ztcor_testing::TransportTest {
 protected:
  pid_t spawn() {
    return ztcor_testing::spawnReadyChild(
        {ZTCOR_UPLOAD_CHILD, device_.directory(), server_.url("/upload/fll").absoluteString()});
  }

  // Neither waiting in the target's directory nor taken into a batch: an
  // empty event directory alone may only mean the child is sending them.
  bool storeIsEmpty() {
    if (PRMPromiseAwait(storage_->hasEventsForTarget(1001)).value()->boolValue()) return false;
    auto taken = batchIDs(1001);
    return !taken || taken->empty();
  }

  net::testing::LoopbackHTTPServer server_;
};

TEST_F(UploadDurabilityTest, EveryStoredEventReachesTheServerDespiteSIGKILL) {
  // Every answer asks for no wait, so each child uploads as fast as it can;
  // it comes a little late, so that many kills fall between send and answer.
  server_.setFallback([](const net::testing::RecordedRequest&) {
    return net::testing::Answer{.body = std::string("\x08\x00", 2), .delaySeconds = 0.003};
  });

  std::mt19937 random(4711);
  auto start = std::chrono::steady_clock::now();
  int kills = 0;
  int stored = 0;
  while (std::chrono::steady_clock::now() - start < kKillBudget) {
    for (int i = 0; i < kEventsPerChild; ++i, ++stored) {
      ASSERT_TRUE(store(makeEvent("1974", 1001, ZTCOREventQosDefault, marker(stored))).first);
    }
    drain();
    pid_t pid = spawn();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(ztcor_testing::killAfter(pid, random() % 30000));
    ++kills;
  }
  EXPECT_GE(kills, 20);
  size_t requestsWhileKilling = server_.requestCount();

  // What a killed child had taken is given back, as its batch's expiry would.
  PRMPromiseAwait(storage_->removeAllBatchesForTarget(1001, false));
  pid_t last = spawn();
  ASSERT_GT(last, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!storeIsEmpty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(ztcor_testing::killAfter(last, 0));
  EXPECT_TRUE(storeIsEmpty());

  std::string received;
  for (const auto& request : server_.requests()) received += plainBody(request);
  int resent = 0;
  for (int number = 0; number < stored; ++number) {
    size_t first = received.find(marker(number));
    EXPECT_NE(first, std::string::npos) << "never reached the server: " << number;
    if (first != std::string::npos && received.find(marker(number), first + 1) != std::string::npos) ++resent;
  }
  std::printf("%d kills, %zu uploads before the last child, %d events sent more than once\n", kills,
              requestsWhileKilling, resent);
}

}  // namespace
