// For the telemetry core's tests: the utilities' fresh device and main
// bundle, plus what a new launch forgets (the core logger's set-up, the
// default options, the launch arguments, the standard defaults object), and
// the core's lines read back.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/testing/ZOVLoggerTesting.h"
#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {

inline constexpr const char* kTestBundleIdentifier = "com.tavrix.Quillbox";

class TelemetryCoreTest : public zul_testing::ZULEnvironmentTest {
 protected:
  void SetUp() override {
    savedArguments_ = ns::ProcessInfo::processInfo().arguments();
    useApp({});
  }
  void TearDown() override {
    relaunch({});
    ns::ProcessInfo::processInfo().setArguments(savedArguments_);
    zul_testing::ZULEnvironmentTest::TearDown();
  }

  // A fresh device whose main bundle is "Quillbox.app" with the identifier
  // above plus `info`, holding `files` (empty).
  void useApp(const ns::Dictionary& info, const std::vector<std::string>& files = {},
              const ns::DeviceFacts& facts = {}, const std::string& bundleName = "Quillbox.app") {
    zul_testing::BundleContents bundle;
    bundle.name = bundleName;
    bundle.info = info;
    if (!bundle.info.contains(ns::Bundle::kIdentifierKey)) {
      bundle.info.set(ns::Bundle::kIdentifierKey, ns::Value(kTestBundleIdentifier));
    }
    bundle.files = files;
    useDevice(facts, bundle);
    relaunch({});
  }

  // What a new launch of the program on the same device starts from.
  void relaunch(const std::vector<std::string>& arguments) {
    ZULLoggerResetForTesting();
    ZOVLoggerResetForTesting();
    REVUvevivo::resetDefaultOptions();
    ns::UserDefaults::resetStandardUserDefaults();
    std::vector<std::string> all{"quillbox"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    ns::ProcessInfo::processInfo().setArguments(all);
    systemlog::LegacyLogStore::shared().clear();
  }

  std::string bundlePath() const { return ns::Bundle::mainBundle()->bundlePath(); }

  // Writes `xml` through plistutil into the main bundle as
  // "ZororiService-Info.plist" in the given format ("xml" or "bin").
  std::string writeOptionsFile(const std::string& xml, const std::string& format) {
    std::string source = device_->path("options-source.xml");
    std::ofstream(source) << xml;
    std::string target = bundlePath() + "/ZororiService-Info.plist";
    int status = 0;
    std::string out =
        ns::testing::runCommand("plistutil -i '" + source + "' -o '" + target + "' -f " + format + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return target;
  }

  // The messages of the core's lines with `code`.
  static std::vector<std::string> linesWithCode(const std::string& code) {
    std::vector<std::string> out;
    for (const auto& message : loggerMessages()) {
      if (message.find("[" + code + "]") != std::string::npos) out.push_back(message);
    }
    return out;
  }

 private:
  std::vector<std::string> savedArguments_;
};

}  // namespace zov_testing
