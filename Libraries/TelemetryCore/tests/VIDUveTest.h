// For the tests of configured apps: a fresh device on a virtual clock,
// the core's debug lines switched on, and no apps, libraries waiting to be
// told or records of the library stand-ins left from an earlier case.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"
#include "Libraries/TelemetryCore/tests/HeartbeatTestSupport.h"
#include "Libraries/TelemetryCore/tests/doubles/TelemetryDoubles.h"
#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/Application.h"

namespace zov_testing {

inline constexpr const char* kAppOptionsXML = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>API_KEY</key><string>AQbxTestKey-123</string>
  <key>ZCM_SENDER_ID</key><string>123</string>
  <key>PROJECT_ID</key><string>quillbox-test</string>
  <key>BUNDLE_ID</key><string>com.tavrix.Quillbox</string>
  <key>ZORORI_APP_ID</key><string>1:123:ios:abc</string>
</dict>
</plist>
)";

class VIDUveTest : public HeartbeatTest {
 protected:
  void SetUp() override {
    HeartbeatTest::SetUp();
    boot({});
  }
  void TearDown() override {
    VIDUveResetForTesting();
    ui::Application::shared().reset();
    HeartbeatTest::TearDown();
  }

  // A new launch on a fresh device whose main bundle has `info` (and is an
  // app extension when its name ends in ".appex").
  void boot(const ns::Dictionary& info, const std::string& bundleName = "Quillbox.app") {
    useApp(info, {}, {}, bundleName);
    relaunch({"-ZOVDebugEnabled"});
    VIDUveResetForTesting();
    telemetry_doubles::clearRecords();
    ui::Application::shared().reset();
  }

  // Options set in code for `appID`, with the main bundle's identifier.
  static std::shared_ptr<REVUvevivo> optionsWithAppID(const std::string& appID) {
    return std::make_shared<REVUvevivo>(appID, "123");
  }

  // The core line with `code` as it is written.
  static std::string coreLine(const std::string& code, const std::string& message) {
    return "10.16.0 - [DozaveveCore][" + code + "] " + message;
  }
};

// The reason of the ns::Exception `call` throws, when it has `name`.
inline ::testing::AssertionResult throwsWithReason(const std::function<void()>& call, const std::string& name,
                                                   const std::string& reason) {
  try {
    call();
  } catch (const ns::Exception& e) {
    if (e.name() == name && e.reason() == reason) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "threw " << e.name() << ": " << e.reason();
  }
  return ::testing::AssertionFailure() << "threw nothing";
}

}  // namespace zov_testing
