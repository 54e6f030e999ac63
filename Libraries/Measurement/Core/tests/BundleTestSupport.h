// For the bundling and sampling tests: an enabled engine on a fresh device
// and a virtual clock, with its real database; raw events written with the
// storage's own operations; each queued bundle read back as sqlite3 writes
// it out, through gzip -dc and protoc.
#pragma once

#include <atomic>
#include <future>
#include <map>
#include <sstream>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/testing/MSRRandomTesting.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"
#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"

namespace msr_testing {

// One queued bundle as protoc prints it, with its events and user
// properties picked out.
struct DecodedEvent {
  std::string name;
  int64_t timestamp = 0;
  std::map<std::string, std::string> params;  // name -> value as printed ("10", "\"EUR\"")
  std::string text;
};
struct DecodedBundle {
  std::string text;
  std::vector<DecodedEvent> events;
  std::map<std::string, std::string> userAttributes;  // name -> value as printed
  std::map<std::string, std::string> fields;          // top-level scalars; repeated ones joined by ","
  std::vector<std::string> eventNames() const {
    std::vector<std::string> names;
    for (const auto& event : events) names.push_back(event.name);
    return names;
  }
};

inline DecodedBundle parseBundleText(const std::string& text) {
  DecodedBundle bundle;
  bundle.text = text;
  std::istringstream lines(text);
  std::string line, block, userAttributeName, userAttributeValue, paramName;
  int depth = 0;
  auto valueOf = [](const std::string& trimmed) { return trimmed.substr(trimmed.find(": ") + 2); };
  while (std::getline(lines, line)) {
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) continue;
    std::string trimmed = line.substr(indent);
    if (trimmed == "}") {
      --depth;
      if (depth == 0 && block == "user_attributes") bundle.userAttributes[userAttributeName] = userAttributeValue;
      continue;
    }
    if (trimmed.back() == '{') {
      if (depth == 0) {
        block = trimmed.substr(0, trimmed.find(' '));
        if (block == "events") bundle.events.emplace_back();
        userAttributeName.clear();
        userAttributeValue.clear();
      }
      ++depth;
      continue;
    }
    if (depth == 0) {
      std::string key = trimmed.substr(0, trimmed.find(':'));
      auto& field = bundle.fields[key];
      field += (field.empty() ? "" : ",") + valueOf(trimmed);
    } else if (block == "events") {
      DecodedEvent& event = bundle.events.back();
      event.text += trimmed + "\n";
      if (depth == 1 && trimmed.rfind("name: ", 0) == 0) event.name = valueOf(trimmed).substr(1, valueOf(trimmed).size() - 2);
      if (depth == 1 && trimmed.rfind("timestamp_millis: ", 0) == 0) event.timestamp = std::stoll(valueOf(trimmed));
      if (depth == 2 && trimmed.rfind("name: ", 0) == 0) {
        paramName = valueOf(trimmed).substr(1, valueOf(trimmed).size() - 2);
      } else if (depth == 2 && trimmed.find("_value: ") != std::string::npos) {
        event.params[paramName] = valueOf(trimmed);
      }
    } else if (block == "user_attributes") {
      if (trimmed.rfind("name: ", 0) == 0) {
        userAttributeName = valueOf(trimmed).substr(1, valueOf(trimmed).size() - 2);
      } else if (trimmed.find("_value: ") != std::string::npos) {
        userAttributeValue = valueOf(trimmed);
      }
    }
  }
  return bundle;
}

class BundleTest : public ConfigTest {
 protected:
  static constexpr double kNow = 1700000000.0;  // 2023-11-14 22:13:20 UTC
  static constexpr const char* kAppID = "1:123:ios:abc";

  void SetUp() override {
    ConfigTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kNow));
    persistedConfig_ = MSRPersistedConfig::initWithSuiteName("engine");
    manager_ = std::make_shared<ScriptedManager>();
    auto scheduler = std::make_shared<MSRScheduler>("com.zorori.zova.worker");
    auto alarm = MSRAlarm::initWithDispatchQueue(scheduler->workerQueue(), "Measurement timer");
    engine_ = MSRMeasurement::initWithDatabaseName(MSRMeasurement::kDatabaseName, persistedConfig_, makeNetwork(), scheduler,
                                                   alarm, kAppID, true, false, {}, manager_);
    worker([] {});
    ASSERT_NE(engine_->database(), nullptr);
    // The cases start from an empty database: the start's own events (first
    // open, engagement) go, and with them the upload timer they armed.
    fresh();
    worker([&] { engine_->updateSchedule(); });
    path_ = MSRApplicationSupportFilePath(MSRMeasurement::kDatabaseName);
    metadata_ = metadataBundle(kAppID);
  }
  void TearDown() override {
    worker([&] { engine_.reset(); });
    MSRConsentSettingsUtil::setConsentSettings(std::nullopt);
    MSRMeasurementForgetSharedInstanceForTesting();
    ConfigTest::TearDown();
  }

  // The engine's network client; none here.
  virtual std::shared_ptr<ZULNetwork> makeNetwork() { return nullptr; }

  // Starts a table case over: an empty database, no consent settings.
  void fresh() {
    worker([&] {
      ns::Error error;
      EXPECT_TRUE(engine_->database()->reset(&error)) << error.description();
    });
    MSRConsentSettingsUtil::setConsentSettings(std::nullopt);
  }

  // Runs the block on the worker queue's thread and waits for it, turning
  // the main run loop meanwhile: writing an event asks the main thread for
  // the vendor identifier.
  void worker(const std::function<void()>& block) {
    std::atomic<bool> done{false};
    engine_->scheduler()->workerQueue()->async([&] {
      block();
      done = true;
      dispatch::Queue::main()->async([] {});
    });
    dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, 600);
  }

  // Applies a configuration of these settings ("name", "value") and
  // further text-form fields.
  void configure(const std::vector<std::pair<std::string, std::string>>& settings, const std::string& more = "") {
    // A configuration without settings is not parsed at all: one unknown
    // setting keeps it apart from that case.
    std::string text = "version: 42 zmp_app_id: \"" + std::string(kAppID) + "\" " +
                       "settings { name: \"test.unused\" value: \"1\" } ";
    for (const auto& [name, value] : settings) {
      text += "settings { name: \"" + name + "\" value: \"" + value + "\" } ";
    }
    std::string bytes = protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto", text + more);
    ASSERT_FALSE(bytes.empty()) << text;
    auto config = MSRPBMeasurementConfig::initWithBuffer(bytesOf(bytes));
    bool applied = false;
    worker([&] { applied = engine_->remoteConfigInstance()->updateMeasurementConfig(config); });
    ASSERT_TRUE(applied);
  }

  static std::shared_ptr<MSRPBMeasurementBundle> metadataBundle(const std::string& appID) {
    auto metadata = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(metadata.get(), kBundleAppID, appID);
    MSRPBMessageSetString(metadata.get(), 8, "ios");
    return metadata;
  }

  static std::shared_ptr<MSREvent> event(const std::string& name, double timestamp, const MSRValueMap& params = {},
                                         const std::string& origin = "app") {
    bool isPublic = !name.empty() && name[0] != '_';
    auto made = MSREvent::initWithOrigin(origin, isPublic, name, timestamp, 0, params);
    EXPECT_NE(made, nullptr) << name;
    return made;
  }

  // Stores raw events with their metadata, as the event pipeline does,
  // in one transaction.
  void store(const std::vector<std::shared_ptr<MSREvent>>& events, std::shared_ptr<MSRPBMeasurementBundle> metadata = nullptr,
             bool isRealtime = false) {
    if (!metadata) metadata = metadata_;
    worker([&] {
      auto database = engine_->database();
      ns::Error error;
      bool stored = database->performTransaction([&] {
        if (!database->insertIfNotExistsRawEventMetadata(metadata, &error)) return false;
        for (const auto& e : events) {
          if (!database->insertRawEvent(e, metadataFingerprint(*metadata), isRealtime, &error)) return false;
        }
        return true;
      });
      EXPECT_TRUE(stored) << error.description();
    });
  }

  bool step() {
    bool progressed = false;
    worker([&] { progressed = engine_->bundleRawEvents(); });
    return progressed;
  }
  // Steps until bundling answers NO; the number of YES answers.
  int bundleAll() {
    int steps = 0;
    while (step()) {
      if (++steps > 10000) break;
    }
    return steps;
  }

  std::string sql(const std::string& query) { return sqlite(path_, query); }

  // Every queued bundle, oldest first, read as another program would.
  std::vector<DecodedBundle> queued() {
    std::vector<DecodedBundle> out;
    std::string ids = sql("SELECT rowid FROM queue ORDER BY rowid");
    std::istringstream lines(ids);
    std::string id;
    while (std::getline(lines, id)) {
      if (id.empty()) continue;
      std::string file;
      sqliteBlob(path_, "SELECT data FROM queue WHERE rowid = " + id, &file);
      std::string encoded;
      EXPECT_EQ(run("gzip -dc < " + shellQuoted(file), &encoded), 0);
      std::string text = protoc("--decode=msrpb.MeasurementBundle UploadMessages.proto", encoded);
      EXPECT_FALSE(text.empty()) << "bundle " << id << " does not decode";
      out.push_back(parseBundleText(text));
    }
    return out;
  }
  // The number of events in each queued bundle.
  std::vector<size_t> bundleSizes() {
    std::vector<size_t> sizes;
    for (const auto& bundle : queued()) sizes.push_back(bundle.events.size());
    return sizes;
  }

  // Today's day number for the daily counts.
  int32_t today() {
    return static_cast<int32_t>(std::floor((kNow - persistedConfig_->midnightOffset()) / 86400.0));
  }

  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::shared_ptr<ScriptedManager> manager_;
  std::shared_ptr<MSRMeasurement> engine_;
  std::shared_ptr<MSRPBMeasurementBundle> metadata_;
};

}  // namespace msr_testing
