// An upload of a busy day: one batch of 20 bundles, each of 50 events with
// 10 parameters (strings, integers, doubles and an array of nested
// parameters), 15 user properties and audience results. Our protoBuffer
// and initWithBuffer against the C++ classes protoc makes from the same
// schema serializing and parsing the same bytes. Checks the two encodings
// are identical; prints MB/s and our time against theirs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"
#include "UploadMessages.pb.h"  // protoc's C++ classes, made by bench/CMakeLists.txt
#include "bench/RatioReporter.h"

namespace {

constexpr int kBundles = 20;
constexpr int kEvents = 50;
constexpr int kUserProperties = 15;
constexpr int kAudiences = 4;

std::shared_ptr<MSRPBEventParam> param(const std::string& name) {
  auto param = MSRPBEventParam::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(param.get(), 0, name);
  return param;
}

std::shared_ptr<MSRPBEvent> makeEvent(int bundle, int number) {
  auto event = MSRPBEvent::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(event.get(), 1, number % 5 ? "screen_view" : "_e");
  MSRPBMessageSetInt64(event.get(), 2, 1700000000000LL + bundle * 100000 + number * 1000);
  MSRPBMessageSetInt64(event.get(), 3, 1700000000000LL + bundle * 100000 + number * 1000 - 500);
  MSRPBArray params;
  const char* texts[] = {"_o", "screen_class", "_si", "item_name"};
  for (int i = 0; i < 4; ++i) {
    auto text = param(texts[i]);
    MSRPBMessageSetString(text.get(), 1, "value of " + std::string(texts[i]) + " " + std::to_string(number));
    params.push_back(text);
  }
  const char* integers[] = {"_et", "_r", "quantity"};
  for (int i = 0; i < 3; ++i) {
    auto integer = param(integers[i]);
    MSRPBMessageSetInt64(integer.get(), 2, 1000LL * number + i);
    params.push_back(integer);
  }
  const char* reals[] = {"value", "price"};
  for (int i = 0; i < 2; ++i) {
    auto real = param(reals[i]);
    MSRPBMessageSetDouble(real.get(), 4, number * 1.25 + i);
    params.push_back(real);
  }
  auto items = param("items");
  MSRPBArray nested;
  for (int i = 0; i < 3; ++i) {
    auto item = param("item_id");
    MSRPBMessageSetString(item.get(), 1, "SKU-" + std::to_string(number * 10 + i));
    nested.push_back(item);
  }
  MSRPBMessageSetArray(items.get(), 5, nested);
  params.push_back(items);
  MSRPBMessageSetArray(event.get(), 0, params);
  return event;
}

std::shared_ptr<MSRPBAudienceLeafFilterResult> makeAudience(int number) {
  auto data = MSRPBResultData::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(data.get(), 0, {ns::Value(0x5555ull), ns::Value(0xffffffffffull)});
  MSRPBMessageSetArray(data.get(), 1, {ns::Value(0x1111ull), ns::Value(3ull)});
  auto dynamic = MSRPBDynamicFilterResultTimestamp::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(dynamic.get(), 0, number);
  MSRPBMessageSetInt64(dynamic.get(), 1, 1700000000000LL);
  auto sequence = MSRPBSequenceFilterResultTimestamp::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(sequence.get(), 0, number + 1);
  MSRPBMessageSetArray(sequence.get(), 1, {ns::Value(1700000000000LL), ns::Value(1700000001000LL)});
  MSRPBMessageSetArray(data.get(), 2, {dynamic, dynamic});
  MSRPBMessageSetArray(data.get(), 3, {sequence});
  auto result = MSRPBAudienceLeafFilterResult::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(result.get(), 0, 100 + number);
  MSRPBMessageSetMessage(result.get(), 1, *data);
  MSRPBMessageSetMessage(result.get(), 2, *data);
  MSRPBMessageSetBool(result.get(), 3, number % 2 == 0);
  return result;
}

std::shared_ptr<MSRPBMeasurementBundle> makeBundle(int number) {
  auto bundle = MSRPBMeasurementBundle::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(bundle.get(), 0, 1);
  MSRPBArray events;
  for (int i = 0; i < kEvents; ++i) events.push_back(makeEvent(number, i));
  MSRPBMessageSetArray(bundle.get(), 1, events);
  MSRPBArray properties;
  for (int i = 0; i < kUserProperties; ++i) {
    auto property = MSRPBUserAttribute::initWithBuffer(std::nullopt);
    MSRPBMessageSetInt64(property.get(), 0, 1700000000000LL + i);
    MSRPBMessageSetString(property.get(), 1, "property_" + std::to_string(i));
    if (i % 3 == 0) MSRPBMessageSetString(property.get(), 2, "text value " + std::to_string(i));
    if (i % 3 == 1) MSRPBMessageSetInt64(property.get(), 3, i * 7);
    if (i % 3 == 2) MSRPBMessageSetDouble(property.get(), 5, i * 0.5);
    properties.push_back(property);
  }
  MSRPBMessageSetArray(bundle.get(), 2, properties);
  for (int index : {3, 4, 5, 6, 7, 17, 18, 34}) MSRPBMessageSetInt64(bundle.get(), index, 1700000000000LL + index);
  const char* texts[] = {"ios", "17.2", "iPhone15,3", "en-gb"};
  for (int i = 0; i < 4; ++i) MSRPBMessageSetString(bundle.get(), 8 + i, texts[i]);
  MSRPBMessageSetInt32(bundle.get(), 12, 60);
  MSRPBMessageSetString(bundle.get(), 14, "com.example.quillbox");
  MSRPBMessageSetString(bundle.get(), 16, "2.4.1");
  MSRPBMessageSetString(bundle.get(), 22, "0123456789abcdef0123456789abcdef");
  MSRPBMessageSetInt32(bundle.get(), 24, number);
  MSRPBMessageSetString(bundle.get(), 26, "1:1234567890:ios:abcdef");
  MSRPBMessageSetString(bundle.get(), 29, "fedcba9876543210");
  MSRPBMessageSetArray(bundle.get(), 37, {ns::Value(1001), ns::Value(1002), ns::Value(1003)});
  MSRPBMessageSetInt32(bundle.get(), 41, 3);
  MSRPBArray audiences;
  for (int i = 0; i < kAudiences; ++i) audiences.push_back(makeAudience(i));
  MSRPBMessageSetArray(bundle.get(), 28, audiences);
  return bundle;
}

std::shared_ptr<MSRPBMeasurementBatch> batch;
ns::Data encoded;
std::string encodedText;
msrpb::MeasurementBatch theirBatch;

void prepare() {
  batch = MSRPBMeasurementBatch::initWithBuffer(std::nullopt);
  MSRPBArray bundles;
  for (int i = 0; i < kBundles; ++i) bundles.push_back(makeBundle(i));
  MSRPBMessageSetArray(batch.get(), 0, bundles);
  encoded = *batch->protoBuffer();
  encodedText.assign(encoded.begin(), encoded.end());
  theirBatch.ParseFromString(encodedText);
}

void OurEncode(benchmark::State& state) {
  for (auto _ : state) {
    auto bytes = batch->protoBuffer();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * encoded.size()));
}

void TheirEncode(benchmark::State& state) {
  for (auto _ : state) {
    std::string bytes;
    theirBatch.SerializeToString(&bytes);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * encoded.size()));
}

void OurDecode(benchmark::State& state) {
  for (auto _ : state) {
    auto message = MSRPBMeasurementBatch::initWithBuffer(encoded);
    benchmark::DoNotOptimize(message);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * encoded.size()));
}

void TheirDecode(benchmark::State& state) {
  for (auto _ : state) {
    msrpb::MeasurementBatch message;
    message.ParseFromString(encodedText);
    benchmark::DoNotOptimize(message);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * encoded.size()));
}

BENCHMARK(OurEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TheirEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OurDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TheirDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

double megabytesPerSecond(const RatioReporter& reporter, const char* name) {
  auto found = reporter.seconds.find(name);
  return found == reporter.seconds.end() ? 0.0 : encoded.size() / found->second / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  prepare();
  std::string theirs = theirBatch.SerializeAsString();
  bool identical = theirs == encodedText;
  auto decoded = MSRPBMeasurementBatch::initWithBuffer(encoded);
  bool roundTrip = decoded && decoded->protoBuffer() == encoded;
  std::printf("batch: %zu bytes; their encoding of our bytes identical: %s; ours read back identical: %s\n",
              encoded.size(), identical ? "yes" : "NO", roundTrip ? "yes" : "NO");
  if (!identical || !roundTrip) return 1;

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nMB/s     ours encode %7.1f  theirs encode %7.1f  ours decode %7.1f  theirs decode %7.1f\n",
              megabytesPerSecond(reporter, "OurEncode"), megabytesPerSecond(reporter, "TheirEncode"),
              megabytesPerSecond(reporter, "OurDecode"), megabytesPerSecond(reporter, "TheirDecode"));
  bench::printRatio(reporter, "encode", "OurEncode", "TheirEncode", "protoc C++");
  bench::printRatio(reporter, "decode", "OurDecode", "TheirDecode", "protoc C++");
  return 0;
}
