// The transport's flat-file store against the least a store could do:
// 10,000 events with a 300-byte payload each stored through storeEvent
// (each archived and written atomically to a file of its own) against
// appending the same archive bytes to one file with write(2). Neither side fsyncs: the store's writes are
// atomic but not durable across a power loss, so the reference is not
// either. Prints events per second of both and the ratio.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kEvents = 10000;
constexpr size_t kPayloadBytes = 300;

class Payload : public ZTCOREventDataObject {
 public:
  explicit Payload(size_t size) : bytes_(size, 0x5A) {}
  ns::Data transportBytes() const override { return bytes_; }

 private:
  ns::Data bytes_;
};

std::string scratchDirectory() {
  static std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "eventbench.XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return dir;
}

std::string freshDirectory(const char* name) {
  static int counter = 0;
  std::string path = scratchDirectory() + "/" + name + std::to_string(counter++);
  std::filesystem::create_directories(path);
  return path;
}

std::vector<std::shared_ptr<ZTCOREvent>> makeEvents() {
  std::vector<std::shared_ptr<ZTCOREvent>> events;
  for (int i = 0; i < kEvents; ++i) {
    auto event = ZTCOREvent::initWithMappingID("1974", 1001);
    event->setDataObject(std::make_shared<Payload>(kPayloadBytes));
    events.push_back(std::move(event));
  }
  return events;
}

size_t averageArchiveBytes = 0;

void StoreEvents(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    ns::Device::boot(freshDirectory("store"));
    ZTCORFlatFileStorage::resetSharedInstanceForTesting();
    ZTCORPlatformResetForTesting();
    auto storage = ZTCORFlatFileStorage::sharedInstance();
    auto events = makeEvents();
    std::atomic<int> failures = 0;
    std::promise<void> last;
    state.ResumeTiming();
    for (int i = 0; i < kEvents; ++i) {
      storage->storeEvent(events[i], [&, i](bool written, std::optional<ns::Error>) {
        if (!written) ++failures;
        if (i == kEvents - 1) last.set_value();
      });
    }
    last.get_future().get();
    state.PauseTiming();
    if (failures) state.SkipWithError("an event was not stored");
    state.ResumeTiming();
  }
}

void AppendArchives(benchmark::State& state) {
  auto events = makeEvents();
  std::vector<ns::Data> archives;
  size_t total = 0;
  for (const auto& event : events) {
    ns::Error error;
    archives.push_back(*ZTCORArchiveObject(event, "", &error));
    total += archives.back().size();
  }
  averageArchiveBytes = total / archives.size();
  for (auto _ : state) {
    state.PauseTiming();
    std::string path = freshDirectory("append") + "/events";
    state.ResumeTiming();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    for (const auto& archive : archives) {
      if (::write(fd, archive.data(), archive.size()) != static_cast<ssize_t>(archive.size())) {
        state.SkipWithError("write failed");
      }
    }
    ::close(fd);
  }
}

BENCHMARK(StoreEvents)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(AppendArchives)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto store = reporter.seconds.find("StoreEvents");
  auto append = reporter.seconds.find("AppendArchives");
  if (store != reporter.seconds.end() && append != reporter.seconds.end()) {
    std::printf("\n%d events, payloads of %zu bytes, archives of %zu bytes on average, no fsync on either side\n",
                kEvents, kPayloadBytes, averageArchiveBytes);
    std::printf("%-22s %14s\n", "", "events/s");
    std::printf("%-22s %14.0f\n", "storeEvent", kEvents / store->second);
    std::printf("%-22s %14.0f\n", "write(2) append", kEvents / append->second);
    std::printf("%-22s %14.2f\n", "ratio (append/store)", store->second / append->second);
  }
  ZTCORFlatFileStorage::resetSharedInstanceForTesting();
  std::filesystem::remove_all(scratchDirectory());
  dispatch::shutdown();
  return 0;
}
