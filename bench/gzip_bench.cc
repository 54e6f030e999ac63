// Gzip and inflate of 16 MB of JSON-like text through ZULGzip (1024-byte
// output chunks appended to one growing buffer) against zlib in one shot
// with the same level and window (one deflate or inflate call into a buffer
// of the final size), in the same run. Prints the ratio ZULGzip / zlib.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "bench/RatioReporter.h"

namespace {

constexpr size_t kInputLength = size_t{16} << 20;

// Event records as the telemetry stack sends them: repetitive keys, varying
// numbers and names.
const ns::Data& input() {
  static const ns::Data data = [] {
    static const char* names[] = {"screen_view", "session_start", "note_saved", "backup_done", "rate_prompt"};
    static const char* screens[] = {"Folders", "Notes", "Editor", "Settings", "Backups", "Search"};
    std::string text = "[";
    uint32_t state = 2463534242u;
    auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      return state;
    };
    for (int i = 0; text.size() < kInputLength; ++i) {
      char record[256];
      int n = std::snprintf(record, sizeof record,
                            "{\"id\":%d,\"name\":\"%s\",\"ts\":%u.%03u,\"params\":{\"screen\":\"%s\",\"count\":%u,"
                            "\"session\":\"%08x\"}},\n",
                            i, names[next() % 5], 1700000000u + next() % 100000u, next() % 1000u, screens[next() % 6],
                            next() % 500u, next());
      text.append(record, static_cast<size_t>(n));
    }
    text.resize(kInputLength);
    return ns::Data(text.begin(), text.end());
  }();
  return data;
}

const ns::Data& gzipped() {
  static const ns::Data data = *ZULGzip::zul_dataByGzippingData(input(), nullptr);
  return data;
}

void BM_GzipOurs(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ZULGzip::zul_dataByGzippingData(input(), nullptr));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input().size()));
}

void BM_GzipZlib(benchmark::State& state) {
  for (auto _ : state) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    ns::Data out(deflateBound(&stream, input().size()));
    stream.next_in = const_cast<Bytef*>(input().data());
    stream.avail_in = static_cast<uInt>(input().size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input().size()));
}

void BM_InflateOurs(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ZULGzip::zul_dataByInflatingGzippedData(gzipped(), nullptr));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input().size()));
}

void BM_InflateZlib(benchmark::State& state) {
  for (auto _ : state) {
    z_stream stream{};
    inflateInit2(&stream, 15 + 32);
    ns::Data out(input().size());
    stream.next_in = const_cast<Bytef*>(gzipped().data());
    stream.avail_in = static_cast<uInt>(gzipped().size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (inflate(&stream, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate");
    inflateEnd(&stream);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input().size()));
}

BENCHMARK(BM_GzipOurs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_GzipZlib)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_InflateOurs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_InflateZlib)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  input();
  gzipped();
  std::printf("input %zu bytes, gzipped %zu bytes\n", input().size(), gzipped().size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n%-8s %12s %12s %8s\n", "task", "ZULGzip (ms)", "zlib (ms)", "ratio");
  for (const char* task : {"Gzip", "Inflate"}) {
    auto ours = reporter.seconds.find(std::string("BM_") + task + "Ours");
    auto theirs = reporter.seconds.find(std::string("BM_") + task + "Zlib");
    if (ours == reporter.seconds.end() || theirs == reporter.seconds.end()) continue;
    std::printf("%-8s %12.2f %12.2f %8.3f\n", task, ours->second * 1e3, theirs->second * 1e3,
                ours->second / theirs->second);
  }
  return 0;
}
