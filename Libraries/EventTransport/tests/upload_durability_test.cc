// A child process uploads target 1001 to a server on 127.0.0.1 again and
// again and is killed with SIGKILL at one of four moments, drawn at random
// for each child: right after it says it is ready, while the server holds
// its request unanswered, right after the server has answered, and after
// it says an upload round has finished. A few events are stored before each
// child starts. The moments are events, not times, so every run tests each
// of them on a machine of any speed. Once every batch the killed children
// left behind is returned, a last child uploads the rest: every stored
// event has then reached the server, and the store is empty.
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>

#include "Libraries/EventTransport/tests/ChildProcess.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using ztcor_testing::makeEvent;
using ztcor_testing::ReportingChild;

constexpr int kEventsPerChild = 3;
constexpr int kKills = 40;
// Only guards against a child that never sends: a loaded machine still
// sends within it by far.
constexpr auto kNoRequestGuard = std::chrono::seconds(120);

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

// What the server has seen, and a hold on its answers: while held, a
// request waits unanswered until the test lets it go.
class Gate {
 public:
  void hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  // On the server's thread: counts the request, then waits while held.
  void received() {
    std::unique_lock lock(mutex_);
    ++received_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
  }
  void answered() {
    std::lock_guard lock(mutex_);
    ++answered_;
    changed_.notify_all();
  }
  size_t receivedCount() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  size_t answeredCount() {
    std::lock_guard lock(mutex_);
    return answered_;
  }
  bool awaitReceived(size_t count) { return await(received_, count); }
  bool awaitAnswered(size_t count) { return await(answered_, count); }

 private:
  bool await(const size_t& counter, size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kNoRequestGuard, [&] { return counter >= count; });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  size_t received_ = 0;
  size_t answered_ = 0;
};

class UploadDurabilityTest : public ztcor_testing::TransportTest {
 protected:
  enum class KillMoment { Ready, RequestHeld, Answered, RoundFinished };

  UploadDurabilityTest() {
    // Every answer asks for no wait, so each child uploads as fast as it can.
    server_.setFallback([this](const net::testing::RecordedRequest&) {
      gate_.received();
      return net::testing::Answer{.body = std::string("\x08\x00", 2)};
    });
    server_.setObserver([this](const net::testing::RecordedRequest&, const net::testing::Answer&) { gate_.answered(); });
  }
  // A failed assertion may leave a request held: the server's threads must end.
  ~UploadDurabilityTest() override { gate_.release(); }

  std::vector<std::string> childArguments() {
    return {ZTCOR_UPLOAD_CHILD, device_.directory(), server_.url("/upload/fll").absoluteString()};
  }

  // Neither waiting in the target's directory nor taken into a batch: an
  // empty event directory alone may only mean the child is sending them.
  bool storeIsEmpty() {
    if (PRMPromiseAwait(storage_->hasEventsForTarget(1001)).value()->boolValue()) return false;
    auto taken = batchIDs(1001);
    return !taken || taken->empty();
  }

  Gate gate_;
  net::testing::LoopbackHTTPServer server_;
};

TEST_F(UploadDurabilityTest, EveryStoredEventReachesTheServerDespiteSIGKILL) {
  std::mt19937 random(4711);
  int stored = 0;
  std::map<KillMoment, int> kills;
  for (int kill = 0; kill < kKills; ++kill) {
    for (int i = 0; i < kEventsPerChild; ++i, ++stored) {
      ASSERT_TRUE(store(makeEvent("1974", 1001, ZTCOREventQosDefault, marker(stored))).first);
    }
    drain();
    auto moment = static_cast<KillMoment>(random() % 4);
    size_t received = gate_.receivedCount(), answered = gate_.answeredCount();
    if (moment == KillMoment::RequestHeld) gate_.hold();
    ReportingChild child(childArguments());
    ASSERT_TRUE(child.started());
    switch (moment) {
      case KillMoment::Ready:
        break;
      case KillMoment::RequestHeld:
        ASSERT_TRUE(gate_.awaitReceived(received + 1)) << "the child sent nothing";
        break;
      case KillMoment::Answered:
        ASSERT_TRUE(gate_.awaitAnswered(answered + 1)) << "the child sent nothing";
        break;
      case KillMoment::RoundFinished:
        ASSERT_TRUE(child.awaitReports(1)) << "the child ended on its own";
        break;
    }
    ASSERT_TRUE(child.kill());
    gate_.release();
    // Whatever the killed child had sent is answered (or cut) before the
    // next child's moments are counted.
    ASSERT_TRUE(gate_.awaitAnswered(gate_.receivedCount()));
    ++kills[moment];
  }
  size_t requestsWhileKilling = server_.requestCount();

  // What a killed child had taken is given back, as its batch's expiry would.
  PRMPromiseAwait(storage_->removeAllBatchesForTarget(1001, false));
  ReportingChild last(childArguments());
  ASSERT_TRUE(last.started());
  // Each round takes back what an earlier one left and sends everything
  // waiting; one is enough, a few more are allowed.
  for (int round = 0; round < 10 && !storeIsEmpty(); ++round) {
    ASSERT_TRUE(last.awaitReports(1)) << "the last child ended on its own";
  }
  EXPECT_TRUE(last.kill());
  EXPECT_TRUE(storeIsEmpty());

  std::string received;
  for (const auto& request : server_.requests()) received += plainBody(request);
  int resent = 0;
  for (int number = 0; number < stored; ++number) {
    size_t first = received.find(marker(number));
    EXPECT_NE(first, std::string::npos) << "never reached the server: " << number;
    if (first != std::string::npos && received.find(marker(number), first + 1) != std::string::npos) ++resent;
  }
  for (auto moment : {KillMoment::Ready, KillMoment::RequestHeld, KillMoment::Answered, KillMoment::RoundFinished}) {
    EXPECT_GT(kills[moment], 0) << "no kill at moment " << static_cast<int>(moment);
  }
  std::printf("%d kills (%d after ready, %d while held, %d after an answer, %d after a round), %zu uploads before "
              "the last child, %d events sent more than once\n",
              kKills, kills[KillMoment::Ready], kills[KillMoment::RequestHeld], kills[KillMoment::Answered],
              kills[KillMoment::RoundFinished], requestsWhileKilling, resent);
}

}  // namespace
