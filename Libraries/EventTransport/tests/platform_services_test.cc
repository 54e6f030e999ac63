#include <gtest/gtest.h>

#include <vector>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORReachability.h"
#include "Libraries/EventTransport/testing/ZTCORReachabilityTesting.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

using ztcor_testing::TransportTest;

class ConsoleLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZTCORConsoleLogSetSinkForTesting([this](const std::string& line) { lines_.push_back(line); });
  }
  void TearDown() override {
    ZTCORConsoleLogSetSinkForTesting(nullptr);
    ZTCORConsoleLogThreshold = 4;
  }
  std::vector<std::string> lines_;
};

TEST_F(ConsoleLogTest, PrintsOnlyAtOrAboveTheThreshold) {
  ZTCORConsoleLog(0, ZTCORLogLevelDebug, "not shown %@", "x");
  ZTCORConsoleLog(1000, ZTCORLogLevelError, "Transformer %@ has no transform (%d%%)", "T", 5);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], "[ZeziruRadoVirazaruv][I-ZTCOR001000] Transformer T has no transform (5%)");

  ZTCORConsoleLogThreshold = 1;
  ZTCORLogDebug("now %@", "shown");
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[1], "[ZeziruRadoVirazaruv][I-ZTCOR000000] now shown");
}

TEST(ReachabilityFlagsTest, ReachableAndCellularBits) {
  struct Case {
    uint32_t flags;
    bool reachable;
    bool cellular;
  } cases[] = {
      {0x0, false, false}, {0x2, true, false}, {0x6, false, false}, {0x4, false, false}, {0x40002, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZTCORReachabilityIsReachable(c.flags), c.reachable) << std::hex << c.flags;
    EXPECT_EQ(ZTCORReachabilityIsCellular(c.flags), c.cellular) << std::hex << c.flags;
  }
}

TEST(ReachabilityTest, CurrentFlagsFollowTheChangeCallbackUntilItDeliversZero) {
  ZTCORReachabilityTesting::reset(0x2);
  EXPECT_EQ(ZTCORReachability::currentFlags(), 0x2u);  // before any callback: read at start
  ZTCORReachabilityTesting::fireChange(0x40002);
  EXPECT_EQ(ZTCORReachability::currentFlags(), 0x40002u);
  ZTCORReachabilityTesting::fireChange(0);
  EXPECT_EQ(ZTCORReachability::currentFlags(), 0x2u);  // 0 means no callback flags
  ZTCORReachabilityTesting::reset(0x2);
}

TEST_F(TransportTest, StateDirectoryIsUnderTheDevicesCaches) {
  ns::URL url = ZTCORStateDirectoryURL();
  EXPECT_EQ(url.path(), device_.device().cachesDirectory() + "/zorori-sdks-events");
  bool isDirectory = false;
  ns::FileManager::defaultManager().removeItem(url.path());
  EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(ZTCORStateDirectoryURL().path(), &isDirectory));
  EXPECT_TRUE(isDirectory);  // created again on every call
}

TEST_F(TransportTest, DeviceModelIsTheDevicesModelIdentifier) {
  EXPECT_EQ(ZTCORDeviceModelString(), "iPhone14,2");
}

TEST_F(TransportTest, ArchivingCreatesTheDirectoryAndReadsBack) {
  auto clock = std::make_shared<ZTCORClock>(1, 2, 3, 4);
  std::string path = device_.path("a/b/c/clock.archive");
  ns::Error error;
  auto bytes = ZTCORArchiveObject(clock, path, &error);
  ASSERT_TRUE(bytes);
  auto back = ZTCORUnarchiveFile(ZTCORClock::kClassName, path, &error).objectAs<ZTCORClock>();
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->isEqual(*clock));
  // No hidden temporary is left beside the file.
  EXPECT_EQ(ns::FileManager::defaultManager().contentsOfDirectory(device_.path("a/b/c")),
            std::vector<std::string>{"clock.archive"});
}

TEST_F(TransportTest, UnarchivingAMissingFileGivesNilAndTheReadError) {
  ns::Error error;
  auto object = ZTCORUnarchiveFile(ZTCORClock::kClassName, device_.path("missing"), &error);
  EXPECT_TRUE(object.isNil());
  EXPECT_EQ(error.code(), ns::kFileReadNoSuchFileError);
}

TEST_F(TransportTest, WritingWithAnEmptyPathWritesNothing) {
  ns::Error error;
  EXPECT_FALSE(ZTCORWriteFileData({1, 2}, "", &error));
  EXPECT_TRUE(ZTCORWriteFileData({1, 2}, device_.path("x/y"), &error));
  EXPECT_EQ(ns::FileManager::defaultManager().contentsAtPath(device_.path("x/y")), (ns::Data{1, 2}));
}

}  // namespace
