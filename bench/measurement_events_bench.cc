// Logging a burst of events: 5,000 events of 10 parameters handed to the
// engine's event entry on its worker queue until their raw rows are
// committed (safelist, blocklist, daily counts, aggregates, user
// properties, metadata and its fingerprint, the stored-events limit, the
// row: one transaction per event), against the least code that stores the
// same rows: bare SQLite inserting each row the engine wrote (its data,
// fingerprint and real-time flag, read back from the engine's database)
// into a fresh database of the same schema, one transaction per row, in
// the same run and directory. Prints events per second of both and our
// time against theirs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "bench/BenchDevice.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kEvents = 5000;
constexpr const char* kAppID = "1:123:ios:abc";

std::string scratchDirectory() { return bench::scratchDirectory("eventsbench"); }

void bootFreshDevice() { bench::bootFreshDevice("eventsbench"); }

// 10 parameters: 4 strings, 4 integers, 2 doubles; five names in turn.
std::shared_ptr<MSREvent> event(int n) {
  static const char* names[] = {"screen_view", "level_up", "select_content", "search", "share"};
  MSRValueMap params;
  for (int i = 0; i < 4; ++i) {
    params.insert_or_assign("text_" + std::to_string(i), MSRValue::initWithString("value " + std::to_string(n * 4 + i)));
    params.insert_or_assign("count_" + std::to_string(i), MSRValue::initWithInt64(n * 100 + i));
  }
  for (int i = 0; i < 2; ++i) params.insert_or_assign("real_" + std::to_string(i), MSRValue::initWithDouble(n + i * 0.25));
  return MSREvent::initWithOrigin("app", true, names[n % 5], 1700000000.0 + n * 0.01, 0, params);
}

// Waits for the worker queue from another thread while the main run loop
// turns (the identity asks the main thread for the vendor identifier).
void waitForWorker(const std::shared_ptr<MSRMeasurement>& engine) {
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    engine->scheduler()->dispatchSyncOnWorkerQueueBlockID("bench", [] {});
    done = true;
    dispatch::Queue::main()->async([] {});
  });
  dispatch::RunLoop::main().runUntil([&] { return done.load(); }, 3600);
  waiter.join();
}

struct RawRow {
  std::string name;
  double timestamp;
  int64_t fingerprint;
  std::string data;
  int realtime;
};

std::vector<RawRow> rowsOfCurrentDevice() {
  std::vector<RawRow> rows;
  sqlite3* db = nullptr;
  sqlite3_open_v2(MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName).c_str(), &db, SQLITE_OPEN_READONLY,
                  nullptr);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT name, timestamp, metadata_fingerprint, data, is_realtime FROM raw_events ORDER BY rowid",
                     -1, &select, nullptr);
  while (sqlite3_step(select) == SQLITE_ROW) {
    rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(select, 0)), sqlite3_column_double(select, 1),
                    sqlite3_column_int64(select, 2),
                    std::string(static_cast<const char*>(sqlite3_column_blob(select, 3)),
                                static_cast<size_t>(sqlite3_column_bytes(select, 3))),
                    sqlite3_column_int(select, 4)});
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return rows;
}

std::vector<RawRow> oursRows;

void EventsOurs(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    auto persistedConfig = MSRPersistedConfig::initWithSuiteName("bench");
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    auto engine = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, persistedConfig, nullptr,
                                                       scheduler, alarm, kAppID, true, false, {}, nullptr);
    MSRMeasurementSetSharedInstanceForTesting(engine);
    waitForWorker(engine);
    std::vector<std::shared_ptr<MSREvent>> events;
    for (int n = 0; n < kEvents; ++n) events.push_back(event(n));
    state.ResumeTiming();
    for (const auto& e : events) {
      scheduler->scheduleOnWorkerQueueBlockID("bench", [engine, e] { engine->handleEventOnWorkerQueue(e); });
    }
    waitForWorker(engine);
    state.PauseTiming();
    oursRows = rowsOfCurrentDevice();
    if (oursRows.size() != kEvents) state.SkipWithError("not every event was stored");
    MSRMeasurementForgetSharedInstanceForTesting();
    engine.reset();
    state.ResumeTiming();
  }
  state.counters["events/s"] = benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

void EventsBare(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    bootFreshDevice();
    {
      ns::Error error;
      auto database = MSRDatabase::initWithDatabaseName(MSRMeasurement::kDatabaseName, nullptr, &error);
    }
    state.ResumeTiming();
    sqlite3* db = nullptr;
    sqlite3_open_v2(MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName).c_str(), &db, SQLITE_OPEN_READWRITE,
                    nullptr);
    sqlite3_stmt* begin = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* commit = nullptr;
    sqlite3_prepare_v2(db, "BEGIN EXCLUSIVE TRANSACTION", -1, &begin, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO raw_events (name, timestamp, metadata_fingerprint, data, is_realtime) "
                       "VALUES (?, ?, ?, ?, ?)",
                       -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "COMMIT TRANSACTION", -1, &commit, nullptr);
    for (const auto& row : oursRows) {
      sqlite3_step(begin);
      sqlite3_reset(begin);
      sqlite3_bind_text(insert, 1, row.name.data(), static_cast<int>(row.name.size()), SQLITE_STATIC);
      sqlite3_bind_double(insert, 2, row.timestamp);
      sqlite3_bind_int64(insert, 3, row.fingerprint);
      sqlite3_bind_blob(insert, 4, row.data.data(), static_cast<int>(row.data.size()), SQLITE_STATIC);
      sqlite3_bind_int(insert, 5, row.realtime);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      sqlite3_step(commit);
      sqlite3_reset(commit);
    }
    for (sqlite3_stmt* statement : {begin, insert, commit}) sqlite3_finalize(statement);
    sqlite3_close(db);
    state.PauseTiming();
    if (rowsOfCurrentDevice().size() != oursRows.size()) state.SkipWithError("rows missing");
    state.ResumeTiming();
  }
  state.counters["events/s"] = benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(EventsOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(EventsBare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "Events", "EventsOurs", "EventsBare", "bare");
  std::filesystem::remove_all(scratchDirectory());
  dispatch::shutdown();
  return 0;
}
