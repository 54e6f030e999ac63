#include "Platform/Foundation/Device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

// Sets an environment variable for the scope, restoring it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Device, FactsPersistAcrossBoots) {
  testing::TemporaryDevice device;
  EXPECT_EQ(device.device().facts(), DeviceFacts{});
  DeviceFacts facts;
  facts.idiom = UserInterfaceIdiom::Pad;
  facts.orientation = DeviceOrientation::LandscapeRight;
  facts.localeIdentifier = "de_DE";
  facts.timeZoneName = "Europe/Berlin";
  facts.systemBuildVersion = "21C62";
  facts.iCloudSignedIn = true;
  facts.executableEncrypted = true;
  facts.sandboxReceipt = true;
  facts.biometry = Biometry::FaceID;
  ASSERT_TRUE(device.device().setFacts(facts));

  Device& again = Device::boot(device.directory());  // the next launch
  EXPECT_EQ(again.facts(), facts);
  auto stored = readDictionaryFile(device.path("device.plist"));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->find("idiom")->integerValue(), 1);
  EXPECT_EQ(*stored->find("timeZoneName")->asString(), "Europe/Berlin");
}

TEST(Device, DamagedFactsFileGivesDefaults) {
  testing::TemporaryDevice device;
  const std::pair<const char*, std::string> cases[] = {
      {"garbage", "not a property list"},
      {"truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>idiom</key>"},
      {"wrong types and ranges",
       "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>idiom</key><integer>7</integer>"
       "<key>orientation</key><string>3</string><key>iCloudSignedIn</key><integer>1</integer>"
       "<key>biometry</key><integer>3</integer>"
       "<key>localeIdentifier</key><string>fr_FR</string></dict></plist>"},
  };
  for (const auto& [what, content] : cases) {
    SCOPED_TRACE(what);
    std::ofstream(device.path("device.plist"), std::ios::trunc) << content;
    DeviceFacts facts = Device::boot(device.directory()).facts();
    EXPECT_EQ(facts.idiom, UserInterfaceIdiom::Phone);
    EXPECT_EQ(facts.orientation, DeviceOrientation::Portrait);
    EXPECT_FALSE(facts.iCloudSignedIn);
    EXPECT_EQ(facts.biometry, Biometry::None);
    EXPECT_EQ(facts.localeIdentifier, std::string(what) == "wrong types and ranges" ? "fr_FR" : "en_US");
  }
}

TEST(Device, DirectoryResolution) {
  ScopedEnv xdg("XDG_DATA_HOME", "/xdg");
  {
    ScopedEnv env("QUILLBOX_DEVICE", "/from/env/../dev");
    EXPECT_EQ(Device::resolveDirectory("/explicit/dir"), "/explicit/dir");
    EXPECT_EQ(Device::resolveDirectory(), "/from/dev");
  }
  ScopedEnv env("QUILLBOX_DEVICE", nullptr);
  EXPECT_EQ(Device::resolveDirectory(), "/xdg/quillbox/device");
}

}  // namespace
}  // namespace ns
