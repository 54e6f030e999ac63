// The measurement database against the least code that issues the same SQL:
// bare prepared statements (kept for the run) on a file of the same schema,
// with SQLite's default journal and synchronous settings like the store, the
// same transactions, and the same encoding, decoding and inflation.
//
//   write 1 x 1,000   1,000 events of about 200 bytes, each stored as the core
//                     does (aggregates, metadata, the stored-events limit, the
//                     raw row) in a transaction of its own
//   write 10 x 1,000  10,000 such events in transactions of 1,000
//   read              the 1,000 raw events of one fingerprint, decoded
//   batch             an upload batch of 100 queued bundles, inflated and decoded
//
// Prints each pair's times and ratio (ours / bare).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "bench/BenchDevice.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kEvents = 1000;
constexpr int kBulkEvents = 10000;
constexpr int kBulkTransaction = 1000;
constexpr int kBundles = 100;

std::string scratchDirectory() { return bench::scratchDirectory("msrdbbench"); }

// A fresh device, so each file starts empty.
void bootFreshDevice() { bench::bootFreshDevice("msrdbbench"); }

std::shared_ptr<MSRPBMeasurementBundle> metadata() {
  auto bundle = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
  MSRPBMessageSetString(bundle.get(), 8, "ios");
  MSRPBMessageSetString(bundle.get(), 9, "17.2");
  MSRPBMessageSetString(bundle.get(), 22, "3F2504E04F8941D39A0C0305E82C3301");
  return bundle;
}

// About 200 bytes encoded.
std::shared_ptr<MSREvent> event(int64_t n) {
  // Stamped now: older ones would be stale data, deleted before each bundle.
  static const double now = ns::Date::now().timeIntervalSince1970();
  return MSREvent::initWithOrigin("app", true, "screen_view", now + n * 0.001, 0,
                                  {{"n", MSRValue::initWithInt64(n)},
                                   {"screen", MSRValue::initWithString(std::string(120, 's'))},
                                   {"value", MSRValue::initWithDouble(2.5)}});
}

std::shared_ptr<MSRDatabase> openDatabase() {
  ns::Error error;
  auto database = MSRDatabase::initWithDatabaseName("zorori-app-measurement.sql", nullptr, &error);
  if (!database) std::fprintf(stderr, "no database: %s\n", error.description().c_str());
  return database;
}

// ---- The bare side: the same statements, prepared once.

class Bare {
 public:
  // A file with the database's schema, made by the database and then used
  // through a bare connection.
  Bare() = default;
  ~Bare() {
    for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
    sqlite3_close(db_);
  }

  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
    statements_.push_back(statement);
    return statement;
  }
  void exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

  // The statements of storing one event, as the database issues them.
  void storeEvent(const MSREvent& e, const MSRPBMeasurementBundle& metadataOfEvent) {
    // The aggregates: read, the two counts of the row limit, written.
    sqlite3_bind_text(selectAggregates_, 1, e.name().c_str(), -1, SQLITE_STATIC);
    int32_t lifetime = 0, bundleCount = 0, session = 0;
    if (sqlite3_step(selectAggregates_) == SQLITE_ROW) {
      lifetime = sqlite3_column_int(selectAggregates_, 2);
      bundleCount = sqlite3_column_int(selectAggregates_, 3);
      session = sqlite3_column_int(selectAggregates_, 10);
    }
    sqlite3_reset(selectAggregates_);
    sqlite3_bind_text(countAggregatesByName_, 1, e.name().c_str(), -1, SQLITE_STATIC);
    sqlite3_step(countAggregatesByName_);
    sqlite3_reset(countAggregatesByName_);
    sqlite3_step(countAggregates_);
    sqlite3_reset(countAggregates_);
    sqlite3_bind_text(upsertAggregates_, 1, e.name().c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(upsertAggregates_, 2, lifetime);
    sqlite3_bind_int(upsertAggregates_, 3, bundleCount + 1);
    sqlite3_bind_double(upsertAggregates_, 4, e.timestamp());
    sqlite3_bind_double(upsertAggregates_, 5, 0);
    sqlite3_bind_int(upsertAggregates_, 6, 1);
    sqlite3_bind_int(upsertAggregates_, 7, 0);
    sqlite3_bind_int(upsertAggregates_, 8, 0);
    sqlite3_bind_int(upsertAggregates_, 9, session + 1);
    sqlite3_step(upsertAggregates_);
    sqlite3_reset(upsertAggregates_);

    // The metadata, stored when its fingerprint is new.
    ns::Data encodedMetadata = *metadataOfEvent.protoBuffer();
    int64_t fingerprint = msr_64LSBMD5(encodedMetadata);
    sqlite3_bind_int64(selectMetadata_, 1, fingerprint);
    bool known = sqlite3_step(selectMetadata_) == SQLITE_ROW &&
                 MSRPBMeasurementBundle::initWithBuffer(ns::Data(
                     static_cast<const uint8_t*>(sqlite3_column_blob(selectMetadata_, 2)),
                     static_cast<const uint8_t*>(sqlite3_column_blob(selectMetadata_, 2)) +
                         sqlite3_column_bytes(selectMetadata_, 2))) != nullptr;
    sqlite3_reset(selectMetadata_);
    if (!known) {
      sqlite3_bind_int64(countMetadataByFingerprint_, 1, fingerprint);
      sqlite3_step(countMetadataByFingerprint_);
      sqlite3_reset(countMetadataByFingerprint_);
      sqlite3_step(countMetadata_);
      sqlite3_reset(countMetadata_);
      sqlite3_bind_int64(upsertMetadata_, 1, fingerprint);
      sqlite3_bind_blob(upsertMetadata_, 2, encodedMetadata.data(), static_cast<int>(encodedMetadata.size()),
                        SQLITE_STATIC);
      sqlite3_step(upsertMetadata_);
      sqlite3_reset(upsertMetadata_);
    }

    // Room under the stored-events limit, then the raw row without its name.
    sqlite3_bind_int64(deleteOverLimit_, 1, 100000 - 1);
    sqlite3_step(deleteOverLimit_);
    sqlite3_reset(deleteOverLimit_);
    auto message = e.protoEvent();
    MSRPBMessageClearField(message.get(), 1);
    ns::Data data = *message->protoBuffer();
    sqlite3_bind_text(insertRawEvent_, 1, e.name().c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_double(insertRawEvent_, 2, e.timestamp());
    sqlite3_bind_int64(insertRawEvent_, 3, fingerprint);
    sqlite3_bind_blob(insertRawEvent_, 4, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
    sqlite3_bind_int(insertRawEvent_, 5, 0);
    sqlite3_step(insertRawEvent_);
    sqlite3_reset(insertRawEvent_);
  }

  // The events of one fingerprint, decoded into events.
  size_t readEvents(int64_t fingerprint) {
    sqlite3_bind_int64(selectRawEvents_, 1, fingerprint);
    sqlite3_bind_int64(selectRawEvents_, 2, 1000);
    std::vector<std::shared_ptr<MSRRawEventData>> events;
    while (sqlite3_step(selectRawEvents_) == SQLITE_ROW) {
      const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(selectRawEvents_, 4));
      auto message = MSRPBEvent::initWithBuffer(ns::Data(blob, blob + sqlite3_column_bytes(selectRawEvents_, 4)));
      MSRPBMessageSetString(message.get(), 1, reinterpret_cast<const char*>(sqlite3_column_text(selectRawEvents_, 1)));
      auto e = MSREvent::initWithEventProto(*message);
      events.push_back(MSRRawEventData::initWithRawEvent(e, sqlite3_column_int64(selectRawEvents_, 0), fingerprint));
    }
    sqlite3_reset(selectRawEvents_);
    return events.size();
  }

  // An upload batch: inflated, decoded, the retry count set.
  size_t readBatch(int64_t count) {
    sqlite3_bind_int64(selectBatch_, 1, count);
    std::vector<MSRQueuedBundle> batch;
    while (sqlite3_step(selectBatch_) == SQLITE_ROW) {
      const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(selectBatch_, 1));
      auto encoded = ZULGzip::zul_dataByInflatingGzippedData(
          std::span<const uint8_t>(blob, static_cast<size_t>(sqlite3_column_bytes(selectBatch_, 1))), nullptr);
      auto bundle = MSRPBMeasurementBundle::initWithBuffer(*encoded);
      if (int retries = sqlite3_column_int(selectBatch_, 2); retries >= 1) MSRPBMessageSetInt32(bundle.get(), 35, retries);
      batch.emplace_back(std::move(bundle), sqlite3_column_int64(selectBatch_, 0));
    }
    sqlite3_reset(selectBatch_);
    return batch.size();
  }

 private:
  // Before the statements below are prepared on it.
  static sqlite3* openBare() {
    openDatabase().reset();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(MSRApplicationSupportFilePath("zorori-app-measurement.sql").c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "no bare connection\n");
    }
    return db;
  }

  sqlite3* db_ = openBare();
  std::vector<sqlite3_stmt*> statements_;

 public:
  sqlite3_stmt* selectAggregates_ = prepare("SELECT rowid, * FROM events WHERE name = ?");
  sqlite3_stmt* countAggregatesByName_ = prepare("SELECT count(1) FROM events WHERE name=?");
  sqlite3_stmt* countAggregates_ = prepare("SELECT count(1) FROM events");
  sqlite3_stmt* upsertAggregates_ = prepare(
      "INSERT OR REPLACE INTO events (name, lifetime_count, current_bundle_count, last_fire_timestamp, "
      "last_bundled_timestamp, last_sampling_rate, last_exempt_from_sampling, last_bundled_day, "
      "current_session_count) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?);");
  sqlite3_stmt* selectMetadata_ = prepare("SELECT rowid, * FROM raw_events_metadata WHERE metadata_fingerprint = ?");
  sqlite3_stmt* countMetadataByFingerprint_ =
      prepare("SELECT count(1) FROM raw_events_metadata WHERE metadata_fingerprint=?");
  sqlite3_stmt* countMetadata_ = prepare("SELECT count(1) FROM raw_events_metadata");
  sqlite3_stmt* upsertMetadata_ =
      prepare("INSERT OR REPLACE INTO raw_events_metadata (metadata_fingerprint, metadata) VALUES (?, ?);");
  sqlite3_stmt* deleteOverLimit_ = prepare(
      "DELETE FROM raw_events WHERE rowid IN (SELECT rowid FROM raw_events ORDER BY rowid DESC LIMIT -1 OFFSET ?)");
  sqlite3_stmt* insertRawEvent_ = prepare(
      "INSERT OR REPLACE INTO raw_events (name, timestamp, metadata_fingerprint, data, is_realtime) "
      "VALUES (?, ?, ?, ?, ?);");
  sqlite3_stmt* selectRawEvents_ =
      prepare("SELECT rowid, * FROM raw_events WHERE metadata_fingerprint = ? ORDER BY rowid ASC LIMIT ?");
  sqlite3_stmt* selectBatch_ = prepare("SELECT rowid, data, retry_count FROM queue ORDER BY rowid ASC LIMIT ?");
};

// ---- Writes

void writeOurs(benchmark::State& state, int events, int perTransaction) {
  auto m = metadata();
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    auto database = openDatabase();
    std::vector<std::shared_ptr<MSREvent>> all;
    for (int n = 0; n < events; ++n) all.push_back(event(n));
    state.ResumeTiming();
    for (int first = 0; first < events; first += perTransaction) {
      bool stored = database->performTransaction([&] {
        for (int n = first; n < first + perTransaction; ++n) {
          ns::Error error;
          if (!msr_testing::writeEventAsTheCore(*database, all[n], m, false, &error)) return false;
        }
        return true;
      });
      if (!stored) state.SkipWithError("an event was not stored");
    }
  }
}

void writeBare(benchmark::State& state, int events, int perTransaction) {
  auto m = metadata();
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    Bare bare;
    std::vector<std::shared_ptr<MSREvent>> all;
    for (int n = 0; n < events; ++n) all.push_back(event(n));
    state.ResumeTiming();
    for (int first = 0; first < events; first += perTransaction) {
      bare.exec("BEGIN EXCLUSIVE TRANSACTION");
      for (int n = first; n < first + perTransaction; ++n) bare.storeEvent(*all[n], *m);
      bare.exec("END TRANSACTION");
    }
  }
}

void WriteEachOurs(benchmark::State& state) { writeOurs(state, kEvents, 1); }
void WriteEachBare(benchmark::State& state) { writeBare(state, kEvents, 1); }
void WriteBulkOurs(benchmark::State& state) { writeOurs(state, kBulkEvents, kBulkTransaction); }
void WriteBulkBare(benchmark::State& state) { writeBare(state, kBulkEvents, kBulkTransaction); }

// ---- Reads: one device with the events and bundles, read by both sides.

struct ReadFixture {
  ReadFixture() {
    bootFreshDevice();
    auto database = openDatabase();
    auto m = metadata();
    fingerprint = msr_testing::metadataFingerprint(*m);
    ns::Error error;
    database->performTransaction([&] {
      for (int n = 0; n < kEvents; ++n) msr_testing::writeEventAsTheCore(*database, event(n), m, false, &error);
      // Bundles of ten events each, as bundling makes them.
      for (int b = 0; b < kBundles; ++b) {
        auto bundle = metadata();
        MSRPBArray events;
        for (int n = 0; n < 10; ++n) {
          events.push_back(std::shared_ptr<NANOMessageBase>(event(b * 10 + n)->protoEvent()));
        }
        MSRPBMessageSetArray(bundle.get(), msr_testing::kBundleEvents, events);
        MSRPBMessageSetString(bundle.get(), msr_testing::kBundleAppID, "1:123:ios:abc");
        MSRPBMessageSetInt64(bundle.get(), msr_testing::kBundleEnd,
                             static_cast<int64_t>(ns::Date::now().timeIntervalSince1970() * 1000));
        database->insertBundle(bundle, false, &error);
      }
      return true;
    });
    ours = database;
  }
  int64_t fingerprint = 0;
  std::shared_ptr<MSRDatabase> ours;
};

ReadFixture& readFixture() {
  static ReadFixture* fixture = new ReadFixture();
  return *fixture;
}

void ReadOurs(benchmark::State& state) {
  auto& fixture = readFixture();
  for (auto _ : state) {
    ns::Error error;
    auto events = fixture.ours->rawEventsWithMetadataFingerprint(fixture.fingerprint, &error);
    if (!events || events->size() != kEvents) state.SkipWithError("not every event was read");
  }
}

void ReadBare(benchmark::State& state) {
  auto& fixture = readFixture();
  Bare bare;
  for (auto _ : state) {
    if (bare.readEvents(fixture.fingerprint) != kEvents) state.SkipWithError("not every event was read");
  }
}

void BatchOurs(benchmark::State& state) {
  auto& fixture = readFixture();
  for (auto _ : state) {
    ns::Error error;
    auto batch = fixture.ours->queryBundlesWithCountLimit(kBundles, INT64_MAX, &error);
    if (!batch || batch->size() != kBundles) state.SkipWithError("not every bundle was read");
  }
}

void BatchBare(benchmark::State& state) {
  readFixture();
  Bare bare;
  for (auto _ : state) {
    if (bare.readBatch(kBundles) != kBundles) state.SkipWithError("not every bundle was read");
  }
}

BENCHMARK(WriteEachOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(WriteEachBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(WriteBulkOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(WriteBulkBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ReadOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadBare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BatchOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BatchBare)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "write 1", "WriteEachOurs", "WriteEachBare", "bare");
  bench::printRatio(reporter, "write 1k", "WriteBulkOurs", "WriteBulkBare", "bare");
  bench::printRatio(reporter, "read", "ReadOurs", "ReadBare", "bare");
  bench::printRatio(reporter, "batch", "BatchOurs", "BatchBare", "bare");
  std::filesystem::remove_all(scratchDirectory());
  dispatch::shutdown();
  return 0;
}
