// For the tests of the crash reporter's defaults and its users: a fresh
// device, and the shared store loaded afresh from it.
#pragma once

#include <filesystem>

#include "Libraries/CrashReporter/DVCRUserDefaults.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"

namespace dvcr_testing {

class DefaultsTest : public CrashReporterTest {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    DVCRUserDefaultsResetForTesting();
  }
  void TearDown() override {
    ns::Bundle::setMainBundlePath("");
    DVCRUserDefaultsResetForTesting();
  }

  // Makes a bundle with this Info.plist the main bundle until the test ends.
  void useBundle(const std::string& name, const ns::Dictionary& info) {
    std::filesystem::create_directories(path(name));
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(info), path(name + "/Info.plist"), ns::PropertyListFormat::XML,
                                          nullptr));
    ns::Bundle::setMainBundlePath(path(name));
  }

  static std::shared_ptr<DVCRUserDefaults> defaults() { return DVCRUserDefaults::standardUserDefaults(); }
  // A value of the file as `plistutil` prints it (the line after its key).
  std::string plistValue(const std::string& key) {
    std::string xml = run("plistutil -f xml -i '" + defaults()->filePath() + "'");
    size_t at = xml.find("<key>" + key + "</key>");
    if (at == std::string::npos) return "(absent)";
    size_t open = xml.find('>', xml.find('<', at + key.size() + 11)) + 1;
    return xml.substr(open, xml.find('<', open) - open);
  }
};

}  // namespace dvcr_testing
