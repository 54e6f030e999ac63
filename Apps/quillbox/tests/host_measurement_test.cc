// The program ships measurement: a launch's configure step finds the facade
// by its class name and starts the engine for the default app with origin
// "fa", which keeps the options file's app ID and creates its database.
// sqlite3 and plistutil read what the launch left behind.
#include <gtest/gtest.h>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace quillbox {
namespace {

using testing::runProgram;
using testing::shellQuoted;

TEST(HostMeasurementTest, ALaunchStartsMeasurementThroughTheConfigureStep) {
  testing::DeviceDirectory device;
  auto run = runProgram(device.path(), "quit\n");
  ASSERT_TRUE(run.exitedCleanly()) << run.errors;

  std::string bundled = std::string(QUILLBOX_SOURCE_DIR) + "/Notes/Resources/Quillbox.app/ZororiService-Info.plist";
  std::string appID =
      ns::testing::runCommand("plistutil -i " + shellQuoted(bundled) + " -f xml | grep -A1 '<key>ZORORI_APP_ID</key>' "
                              "| sed -n 's:.*<string>\\(.*\\)</string>.*:\\1:p'");
  ASSERT_FALSE(appID.empty());

  std::string persisted = ns::testing::runCommand(
      "plistutil -i " + shellQuoted(device.path("App/Library/Preferences/com.zorori.zmp.measurement.plist")) +
      " -f xml");
  EXPECT_NE(persisted.find("<key>/zorori/measurement/zmp_app_id</key>\n\t<string>" + appID.substr(0, appID.size() - 1) +
                           "</string>"),
            std::string::npos)
      << persisted;
  EXPECT_EQ(persisted.find("rivar_app_id"), std::string::npos) << "the origin is \"fa\", not the ads library's";

  std::string database = device.path("App/Library/Application Support/Zorori/Measurement/zorori-app-measurement.sql");
  std::string tables = ns::testing::runCommand("sqlite3 -batch " + shellQuoted(database) + " .tables");
  EXPECT_NE(tables.find("raw_events"), std::string::npos) << tables;
  EXPECT_NE(tables.find("purchase_transactions"), std::string::npos) << tables;
}

}  // namespace
}  // namespace quillbox
