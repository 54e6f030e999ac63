// For the utilities' tests: a fresh device with chosen facts, a main bundle
// of the test's making, and the utilities logger's lines read back from the
// legacy store.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace zul_testing {

struct BundleContents {
  std::string name = "Quillbox.app";
  ns::Dictionary info;
  std::vector<std::string> files;  // relative paths, made empty
};

class ZULEnvironmentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ZULLoggerResetForTesting();
    ns::Bundle::setMainBundlePath({});
  }

  // Boots a fresh device (ending the one before) and makes the bundle main.
  void useDevice(const ns::DeviceFacts& facts, const BundleContents& bundle = {}) {
    ZULLoggerResetForTesting();
    device_.reset();
    device_ = std::make_unique<ns::testing::TemporaryDevice>(facts);
    std::string root = device_->path(bundle.name);
    auto& files = ns::FileManager::defaultManager();
    ASSERT_TRUE(files.createDirectory(root, true));
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(bundle.info), root + "/Info.plist", ns::PropertyListFormat::XML,
                                          nullptr));
    for (const auto& file : bundle.files) ASSERT_TRUE(files.writeData({}, root + "/" + file, {}));
    ns::Bundle::setMainBundlePath(root);
    systemlog::LegacyLogStore::shared().clear();
  }

  // The utilities logger's lines so far ("Level" and "Message" of each).
  static std::vector<systemlog::LegacyMessage> loggerLines() {
    ZULLoggerWaitForWritesForTesting();
    return systemlog::LegacyLogStore::shared().search(
        {{"Facility", systemlog::LegacyCondition::Op::Equal, kZULLoggerFacility}});
  }
  static std::vector<std::string> loggerMessages() {
    std::vector<std::string> out;
    for (auto& line : loggerLines()) out.push_back(line["Message"]);
    return out;
  }

  std::unique_ptr<ns::testing::TemporaryDevice> device_;
};

}  // namespace zul_testing
