// For the sessions tests that launch an app: a fresh device and main bundle
// per case (the core's test fixture) with the transport's store on it, the
// virtual clock, the sessions' log lines read back, and waiting (in real
// time) for work that other queues finish.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"
#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/EventTransport/Sessions/ZOVSessionsProvider.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORTransformer.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/UIKit/Application.h"

namespace ses_testing {

// 2026-01-01 00:00:00 UTC.
inline constexpr double kStartUnixTime = 1767225600;
inline constexpr const char* kAppID = "1:123456789012:ios:0123456789abcdef";

struct SessionsLine {
  int level;
  std::string message;  // after "[DozaveveSessions][I-SES000000] "
  bool operator==(const SessionsLine&) const = default;
};

inline void PrintTo(const SessionsLine& line, std::ostream* out) { *out << line.level << " " << line.message; }

// The installations service's answer, fixed: an ID or an error.
using InstallationResult = std::variant<std::string, ns::Error>;

class FixedInstallations : public InstallationsProtocol {
 public:
  explicit FixedInstallations(InstallationResult result) : result_(std::move(result)) {}
  void installationID(Completion completion) const override { completion(result_); }

 private:
  InstallationResult result_;
};

// A subscriber of a chosen name and collection state that records every
// session ID it is told ("<nil>" for none).
class RecordingSubscriber : public ZOVSessionsSubscriber {
 public:
  RecordingSubscriber(SessionsSubscriberName name, bool collects) : name_(name), collects_(collects) {}
  void onSessionChanged(const ZOVSessionDetails& session) override {
    std::lock_guard lock(mutex_);
    sessions_.push_back(session.sessionId().value_or("<nil>"));
  }
  bool isDataCollectionEnabled() const override { return collects_; }
  SessionsSubscriberName sessionsSubscriberName() const override { return name_; }
  std::vector<std::string> sessions() const {
    std::lock_guard lock(mutex_);
    return sessions_;
  }

 private:
  SessionsSubscriberName name_;
  bool collects_;
  mutable std::mutex mutex_;
  std::vector<std::string> sessions_;
};

class SessionsAppTest : public zov_testing::TelemetryCoreTest {
 protected:
  void SetUp() override {
    zov_testing::TelemetryCoreTest::SetUp();
    // The shared uploader, once start-up has registered it, would take this case's events.
    ZTCORTransportQuietUploadsForTesting();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kStartUnixTime));
  }
  void TearDown() override {
    VIDUveResetForTesting();
    ui::Application::shared().reset();
    ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
    ZTCORFlatFileStorage::sharedInstance()->storageQueue()->sync([] {});
    ZTCORFlatFileStorage::resetSharedInstanceForTesting();
    ZTCORPlatformResetForTesting();
    ns::Clock::useReal();
    zov_testing::TelemetryCoreTest::TearDown();
  }

  // A fresh app whose Info.plist has the versions 2.4 (118) plus `info`,
  // launched with debug lines on.
  void launchApp(ns::Dictionary info = {}, const ns::DeviceFacts& facts = {}) {
    if (!info.contains(ns::Bundle::kVersionKey)) info.set(ns::Bundle::kVersionKey, "118");
    if (!info.contains(ns::Bundle::kShortVersionStringKey)) info.set(ns::Bundle::kShortVersionStringKey, "2.4");
    useApp(info, {}, facts);
    relaunch({"-ZOVDebugEnabled"});
    VIDUveResetForTesting();
    ui::Application::shared().reset();
    // The transport's store and metrics on this device, and no uploader.
    ZTCORFlatFileStorage::resetSharedInstanceForTesting();
    ZTCORMetricsController::resetSharedInstanceForTesting();
    ZTCORPlatformResetForTesting();
    ZTCORTransportRegisterComponentsForTesting();
  }

  static std::vector<SessionsLine> sessionsLines() {
    std::string marker = std::string(kZOVSESLogService) + "[" + kZOVSESLogMessageCode + "] ";
    std::vector<SessionsLine> out;
    for (auto& line : loggerLines()) {
      const std::string& message = line["Message"];
      size_t at = message.find(marker);
      if (at == std::string::npos) continue;
      out.push_back({std::stoi(line["Level"]), message.substr(at + marker.size())});
    }
    return out;
  }
  static bool logged(const SessionsLine& wanted) {
    for (const auto& line : sessionsLines()) {
      if (line == wanted) return true;
    }
    return false;
  }

  // Turns the main run loop until `done` holds or `seconds` of real time
  // have passed; whether it holds.
  static bool waitUntil(const std::function<bool()>& done, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      dispatch::RunLoop::main().runOnce();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
};

}  // namespace ses_testing
