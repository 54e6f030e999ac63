// The sessions' downloaded settings and their cache key, stored by one
// launch (tests/settings_child) and read by the next, a fresh process on
// the same device.
#include <gtest/gtest.h>

#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace {

TEST(SessionsSettingsRelaunchTest, TheCachedSettingsAndTheirKeyAreReadByTheNextLaunch) {
  ns::testing::TemporaryDevice device;
  auto launch = [&](const std::string& command) {
    int status = 0;
    std::string out = ns::testing::runCommand(
        std::string(ZOVSES_SETTINGS_CHILD) + " '" + device.directory() + "' " + command + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  };
  EXPECT_EQ(launch("read").substr(launch("read").find("key")), "key none\n") << "nothing cached yet";
  std::string written = launch("write");
  EXPECT_NE(written.find("sampling_rate = 0.5;"), std::string::npos) << written;
  EXPECT_NE(written.find("key 800000000 1:123:ios:abc 1.7 (7)\n"), std::string::npos) << written;
  EXPECT_EQ(launch("read"), written);
}

}  // namespace
