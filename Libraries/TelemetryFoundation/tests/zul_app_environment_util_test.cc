#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"

namespace zul_testing {
namespace {

using AppEnvironmentTest = ZULEnvironmentTest;

constexpr const char* kCheckKey = "DozaveveAppStoreReceiptURLCheckEnabled";

TEST_F(AppEnvironmentTest, StoreInstallPerDeviceAndBundle) {
  struct Case {
    const char* what;
    const char* model;
    bool encrypted;
    bool sandboxReceipt;
    std::vector<std::string> files;
    ns::Dictionary info;
    bool receiptSandbox;
    bool fromStore;
  } cases[] = {
      {"a build run from the computer", "iPhone14,2", false, false, {}, {}, false, false},
      {"a store download", "iPhone14,2", true, false, {}, {}, false, true},
      {"an encrypted build with a profile", "iPhone14,2", true, false, {"embedded.mobileprovision"}, {}, false, false},
      {"SC_Info alone", "iPhone14,2", false, false, {"SC_Info"}, {}, false, true},
      {"SC_Info over a profile", "iPhone14,2", false, false, {"SC_Info", "embedded.mobileprovision"}, {}, false, true},
      {"a simulator, whatever the bundle", "x86_64", true, false, {"SC_Info"}, {}, false, false},
      {"an older simulator", "i386", true, false, {"SC_Info"}, {}, false, false},
      {"a test receipt", "iPhone14,2", true, true, {"SC_Info"}, {}, true, false},
      {"a test receipt, check off as a boolean", "iPhone14,2", true, true, {}, {{kCheckKey, false}}, false, true},
      {"a test receipt, check off as a number", "iPhone14,2", true, true, {}, {{kCheckKey, 0}}, false, true},
      {"a test receipt, check on as a number", "iPhone14,2", true, true, {}, {{kCheckKey, 1}}, true, false},
      {"a test receipt, string NO ignored", "iPhone14,2", true, true, {}, {{kCheckKey, "NO"}}, true, false},
  };
  for (const auto& c : cases) {
    ns::DeviceFacts facts;
    facts.modelIdentifier = c.model;
    facts.executableEncrypted = c.encrypted;
    facts.sandboxReceipt = c.sandboxReceipt;
    useDevice(facts, {.info = c.info, .files = c.files});
    EXPECT_EQ(ZULAppEnvironmentUtil::isAppStoreReceiptSandbox(), c.receiptSandbox) << c.what;
    EXPECT_EQ(ZULAppEnvironmentUtil::isFromAppStore(), c.fromStore) << c.what;
    EXPECT_EQ(ZULAppEnvironmentUtil::isSimulator(), std::string(c.model) != "iPhone14,2") << c.what;
  }
}

TEST_F(AppEnvironmentTest, ModelAndPlatformNamesFollowTheDevice) {
  struct Case {
    const char* model;
    ns::UserInterfaceIdiom idiom;
    const char* devicePlatform;
  } cases[] = {
      {"iPhone14,2", ns::UserInterfaceIdiom::Phone, "ios"},
      {"iPad13,4", ns::UserInterfaceIdiom::Phone, "ipados"},  // by the model name
      {"iPad13,4", ns::UserInterfaceIdiom::Pad, "ipados"},
      {"Slate7,1", ns::UserInterfaceIdiom::Pad, "ipados"},  // by the idiom alone
      {"x86_64", ns::UserInterfaceIdiom::Phone, "ios"},
  };
  for (const auto& c : cases) {
    ns::DeviceFacts facts;
    facts.modelIdentifier = c.model;
    facts.idiom = c.idiom;
    facts.systemVersion = "17.2";
    useDevice(facts);
    EXPECT_EQ(ZULAppEnvironmentUtil::deviceModel(), std::optional<std::string>(c.model));
    EXPECT_EQ(ZULAppEnvironmentUtil::deviceSimulatorModel(), std::optional<std::string>(c.model));
    EXPECT_EQ(ZULAppEnvironmentUtil::getSysctlEntry("hw.machine"), std::optional<std::string>(c.model));
    EXPECT_EQ(ZULAppEnvironmentUtil::applePlatform(), "ios");
    EXPECT_EQ(ZULAppEnvironmentUtil::appleDevicePlatform(), c.devicePlatform) << c.model;
    EXPECT_EQ(ZULAppEnvironmentUtil::systemVersion(), "17.2");
  }
  for (const char* unknown : {"kern.osversion", "hw.model", "hw.machine.x", ""})
    EXPECT_EQ(ZULAppEnvironmentUtil::getSysctlEntry(unknown), std::nullopt) << unknown;
  EXPECT_EQ(ZULAppEnvironmentUtil::getSysctlEntry(nullptr), std::nullopt);
  EXPECT_TRUE(ZULAppEnvironmentUtil::isIOS7OrHigher());
  EXPECT_EQ(ZULAppEnvironmentUtil::deploymentType(), "cocoapods");
}

TEST_F(AppEnvironmentTest, AnExtensionIsABundleEndingInAppex) {
  useDevice({}, {.name = "Quillbox.app", .info = {}, .files = {}});
  EXPECT_FALSE(ZULAppEnvironmentUtil::isAppExtension());
  useDevice({}, {.name = "Quillbox.app/PlugIns/Jotshare.appex", .info = {}, .files = {}});
  EXPECT_TRUE(ZULAppEnvironmentUtil::isAppExtension());
}

// Each caller gets its own answer: nothing shared is overwritten under
// another thread's feet.
TEST_F(AppEnvironmentTest, ConcurrentSysctlReadsAgree) {
  ns::DeviceFacts facts;
  facts.modelIdentifier = "iPad13,4";
  useDevice(facts);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i)
        if (ZULAppEnvironmentUtil::getSysctlEntry("hw.machine") != std::optional<std::string>("iPad13,4")) ++wrong;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace zul_testing
