// For the engine's event and user-property tests: an enabled engine over
// the real database on a fresh device, running as the process's engine
// (its remote configuration is the one storage reads, its worker queue
// takes the error events), with events handed to its worker queue and
// waited for from another thread, and what it stored read back with
// sqlite3 and protoc.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"

namespace msr_testing {

inline constexpr const char* kBundleIdentifier = "com.tavrix.Quillbox";

inline MSRValue i64(int64_t v) { return MSRValue::initWithInt64(v); }
inline MSRValue str(const std::string& v) { return MSRValue::initWithString(v); }

class EngineTest : public ConfigTest {
 protected:
  static constexpr double kNow = 1700000000.0;

  void SetUp() override {
    ConfigTest::SetUp();
    // A fixed day, so no count starts over in the middle of a case.
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kNow));
    installMainBundle(info());
    config_ = MSRPersistedConfig::initWithSuiteName("engine");
    MSRAnalytics::setResetRetryCount(0);
  }
  void TearDown() override {
    if (engine_) {
      flush();
      EXPECT_FALSE(monitor_.contains(30001)) << "a worker-queue step ran on the main thread";
    }
    MSRMeasurement::monitor()->setDebugModeEnabled(false);
    MSRAnalyticsResetForTesting();
    MSRMeasurementForgetSharedInstanceForTesting();
    engine_.reset();
    MSRAnalytics::setResetRetryCount(0);
    ConfigTest::TearDown();
  }

  virtual ns::Dictionary info() {
    return ns::Dictionary{
        {"CFBundleIdentifier", kBundleIdentifier}, {"CFBundleShortVersionString", "2.3.4"}, {"CFBundleVersion", "2.3.4"}};
  }

  void startEngine(bool enabled = true, const std::vector<std::string>& safelist = {}) {
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    engine_ = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, config_, nullptr, scheduler, alarm,
                                                   kAppID, true, false, safelist, nullptr);
    MSRMeasurementSetSharedInstanceForTesting(engine_);
    // The analytics interface as start leaves it: the engine's own "_err"
    // events take its road.
    MSRAnalytics::setAnalyticsEnabled(true);
    MSRAnalytics::unsuspendOperationQueue();
    flush();
    ASSERT_TRUE(engine_->isEnabled());
    // The cases start from an empty database and between sessions: the
    // start's own events (first open, session start, engagement), its
    // properties and its session go.
    onWorker([&] {
      ns::Error error;
      EXPECT_TRUE(engine_->database()->reset(&error)) << error.description();
      config_->setLastSessionActivityClockTime(0);
      config_->setSessionNumber(0);
    });
    if (!enabled) {
      engine_->setEnabled(false);
      flush();
    }
  }

  // Waits, from another thread, for what the analytics queues and the
  // worker queue hold and for what those blocks queued after themselves
  // (error events, "_fx"). The main run loop turns meanwhile: the
  // identity asks the main thread for the vendor identifier.
  void flush() {
    std::atomic<bool> done{false};
    std::thread waiter([this, &done] {
      for (int i = 0; i < 2; ++i) {
        MSRAnalyticsWaitForTesting();
        engine_->scheduler()->dispatchSyncOnWorkerQueueBlockID("test", [] {});
      }
      done = true;
      dispatch::Queue::main()->async([] {});
    });
    dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, 600);
    waiter.join();
  }
  // Runs the block on the worker queue and waits.
  void onWorker(std::function<void()> block) {
    engine_->scheduler()->scheduleOnWorkerQueueBlockID("test", std::move(block));
    flush();
  }

  static std::shared_ptr<MSREvent> event(const std::string& name, const MSRValueMap& parameters = {},
                                         const std::string& origin = "app") {
    auto made = MSREvent::initWithOrigin(origin, name.empty() || name[0] != '_', name, kNow, 0, parameters);
    EXPECT_NE(made, nullptr) << name;
    return made;
  }
  // Hands the events to the engine's handling, in order, without waiting.
  void post(const std::vector<std::shared_ptr<MSREvent>>& events) {
    std::weak_ptr<MSRMeasurement> weak = engine_;
    engine_->scheduler()->scheduleOnWorkerQueueBlockID("test", [weak, events] {
      if (auto engine = weak.lock()) {
        for (const auto& e : events) engine->handleEventOnWorkerQueue(e);
      }
    });
  }
  void handle(const std::vector<std::shared_ptr<MSREvent>>& events) {
    post(events);
    flush();
  }
  void handle(const std::shared_ptr<MSREvent>& e) { handle(std::vector<std::shared_ptr<MSREvent>>{e}); }

  // Applies a configuration of this app with these fields (text form).
  void applyConfig(const std::string& fields) {
    auto config = measurementConfigFromText("zmp_app_id: \"" + std::string(kAppID) + "\" " + fields);
    bool applied = false;
    onWorker([&] { applied = engine_->remoteConfigInstance()->updateMeasurementConfig(config); });
    ASSERT_TRUE(applied);
  }

  static std::string databaseFile() { return MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName); }
  static std::string query(const std::string& sql) { return sqlite(databaseFile(), sql); }
  // The raw events' names, a line each, oldest first.
  static std::string rawEventNames() { return query("SELECT name FROM raw_events ORDER BY rowid"); }
  // The raw event's stored message as protoc decodes it.
  static std::string decodedEvent(int64_t rowid) {
    return protoc("--decode=msrpb.Event UploadMessages.proto",
                  sqliteBlob(databaseFile(), "SELECT data FROM raw_events WHERE rowid = " + std::to_string(rowid)));
  }
  // The "_err" codes of the stored error events, in order.
  static std::vector<std::string> storedErrorCodes() {
    std::vector<std::string> codes;
    std::string rows = query("SELECT rowid FROM raw_events WHERE name = '_err' ORDER BY rowid");
    size_t start = 0;
    while (start < rows.size()) {
      size_t end = rows.find('\n', start);
      if (end == std::string::npos) end = rows.size();
      std::string text = decodedEvent(std::stoll(rows.substr(start, end - start)));
      size_t at = text.find("name: \"_err\"");
      size_t value = at == std::string::npos ? at : text.find("int_value: ", at);
      codes.push_back(value == std::string::npos ? "?" : text.substr(value + 11, text.find('\n', value) - value - 11));
      start = end + 1;
    }
    return codes;
  }
  int64_t countOf(int64_t code) const {
    MSRMonitorWaitForTesting();
    int64_t n = 0;
    for (const auto& m : monitor_.messages()) n += m.code == code ? 1 : 0;
    return n;
  }

  std::shared_ptr<MSRPersistedConfig> config_;
  std::shared_ptr<MSRMeasurement> engine_;
};

}  // namespace msr_testing
