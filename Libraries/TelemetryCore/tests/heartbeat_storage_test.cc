#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Libraries/TelemetryCore/HeartbeatController.h"
#include "Libraries/TelemetryCore/tests/HeartbeatTestSupport.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {
namespace {

using zovcore::HeartbeatsBundle;
using zovcore::HeartbeatStorage;

class HeartbeatStorageTest : public HeartbeatTest {
 protected:
  std::string filePath() const {
    return device_->directory() + "/App/Library/Application Support/zorori-heartbeat-storage/heartbeats-1_123_ios_abc";
  }
  static HeartbeatsBundle bundleOfOneDay() {
    HeartbeatsBundle bundle;
    bundle.append(zovcore::Heartbeat{"agent/1", at("2021-11-01T00:00:00Z"), 0, {zovcore::TimePeriod::daily}});
    return bundle;
  }
  static std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

TEST_F(HeartbeatStorageTest, TheBundleOfAnAppIDIsAFileThatSurvivesARestart) {
  {
    auto storage = HeartbeatStorage::sharedStorage(kTestAppID);
    EXPECT_EQ(storage->queue()->label(), "com.heartbeat.storage.1:123:ios:abc");
    int calls = 0;
    storage->updateBundleSync([&calls](std::optional<HeartbeatsBundle> stored) {
      ++calls;
      EXPECT_FALSE(stored) << "a new ID has no bundle";
      return bundleOfOneDay();
    });
    EXPECT_EQ(calls, 1);
  }
  EXPECT_EQ(zovcore::FileStorage::pathForID(kTestAppID), filePath());
  int status = 0;
  std::string out = ns::testing::runCommand("python3 -m json.tool '" + filePath() + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("\"agent\": \"agent/1\""), std::string::npos) << out;

  // A new launch: new objects, same device.
  relaunch({});
  EXPECT_EQ(storedBundle(), bundleOfOneDay());
}

TEST_F(HeartbeatStorageTest, AnyAppIDIsOneFileInTheHeartbeatDirectory) {
  std::string directory = device_->directory() + "/App/Library/Application Support/zorori-heartbeat-storage";
  struct Case {
    std::string id;
    const char* file;
  } cases[] = {
      {"2:/../../X", "heartbeats-2__.._.._X"},
      {"../../../../outside", "heartbeats-.._.._.._.._outside"},
      {"..", "heartbeats-.."},
      {"1:123:ios:abc/", "heartbeats-1_123_ios_abc_"},
      {std::string("1:2\0/x", 6), "heartbeats-1_2__x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(zovcore::FileStorage::pathForID(c.id), directory + "/" + c.file);
    storeBundle(bundleOfOneDay(), c.id);
    EXPECT_TRUE(std::filesystem::is_regular_file(directory + "/" + c.file));
    EXPECT_EQ(storedBundle(c.id), bundleOfOneDay());
  }
  // Nothing was written anywhere else on the device (the first two IDs
  // named Application Support/X and App/outside).
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(device_->directory())) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name != "X" && name != "outside") << entry.path();
    if (name.starts_with("heartbeats-")) {
      EXPECT_EQ(entry.path().parent_path(), directory) << entry.path();
      ++files;
    }
  }
  EXPECT_EQ(files, std::size(cases));
}

TEST_F(HeartbeatStorageTest, WhatIsNotABundleReadsAsNoneAndIsOverwritten) {
  const std::string shapes[] = {
      "\x1f\x8b garbage",
      "{}",
      R"({"capacity":30,"lastAddedHeartbeatDates":[1,0],"buffer":{"circularQueue":[],"tailIndex":0}})",
      R"({"capacity":1000000000000,"lastAddedHeartbeatDates":[],"buffer":{"circularQueue":[null],"tailIndex":5}})",
      R"({"capacity":1,"lastAddedHeartbeatDates":[7,0],"buffer":{"circularQueue":[null],"tailIndex":0}})",
      R"({"capacity":1,"lastAddedHeartbeatDates":[1],"buffer":{"circularQueue":[null],"tailIndex":0}})",
      R"({"capacity":1,"lastAddedHeartbeatDates":[],"buffer":{"circularQueue":[{"agent":1}],"tailIndex":0}})",
      R"({"capacity":"1","lastAddedHeartbeatDates":[],"buffer":{"circularQueue":[null],"tailIndex":0}})",
  };
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape);
    useApp({});
    ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(filePath().substr(0, filePath().rfind('/')), true));
    std::ofstream(filePath(), std::ios::binary) << shape;
    EXPECT_FALSE(storedBundle());
    storeBundle(bundleOfOneDay());
    EXPECT_EQ(storedBundle(), bundleOfOneDay());
  }
}

TEST_F(HeartbeatStorageTest, NoBundleIsAnEmptyFile) {
  storeBundle(bundleOfOneDay());
  HeartbeatStorage::sharedStorage(kTestAppID)->updateBundleSync([](auto) { return std::nullopt; });
  EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(filePath()));
  EXPECT_EQ(contents(filePath()), "");
  EXPECT_FALSE(storedBundle());
}

TEST_F(HeartbeatStorageTest, OneInstancePerLiveID) {
  auto first = HeartbeatStorage::sharedStorage(kTestAppID);
  EXPECT_EQ(HeartbeatStorage::sharedStorage(kTestAppID), first);
  auto other = HeartbeatStorage::sharedStorage("1:456:ios:def");
  EXPECT_NE(other, first);
  EXPECT_EQ(other->queue()->label(), "com.heartbeat.storage.1:456:ios:def");
  std::weak_ptr<HeartbeatStorage> released = first;
  first.reset();
  EXPECT_TRUE(released.expired()) << "the registry holds no instance";
  auto again = HeartbeatStorage::sharedStorage(kTestAppID);
  EXPECT_EQ(HeartbeatStorage::sharedStorage(kTestAppID), again);
}

TEST_F(HeartbeatStorageTest, ReplaceGivesTheBundleAsItWasUnlessTheSaveFails) {
  storeBundle(bundleOfOneDay());
  auto storage = HeartbeatStorage::sharedStorage(kTestAppID);
  std::optional<HeartbeatsBundle> previous;
  EXPECT_TRUE(storage->replaceBundle([](auto) { return HeartbeatsBundle(); }, &previous));
  EXPECT_EQ(previous, bundleOfOneDay());
  EXPECT_EQ(storedBundle(), HeartbeatsBundle()) << "replaced already";

  // A file where the storage directory should be: every save fails.
  storage.reset();
  useApp({});
  storage = HeartbeatStorage::sharedStorage(kTestAppID);
  std::string directory = filePath().substr(0, filePath().rfind('/'));
  std::ofstream(directory) << "in the way";
  previous = bundleOfOneDay();
  EXPECT_FALSE(storage->replaceBundle([](auto) { return HeartbeatsBundle(); }, &previous));
  EXPECT_EQ(previous, bundleOfOneDay()) << "untouched";
  zovcore::HeartbeatController controller(kTestAppID);
  controller.log("agent/1");
  EXPECT_TRUE(controller.flush().isEmpty()) << "a failed store gives the empty payload";
}

TEST_F(HeartbeatStorageTest, UserDefaultsStorage) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  zovcore::UserDefaultsStorage storage(defaults, "heartbeats");
  EXPECT_FALSE(storage.read()) << "no data is the read error";
  EXPECT_TRUE(storage.write(ns::Data{1, 2, 3}));
  EXPECT_EQ(storage.read(), (ns::Data{1, 2, 3}));
  EXPECT_TRUE(storage.write(std::nullopt));
  EXPECT_FALSE(defaults->objectForKey("heartbeats"));
}

}  // namespace
}  // namespace zov_testing
