// Where measurement runs: store install and test receipts from the
// device's facts and the bundle's files, extensions, the device facts sent
// with measurement data, and switching off an older library.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRBackwardCompatibilityUtil.h"
#include "Libraries/Measurement/Core/MSREnvironmentInfo.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/Application.h"

namespace {

using msr_testing::ConfigTest;

class MSRAEUTest : public ConfigTest {
 protected:
  void setFacts(const std::function<void(ns::DeviceFacts&)>& change) {
    ns::DeviceFacts facts = device_.device().facts();
    change(facts);
    device_.device().setFacts(facts);
  }
};

TEST_F(MSRAEUTest, AStoreInstallFollowsTheFactsAndTheBundlesFiles) {
  struct Case {
    const char* what;
    std::string model = "iPhone14,2";
    bool encrypted = false, sandboxReceipt = false, scInfo = false, provisioning = false, receiptCheckOff = false;
    bool fromStore;
    bool sandbox;
  } cases[] = {
      {"a development build", "iPhone14,2", false, false, false, false, false, false, false},
      {"encrypted, no profile", "iPhone14,2", true, false, false, false, false, true, false},
      {"encrypted with a profile", "iPhone14,2", true, false, false, true, false, false, false},
      {"SC_Info", "iPhone14,2", false, false, true, false, false, true, false},
      {"a test receipt", "iPhone14,2", true, true, true, false, false, false, true},
      {"a test receipt, check off", "iPhone14,2", true, true, false, false, true, true, false},
      {"a simulator", "x86_64", true, false, true, false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setFacts([&](ns::DeviceFacts& f) {
      f.modelIdentifier = c.model;
      f.executableEncrypted = c.encrypted;
      f.sandboxReceipt = c.sandboxReceipt;
    });
    ns::Dictionary info{{"CFBundleIdentifier", "com.tavrix.Quillbox"}};
    if (c.receiptCheckOff) info.set("DozaveveAppStoreReceiptURLCheckEnabled", false);
    const std::string name = std::string("Case") + std::to_string(&c - cases);
    installMainBundle(info, name);
    const std::string bundle = device_.path(name + ".app");
    if (c.scInfo) msr_testing::writeFile(bundle + "/SC_Info", "");
    if (c.provisioning) msr_testing::writeFile(bundle + "/embedded.mobileprovision", "profile");
    EXPECT_EQ(MSRAEU::isFAS(), c.fromStore);
    EXPECT_EQ(MSRAEU::isASRS(), c.sandbox);
    EXPECT_EQ(MSRAEU::appStoreRURL().has_value(), !c.receiptCheckOff);
    EXPECT_EQ(MSRAEU::isNOD(), c.model == "x86_64");
    EXPECT_EQ(MSRAEU::deviceModel(), c.model);
  }
}

TEST_F(MSRAEUTest, InsideAnExtensionThereIsNoSharedApplication) {
  installMainBundle({}, "Quillbox");
  EXPECT_FALSE(MSRAEU::isAEX());
  EXPECT_EQ(MSRAEU::sharedApplication(), &ui::Application::shared());
  const std::string extension = device_.path("Quillbox.app/PlugIns/Jotshare.appex");
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(extension, true));
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(ns::Dictionary{}), extension + "/Info.plist",
                                        ns::PropertyListFormat::XML, nullptr));
  ns::Bundle::setMainBundlePath(extension);
  EXPECT_TRUE(MSRAEU::isAEX());
  EXPECT_EQ(MSRAEU::sharedApplication(), nullptr);
}

class MSREnvironmentInfoTest : public MSRAEUTest {
 protected:
  void TearDown() override {
    ns::TimeZone::resetDefault();
    MSRAEUTest::TearDown();
  }
};

TEST_F(MSREnvironmentInfoTest, TimeZoneOffsetsInWholeMinutes) {
  struct Case {
    int seconds;
    int32_t minutes;
  } cases[] = {{0, 0}, {5 * 3600 + 45 * 60, 345}, {-(3 * 3600 + 30 * 60), -210}, {-(3600 + 59), -60}};
  for (const auto& c : cases) {
    ns::TimeZone::setDefault(*ns::TimeZone::forSecondsFromGMT(c.seconds));
    EXPECT_EQ(MSREnvironmentInfo::sharedInstance()->timeZoneOffsetMinutes(), c.minutes) << c.seconds;
  }
  ns::TimeZone::setDefault(*ns::TimeZone::named("Asia/Kathmandu"));
  EXPECT_EQ(MSREnvironmentInfo::sharedInstance()->timeZoneOffsetMinutes(), 345);
}

TEST_F(MSREnvironmentInfoTest, LanguageModelAndSystem) {
  auto info = std::make_shared<MSREnvironmentInfo>();
  setFacts([](ns::DeviceFacts& f) {
    f.preferredLanguages = std::vector<std::string>{"pt-BR", "en"};
    f.systemVersion = "16.4.1";
    f.modelIdentifier = "";
  });
  EXPECT_EQ(info->userDefaultLanguage(), "pt-br");
  EXPECT_EQ(info->deviceOSVersion(), "16.4.1");
  EXPECT_EQ(info->deviceModel(), "");
  setFacts([](ns::DeviceFacts& f) {
    f.preferredLanguages = std::vector<std::string>{};
    f.modelIdentifier = "iPad13,4";
  });
  EXPECT_EQ(info->userDefaultLanguage(), std::nullopt);
  EXPECT_EQ(info->deviceModel(), "iPad13,4");
  setFacts([](ns::DeviceFacts& f) { f.modelIdentifier = "iPhone15,3"; });
  EXPECT_EQ(info->deviceModel(), "iPad13,4") << "taken once";
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{14000, 14001}));
}

TEST_F(MSRAEUTest, AnOlderMeasurementLibraryIsSwitchedOff) {
  struct Instance {
    bool enabled = true;
  };
  EXPECT_FALSE(MSRBackwardCompatibilityUtil::disableRERUzerovarira()) << "no such class";
  for (bool hasInstance : {true, false}) {
    SCOPED_TRACE(hasInstance);
    auto instance = hasInstance ? std::make_shared<Instance>() : nullptr;
    auto cls = std::make_shared<rt::Class>("RERUzerovarira");
    cls->setMethod("sharedInstance",
                   rt::implementationWithBlock<std::shared_ptr<void>(const rt::Class&)>(
                       [instance](const rt::Class&) -> std::shared_ptr<void> { return instance; }),
                   rt::MethodKind::Class);
    cls->setMethod("setIsEnabled:",
                   rt::implementationWithBlock<void(const std::shared_ptr<void>&, bool)>(
                       [](const std::shared_ptr<void>& receiver, bool enabled) {
                         static_cast<Instance*>(receiver.get())->enabled = enabled;
                       }),
                   rt::MethodKind::Instance);
    rt::registerClass(cls);
    EXPECT_EQ(MSRBackwardCompatibilityUtil::disableRERUzerovarira(), hasInstance);
    if (instance) EXPECT_FALSE(instance->enabled);
    rt::unregisterClass("RERUzerovarira");
  }
  // A class without the instance method is left alone.
  auto bare = std::make_shared<rt::Class>("RERUzerovarira");
  bare->setMethod("sharedInstance",
                  rt::implementationWithBlock<std::shared_ptr<void>(const rt::Class&)>(
                      [](const rt::Class&) { return std::make_shared<int>(1); }),
                  rt::MethodKind::Class);
  rt::registerClass(bare);
  EXPECT_FALSE(MSRBackwardCompatibilityUtil::disableRERUzerovarira());
  rt::unregisterClass("RERUzerovarira");
}

}  // namespace
