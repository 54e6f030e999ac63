// The uploader's body: 1,000 stored events (300-byte payloads, two mapping
// IDs) taken as one batch, encoded as a LogBatchRequest and gzipped as the
// uploader does, against zlib's gzip alone of the same plain encoding.
// Prints encode time / gzip time, and the body's size against protoc's
// re-encoding of protoc's decoded text of it (must be 1.00).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "Libraries/EventTransport/ZTCCTCompressionHelper.h"
#include "Libraries/EventTransport/ZTCCTNanopbHelpers.h"
#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kEvents = 1000;

class Payload : public ZTCOREventDataObject {
 public:
  explicit Payload(int seed) : bytes_(300) {
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<uint8_t>('a' + (seed * 31 + i * 7) % 26);
  }
  ns::Data transportBytes() const override { return bytes_; }

 private:
  ns::Data bytes_;
};

std::string scratch;
ZTCOREventSet storedBatch;
ns::Data plainEncoding;

// Stores the events in a real store and takes them back as one batch.
void prepare() {
  std::string pattern = (std::filesystem::temp_directory_path() / "uploadbench.XXXXXX").string();
  scratch = mkdtemp(pattern.data());
  ns::Device::boot(scratch);
  ZTCORPlatformResetForTesting();
  auto storage = ZTCORFlatFileStorage::sharedInstance();
  for (int i = 0; i < kEvents; ++i) {
    auto event = ZTCOREvent::initWithMappingID(i % 2 ? "1974" : "1206", 1001);
    event->setDataObject(std::make_shared<Payload>(i));
    event->setClockSnapshot(ZTCORClock::snapshot());
    std::promise<void> done;
    storage->storeEvent(event, [&](bool, std::optional<ns::Error>) { done.set_value(); });
    done.get_future().get();
  }
  std::promise<ZTCOREventSet> taken;
  storage->batchWithEventSelector(ZTCORStorageEventSelector::eventSelectorForTarget(1001),
                                  ns::Date::now().addingTimeInterval(600),
                                  [&](std::optional<int64_t>, std::optional<ZTCOREventSet> events) {
                                    taken.set_value(events.value_or(ZTCOREventSet{}));
                                  });
  storedBatch = taken.get_future().get();
  plainEncoding = ZTCCTConstructRequestProtoWithEvents(storedBatch);
}

void EncodeAndGzipBody(benchmark::State& state) {
  for (auto _ : state) {
    ns::Data plain = ZTCCTConstructRequestProtoWithEvents(storedBatch);
    auto gzipped = ZTCCTCompressionHelper::gzippedData(plain);
    benchmark::DoNotOptimize(gzipped);
  }
}

void ZlibGzipAlone(benchmark::State& state) {
  for (auto _ : state) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    ns::Data out(deflateBound(&stream, plainEncoding.size()));
    stream.next_in = plainEncoding.data();
    stream.avail_in = static_cast<uInt>(plainEncoding.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate failed");
    deflateEnd(&stream);
    benchmark::DoNotOptimize(out);
  }
}

BENCHMARK(EncodeAndGzipBody)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ZlibGzipAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

size_t protocSize() {
  std::string path = scratch + "/plain.bin";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(plainEncoding.data()), plainEncoding.size());
  std::string proto = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";
  std::string command = "protoc -I'" + proto + "' --decode=LogBatchRequest UploadMessages.proto < '" + path +
                        "' | protoc -I'" + proto + "' --encode=LogBatchRequest UploadMessages.proto | wc -c";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return 0;
  unsigned long size = 0;
  if (std::fscanf(pipe, "%lu", &size) != 1) size = 0;
  ::pclose(pipe);
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  prepare();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  size_t theirs = protocSize();
  std::printf("events: %zu, plain body: %zu bytes\n", storedBatch.size(), plainEncoding.size());
  std::printf("encode+gzip / gzip alone: %.2f\n",
              reporter.seconds["EncodeAndGzipBody"] / reporter.seconds["ZlibGzipAlone"]);
  std::printf("our size / protoc's size: %.2f (%zu / %zu)\n",
              theirs ? static_cast<double>(plainEncoding.size()) / theirs : 0.0, plainEncoding.size(), theirs);
  ZTCORFlatFileStorage::resetSharedInstanceForTesting();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  dispatch::shutdown();
  return 0;
}
