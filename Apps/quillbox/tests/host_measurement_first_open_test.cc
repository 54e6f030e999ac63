// The program reports its own first launch: the engine started by the
// configure step records the first open ("_f") and its engagement ("_e"),
// and a second launch of the same device records no other first open.
// sqlite3 reads what the launches left behind.
#include <gtest/gtest.h>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace quillbox {
namespace {

using testing::runProgram;
using testing::shellQuoted;

TEST(HostMeasurementTest, TheFirstLaunchRecordsItsFirstOpenAndEngagementOnce) {
  testing::DeviceDirectory device;
  std::string database = device.path("App/Library/Application Support/Zorori/Measurement/zorori-app-measurement.sql");
  // The first open, and whether engagement followed it (the session and
  // screens report more of it as the program runs).
  auto names = [&] {
    return ns::testing::runCommand("sqlite3 -batch " + shellQuoted(database) +
                                   " \"SELECT name FROM raw_events WHERE name = '_f' UNION ALL SELECT '_e' WHERE "
                                   "EXISTS (SELECT 1 FROM raw_events WHERE name = '_e' AND rowid > (SELECT min(rowid) "
                                   "FROM raw_events WHERE name = '_f'))\"");
  };
  auto first = runProgram(device.path(), "quit\n");
  ASSERT_TRUE(first.exitedCleanly()) << first.errors;
  EXPECT_EQ(names(), "_f\n_e\n");
  EXPECT_EQ(ns::testing::runCommand("sqlite3 -batch " + shellQuoted(database) +
                                    " \"SELECT count(*) FROM user_attributes WHERE name IN ('_fot', '_fi')\""),
            "2\n");

  auto second = runProgram(device.path(), "quit\n");
  ASSERT_TRUE(second.exitedCleanly()) << second.errors;
  EXPECT_EQ(names(), "_f\n_e\n") << "a later launch is no first open";
}

}  // namespace
}  // namespace quillbox
