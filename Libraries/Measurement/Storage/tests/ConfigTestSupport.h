// For the configuration tests: a fresh device per case (StorageTest), a
// main bundle made to order, the configuration child as a later launch,
// and the codes the stores logged.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Core/testing/MSRRandomTesting.h"
#include "Libraries/Measurement/Storage/testing/MSRUserDefaultsTesting.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"

namespace msr_testing {

// Makes "<name>.app" in the device with this Info.plist (and, when given,
// a "ZororiService-Info.plist") the main bundle.
inline void installMainBundle(const ns::testing::TemporaryDevice& device, const ns::Dictionary& info,
                              const std::string& name = "Test",
                              const std::optional<ns::Value>& serviceInfo = std::nullopt) {
  std::string bundle = device.path(name + ".app");
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(bundle, true));
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(info), bundle + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
  if (serviceInfo) {
    ASSERT_TRUE(ns::writePropertyListFile(*serviceInfo, bundle + "/ZororiService-Info.plist",
                                          ns::PropertyListFormat::XML, nullptr));
  }
  ns::Bundle::setMainBundlePath(bundle);
}

// The configuration child's standard output on this device (a later
// launch), a line each; the test fails when it does not end well.
inline std::vector<std::string> configChild(const ns::testing::TemporaryDevice& device,
                                            const std::vector<std::string>& arguments) {
  std::string command =
      shellQuoted(MSR_CONFIG_CHILD) + " " + shellQuoted(arguments.at(0)) + " " + shellQuoted(device.directory());
  for (size_t i = 1; i < arguments.size(); ++i) command += " " + shellQuoted(arguments[i]);
  std::string out;
  EXPECT_EQ(run(command, &out), 0) << command;
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(out.substr(start, end - start));
  return lines;
}

class ConfigTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    MSRUserDefaultsForgetPreferenceChoiceForTesting();
  }
  void TearDown() override {
    ns::Bundle::setMainBundlePath({});
    MSRUserDefaultsForgetPreferenceChoiceForTesting();
    MSRMeasurementSetRemoteConfigForTesting(nullptr);
    MSRRandomSetSourceForTesting({});
    ns::Clock::useReal();
    StorageTest::TearDown();
  }

  void installMainBundle(const ns::Dictionary& info, const std::string& name = "Test",
                         const std::optional<ns::Value>& serviceInfo = std::nullopt) {
    msr_testing::installMainBundle(device_, info, name, serviceInfo);
  }

  // Forgets the utilities logger's lines so far.
  static void clearLog() {
    MSRMonitorWaitForTesting();
    systemlog::LegacyLogStore::shared().clear();
  }
  // The "I-ACS" codes of the utilities logger's lines so far, in order.
  static std::vector<long> loggedCodes() {
    std::vector<long> codes;
    for (auto& line : loggerLines()) {
      const std::string& message = line["Message"];
      size_t at = message.find("[I-ACS");
      if (at != std::string::npos) codes.push_back(std::stol(message.substr(at + 6, 6)));
    }
    return codes;
  }
  static bool logged(long code) {
    auto codes = loggedCodes();
    return std::find(codes.begin(), codes.end(), code) != codes.end();
  }

  // Waits until `condition` holds, for what another thread or process does
  // in its own time; false only when it never happens (after a minute).
  template <class Condition>
  static bool eventually(Condition condition) {
    for (int i = 0; i < 60000; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
  }

  static bool exists(const std::string& path) { return ns::FileManager::defaultManager().fileExists(path); }

  std::vector<std::string> child(const std::vector<std::string>& arguments) {
    return configChild(device_, arguments);
  }
};

}  // namespace msr_testing
