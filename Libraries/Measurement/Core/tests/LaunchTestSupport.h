// For the lifecycle, campaign and lookup tests: the engine fixture started
// with a session reporter whose session has expired (so every start may
// report "_s"), and the stored events and user properties read back as
// plain values.
#pragma once

#include <future>
#include <map>
#include <sstream>

#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"

namespace msr_testing {

class ExpiredSessionReporter : public MSRSessionReporter {
 public:
  explicit ExpiredSessionReporter(std::shared_ptr<MSRPersistedConfig> config)
      : MSRSessionReporter(std::move(config)) {}
  bool isSessionExpired() const override { return true; }
};

// One stored raw event: its name, time (ms) and parameters as text.
struct LaunchedEvent {
  std::string name;
  int64_t timestampMillis = 0;
  std::map<std::string, std::string> params;
  bool has(const std::string& name) const { return params.count(name) != 0; }
};

class FirstLaunchTest : public EngineTest {
 protected:
  // 2023-11-15 10:20:00 UTC.
  static constexpr double kTenTwenty = 1700043600.0;

  // Starts an engine as a launch at `launchTime` does, the expired-session
  // reporter in place before its first enable runs.
  void launch(double launchTime = kTenTwenty, std::shared_ptr<ZULNetwork> network = nullptr) {
    ns::Clock::useVirtual(ns::Date::fromUnixTime(launchTime));
    MSRAnalytics::setLoadTimestamp(launchTime);
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    scheduler->scheduleOnWorkerQueueBlockID("test", [released] { released.wait(); });
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    engine_ = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, config_, std::move(network),
                                                   scheduler, alarm, kAppID, true, false, {}, nullptr);
    MSRMeasurementSetSessionReporterForTesting(*engine_, std::make_shared<ExpiredSessionReporter>(config_));
    MSRMeasurementSetSharedInstanceForTesting(engine_);
    MSRAnalytics::setAnalyticsEnabled(true);
    MSRAnalytics::unsuspendOperationQueue();
    release.set_value();
    flush();
    ASSERT_TRUE(engine_->isEnabled());
  }
  // The process ends: the next launch is a new engine over the same files.
  void quit() {
    flush();
    MSRMeasurementForgetSharedInstanceForTesting();
    engine_.reset();
  }

  // The stored raw events, oldest first.
  std::vector<LaunchedEvent> events() {
    std::vector<LaunchedEvent> out;
    // The name lives in its own column, not in the stored message.
    std::istringstream rows(query("SELECT rowid, name FROM raw_events ORDER BY rowid"));
    std::string row;
    while (std::getline(rows, row)) {
      size_t bar = row.find('|');
      if (bar == std::string::npos) continue;
      out.push_back(parseEvent(decodedEvent(std::stoll(row.substr(0, bar)))));
      out.back().name = row.substr(bar + 1);
    }
    return out;
  }
  std::vector<LaunchedEvent> events(const std::string& name) {
    std::vector<LaunchedEvent> out;
    for (auto& e : events())
      if (e.name == name) out.push_back(e);
    return out;
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (auto& e : events()) out.push_back(e.name);
    return out;
  }
  // A stored user property; null when there is none.
  std::shared_ptr<MSRUserAttribute> property(const std::string& name) {
    std::shared_ptr<MSRUserAttribute> found;
    onWorker([&] {
      ns::Error error;
      found = engine_->database()->userAttributeWithName(name, &error);
    });
    return found;
  }

  static LaunchedEvent parseEvent(const std::string& text) {
    LaunchedEvent event;
    std::istringstream lines(text);
    std::string line, pending;
    int depth = 0;
    auto valueOf = [](const std::string& trimmed) {
      std::string v = trimmed.substr(trimmed.find(':') + 2);
      if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
      return v;
    };
    while (std::getline(lines, line)) {
      size_t indent = line.find_first_not_of(' ');
      if (indent == std::string::npos) continue;
      std::string trimmed = line.substr(indent);
      if (trimmed.back() == '{') {
        ++depth;
        continue;
      }
      if (trimmed == "}") {
        --depth;
        continue;
      }
      if (depth == 0) {
        if (trimmed.rfind("name:", 0) == 0) event.name = valueOf(trimmed);
        if (trimmed.rfind("timestamp_millis:", 0) == 0) event.timestampMillis = std::stoll(valueOf(trimmed));
      } else if (depth == 1) {
        if (trimmed.rfind("name:", 0) == 0) {
          pending = valueOf(trimmed);
        } else if (!pending.empty()) {
          event.params[pending] = valueOf(trimmed);
          pending.clear();
        }
      }
    }
    return event;
  }
};

}  // namespace msr_testing
