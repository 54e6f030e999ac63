// For the sessions tests: fixed settings, network and clock, application
// facts of the test's choosing on a fresh device, and the sessions part's
// log lines read back (without the common prefix) with their levels.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/SessionStartEvent.h"
#include "Libraries/EventTransport/Sessions/SettingsProtocol.h"
#include "Libraries/EventTransport/Sessions/Time.h"
#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace sessions_testing {

class FixedSettings : public SettingsProtocol {
 public:
  explicit FixedSettings(double timeout = 1800, double rate = 1.0, bool enabled = true)
      : timeout_(timeout), rate_(rate), enabled_(enabled) {}
  bool sessionsEnabled() const override { return enabled_; }
  double samplingRate() const override { return rate_; }
  double sessionTimeout() const override { return timeout_; }
  void updateSettings() override {}

 private:
  double timeout_;
  double rate_;
  bool enabled_;
};

class FixedNetworkInfo : public NetworkInfoProtocol {
 public:
  explicit FixedNetworkInfo(int32_t type = -1, std::string subtype = "") : type_(type), subtype_(std::move(subtype)) {}
  int32_t networkType() const override { return type_; }
  std::string mobileSubtype() const override { return subtype_; }

 private:
  int32_t type_;
  std::string subtype_;
};

class FixedTime : public TimeProvider {
 public:
  explicit FixedTime(uint64_t microseconds) : microseconds_(microseconds) {}
  uint64_t timestampUs() const override { return microseconds_; }

 private:
  uint64_t microseconds_;
};

inline constexpr const char* kAppID = "1:1234567890:ios:abcdef";
inline constexpr const char* kSessionID = "0123456789abcdef0123456789abcdef";
inline constexpr const char* kFirstSessionID = "fedcba9876543210fedcba9876543210";

inline ApplicationInfo makeApplicationInfo(std::map<std::string, std::string> environment = {}) {
  return ApplicationInfo(kAppID, std::make_shared<FixedNetworkInfo>(), std::move(environment),
                         ns::Dictionary{{"CFBundleVersion", ns::Value("118")},
                                        {"CFBundleShortVersionString", ns::Value("2.4")}});
}

inline SessionInfo makeSessionInfo(int32_t index = 0) {
  return SessionInfo{kSessionID, kFirstSessionID, true, index};
}

// A device whose facts every event test knows: a phone of model
// "iPhone14,2" on system 16.0.
class SessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZULLoggerResetForTesting();
    ZOVLoggerApplyLevel(ZULLoggerLevelDebug);
    systemlog::LegacyLogStore::shared().clear();
  }
  void TearDown() override { ZULLoggerResetForTesting(); }

  std::shared_ptr<SessionStartEvent> makeEvent(const SessionInfo& session = makeSessionInfo()) {
    return std::make_shared<SessionStartEvent>(session, makeApplicationInfo(), FixedTime(1700000000000000));
  }

  // The sessions part's lines so far: level and message.
  static std::vector<std::pair<int, std::string>> sessionLines() {
    ZULLoggerWaitForWritesForTesting();
    const std::string prefix =
        std::string(" - ") + kZOVSESLogService + "[" + kZOVSESLogMessageCode + "] ";
    std::vector<std::pair<int, std::string>> lines;
    for (auto& line : systemlog::LegacyLogStore::shared().search(
             {{"Facility", systemlog::LegacyCondition::Op::Equal, kZULLoggerFacility}})) {
      const std::string& message = line["Message"];
      size_t at = message.find(prefix);
      if (at == std::string::npos) continue;
      lines.emplace_back(std::stoi(line["Level"]), message.substr(at + prefix.size()));
    }
    return lines;
  }
  static void clearLines() {
    ZULLoggerWaitForWritesForTesting();
    systemlog::LegacyLogStore::shared().clear();
  }

  ns::testing::TemporaryDevice device_;
};

}  // namespace sessions_testing
