// The device's clock across launches never goes back.
#include <gtest/gtest.h>

#include <filesystem>

#include "Apps/quillbox/DeviceClock.h"
#include "Apps/quillbox/tests/ProgramRun.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/PropertyList.h"

namespace quillbox {
namespace {

namespace fs = std::filesystem;

TEST(DeviceClockTest, StartsAtRealTimePlusItsLeadAndNeverBeforeWhatItShowed) {
  testing::DeviceDirectory device;
  const ns::Date real(800000000.0);
  EXPECT_EQ(DeviceClock::startingTime(real, device.path()), real);  // a new device
  struct Case {
    const char* name;
    double offset;
    double shown;  // from `real`
    double start;  // from `real`
  };
  const Case cases[] = {
      {"ahead of real time", 3600, -100, 3600},
      {"showed a later time", 10, 86400, 86400},
      {"behind real time", -500, -600, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Dictionary saved{{"offset", ns::Value(c.offset)}, {"shown", ns::Value(real.addingTimeInterval(c.shown))}};
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(saved), DeviceClock::path(device.path()),
                                          ns::PropertyListFormat::Binary, nullptr));
    EXPECT_EQ(DeviceClock::startingTime(real, device.path()), real.addingTimeInterval(c.start));
  }
}

TEST(DeviceClockTest, SavedClockReadsBackWhereItStood) {
  testing::DeviceDirectory device;
  ns::Clock::useVirtual(ns::Date(900000000.0));
  DeviceClock::save(device.path());
  ns::Clock::useReal();
  EXPECT_EQ(DeviceClock::startingTime(ns::Date(800000000.0), device.path()), ns::Date(900000000.0));
}

// As a person finds it: a day moved ahead in one launch, then a note in the
// next is still newer than the automatic backup of the first, so it gets a
// backup of its own.
TEST(DeviceClockTest, ALaterLaunchDoesNotGoBackBeforeTheLastBackup) {
  testing::DeviceDirectory device;
  auto first = testing::runProgram(device.path(),
                                   "set NTSettingsAutoBackup YES\nadvance 1d\ntap AddButton-Ball\ntype One\nquit\n");
  ASSERT_TRUE(first.exitedCleanly()) << first.output << first.errors;
  auto second = testing::runProgram(device.path(), "back\ntap AddButton-Ball\ntype Two\nback\nquit\n");
  ASSERT_TRUE(second.exitedCleanly()) << second.output << second.errors;
  size_t archives = 0;
  for (const auto& entry : fs::directory_iterator(device.path("App/Documents/backups.Notes")))
    archives += entry.path().extension() == ".quillbox";
  EXPECT_EQ(archives, 2u);
}

}  // namespace
}  // namespace quillbox
