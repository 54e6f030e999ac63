// Bundling a day's backlog: 20,000 raw events of 20 parameters, one
// fingerprint in one clock hour, bundled 1,000 at a time until nothing is
// left. The engine's bundleRawEvents (aggregates, daily counts, audiences,
// the app metadata, one transaction per bundle) against the least code
// that makes the same bundles: bare SQLite reading the same rows, the C++
// classes protoc makes from the same schema parsing them and the metadata,
// building and serializing the bundles, zlib gzipping them at the same
// level and inserting each in a transaction of its own (its rows deleted
// in it). Checks both queues decode to the same events; prints events per
// second and our time against theirs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "UploadMessages.pb.h"  // protoc's C++ classes, made by bench/CMakeLists.txt
#include "bench/BenchDevice.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kEvents = 20000;
constexpr int kPerBundle = 1000;
constexpr const char* kAppID = "1:123:ios:abc";

std::string scratchDirectory() { return bench::scratchDirectory("bundlingbench"); }

std::string bootFreshDevice() { return bench::bootFreshDevice("bundlingbench"); }

std::shared_ptr<MSRPBMeasurementBundle> metadata() {
  auto bundle = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
  MSRPBMessageSetString(bundle.get(), 8, "ios");
  MSRPBMessageSetString(bundle.get(), 9, "17.2");
  MSRPBMessageSetString(bundle.get(), msr_testing::kBundleAppID, kAppID);
  MSRPBMessageSetString(bundle.get(), 22, "3F2504E04F8941D39A0C0305E82C3301");
  return bundle;
}

// 20 parameters: 8 strings, 8 integers, 4 doubles; five names in turn.
// All in the clock hour that holds now, so only the count splits them.
std::shared_ptr<MSREvent> event(int n) {
  static const double hour = std::floor(ns::Date::now().timeIntervalSince1970() / 3600) * 3600;
  static const char* names[] = {"screen_view", "level_up", "select_content", "search", "share"};
  MSRValueMap params;
  for (int i = 0; i < 8; ++i) {
    params.insert_or_assign("text_" + std::to_string(i), MSRValue::initWithString("value " + std::to_string(n * 8 + i)));
    params.insert_or_assign("count_" + std::to_string(i), MSRValue::initWithInt64(n * 100 + i));
  }
  for (int i = 0; i < 4; ++i) params.insert_or_assign("real_" + std::to_string(i), MSRValue::initWithDouble(n + i * 0.25));
  return MSREvent::initWithOrigin("app", true, names[n % 5], hour + n * 0.1, 0, params);
}

// The raw events of the backlog, stored with the storage's operations.
void storeBacklog(MSRDatabase& database) {
  auto m = metadata();
  int64_t fingerprint = msr_testing::metadataFingerprint(*m);
  database.performTransaction([&] {
    ns::Error error;
    if (!database.insertIfNotExistsRawEventMetadata(m, &error)) return false;
    for (int n = 0; n < kEvents; ++n) {
      if (!database.insertRawEvent(event(n), fingerprint, false, &error)) return false;
    }
    return true;
  });
}

std::shared_ptr<MSRPBMeasurementConfig> configuration() {
  auto config = MSRPBMeasurementConfig::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt64(config.get(), 0, 1);
  MSRPBMessageSetString(config.get(), 1, kAppID);
  auto setting = MSRPBSetting::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(setting.get(), 0, "measurement.upload.max_batch_size");
  MSRPBMessageSetString(setting.get(), 1, "10485760");
  MSRPBMessageSetArray(config.get(), 3, {std::shared_ptr<NANOMessageBase>(setting)});
  return config;
}

void onWorker(const std::shared_ptr<MSRMeasurement>& engine, const std::function<void()>& block) {
  std::promise<void> done;
  engine->scheduler()->workerQueue()->async([&] {
    block();
    done.set_value();
  });
  done.get_future().wait();
}

// The queued bundles of the current device's database, decoded by protoc's
// classes, oldest first.
std::vector<msrpb::MeasurementBundle> queuedBundles() {
  std::vector<msrpb::MeasurementBundle> out;
  sqlite3* db = nullptr;
  sqlite3_open_v2(MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName).c_str(), &db, SQLITE_OPEN_READONLY,
                  nullptr);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT data FROM queue ORDER BY rowid", -1, &select, nullptr);
  while (sqlite3_step(select) == SQLITE_ROW) {
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(select, 0));
    auto plain = ZULGzip::zul_dataByInflatingGzippedData(
        std::span<const uint8_t>(blob, static_cast<size_t>(sqlite3_column_bytes(select, 0))), nullptr);
    out.emplace_back();
    if (plain) out.back().ParseFromArray(plain->data(), static_cast<int>(plain->size()));
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return out;
}

// The events of a queue, each without its previous timestamp (which the
// engine takes from its aggregates), as bytes.
std::vector<std::string> eventsOf(const std::vector<msrpb::MeasurementBundle>& bundles) {
  std::vector<std::string> out;
  for (const auto& bundle : bundles) {
    for (auto e : bundle.events()) {
      e.clear_previous_timestamp_millis();
      out.push_back(e.SerializeAsString());
    }
  }
  return out;
}

std::vector<std::string> oursEvents, theirEvents;
std::vector<size_t> oursSizes, theirSizes;

// ---- Ours

void BundleOurs(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    auto persistedConfig = MSRPersistedConfig::initWithSuiteName("bench");
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    auto engine = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, persistedConfig, nullptr,
                                                       scheduler, alarm, kAppID, true, false, {}, nullptr);
    onWorker(engine, [&] {
      engine->remoteConfigInstance()->updateMeasurementConfig(configuration());
      storeBacklog(*engine->database());
    });
    state.ResumeTiming();
    int bundles = 0;
    onWorker(engine, [&] {
      while (engine->bundleRawEvents()) ++bundles;
    });
    state.PauseTiming();
    if (bundles != kEvents / kPerBundle) state.SkipWithError("not every group was bundled");
    auto queue = queuedBundles();
    oursEvents = eventsOf(queue);
    oursSizes.clear();
    for (const auto& bundle : queue) oursSizes.push_back(static_cast<size_t>(bundle.events_size()));
    onWorker(engine, [&] { engine.reset(); });
    state.ResumeTiming();
  }
  state.counters["events/s"] = benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- Theirs

std::string gzip(const std::string& plain) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, plain.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  stream.avail_in = static_cast<uInt>(plain.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

void BundleBare(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    {
      ns::Error error;
      auto database = MSRDatabase::initWithDatabaseName(MSRMeasurement::kDatabaseName, nullptr, &error);
      storeBacklog(*database);
    }
    state.ResumeTiming();

    sqlite3* db = nullptr;
    sqlite3_open_v2(MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName).c_str(), &db, SQLITE_OPEN_READWRITE,
                    nullptr);
    auto prepare = [db](const char* sql) {
      sqlite3_stmt* statement = nullptr;
      sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
      return statement;
    };
    sqlite3_stmt* oldest = prepare("SELECT metadata_fingerprint FROM raw_events ORDER BY rowid LIMIT 1");
    sqlite3_stmt* rows = prepare(
        "SELECT rowid, name, timestamp, data FROM raw_events WHERE metadata_fingerprint = ? ORDER BY rowid LIMIT ?");
    sqlite3_stmt* meta = prepare("SELECT metadata FROM raw_events_metadata WHERE metadata_fingerprint = ?");
    sqlite3_stmt* insert = prepare("INSERT INTO queue (data, bundle_end_timestamp, is_realtime) VALUES (?, ?, 0)");
    sqlite3_stmt* drop = prepare("DELETE FROM raw_events WHERE rowid <= ?");
    int sequence = 0;
    for (;;) {
      sqlite3_exec(db, "BEGIN EXCLUSIVE TRANSACTION", nullptr, nullptr, nullptr);
      if (sqlite3_step(oldest) != SQLITE_ROW) {
        sqlite3_reset(oldest);
        sqlite3_exec(db, "END TRANSACTION", nullptr, nullptr, nullptr);
        break;
      }
      int64_t fingerprint = sqlite3_column_int64(oldest, 0);
      sqlite3_reset(oldest);
      msrpb::MeasurementBundle bundle;
      sqlite3_bind_int64(meta, 1, fingerprint);
      if (sqlite3_step(meta) == SQLITE_ROW) {
        bundle.ParseFromArray(sqlite3_column_blob(meta, 0), sqlite3_column_bytes(meta, 0));
      }
      sqlite3_reset(meta);
      sqlite3_bind_int64(rows, 1, fingerprint);
      sqlite3_bind_int64(rows, 2, kPerBundle);
      int64_t lastRowID = 0;
      double start = INFINITY, end = -INFINITY;
      while (sqlite3_step(rows) == SQLITE_ROW) {
        msrpb::Event* e = bundle.add_events();
        e->ParseFromArray(sqlite3_column_blob(rows, 3), sqlite3_column_bytes(rows, 3));
        e->set_name(reinterpret_cast<const char*>(sqlite3_column_text(rows, 1)));
        double timestamp = sqlite3_column_double(rows, 2);
        start = std::min(start, timestamp);
        end = std::max(end, timestamp);
        lastRowID = sqlite3_column_int64(rows, 0);
      }
      sqlite3_reset(rows);
      bundle.set_start_timestamp_millis(static_cast<int64_t>(std::trunc(start * 1000)));
      bundle.set_end_timestamp_millis(static_cast<int64_t>(std::trunc(end * 1000)));
      bundle.set_bundle_sequence_index(++sequence);
      std::string compressed = gzip(bundle.SerializeAsString());
      sqlite3_bind_blob(insert, 1, compressed.data(), static_cast<int>(compressed.size()), SQLITE_STATIC);
      sqlite3_bind_double(insert, 2, end);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      sqlite3_bind_int64(drop, 1, lastRowID);
      sqlite3_step(drop);
      sqlite3_reset(drop);
      sqlite3_exec(db, "END TRANSACTION", nullptr, nullptr, nullptr);
    }
    for (sqlite3_stmt* statement : {oldest, rows, meta, insert, drop}) sqlite3_finalize(statement);
    sqlite3_close(db);

    state.PauseTiming();
    auto queue = queuedBundles();
    theirEvents = eventsOf(queue);
    theirSizes.clear();
    for (const auto& b : queue) theirSizes.push_back(static_cast<size_t>(b.events_size()));
    state.ResumeTiming();
  }
  state.counters["events/s"] = benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BundleOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BundleBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  int status = 0;
  if (!oursEvents.empty() || !theirEvents.empty()) {
    bool same = oursEvents == theirEvents && oursSizes == theirSizes && oursEvents.size() == kEvents;
    std::printf("\nqueues: %zu and %zu bundles, %zu and %zu events, %s\n", oursSizes.size(), theirSizes.size(),
                oursEvents.size(), theirEvents.size(), same ? "the same events" : "DIFFERENT EVENTS");
    if (!same) status = 1;
  }
  bench::printRatio(reporter, "Bundling", "BundleOurs", "BundleBare", "bare");
  std::filesystem::remove_all(scratchDirectory());
  dispatch::shutdown();
  return status;
}
