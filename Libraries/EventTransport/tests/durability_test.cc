// A child process stores events, makes and returns batches, and is killed
// with SIGKILL 150 times, each time after a random number of
// events it said were stored (and a random pause of at most a few
// milliseconds, so the kill falls anywhere in the work that follows).
// Afterwards every event it was told was stored is found exactly once,
// whole, and comes back to its target's directory when every batch is
// returned. Kills are counted, not timed: every run tests the same.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <map>
#include <random>
#include <sstream>

#include "Libraries/EventTransport/tests/ChildProcess.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Foundation/FileManager.h"

namespace {

using ztcor_testing::TransportTest;

constexpr int kKills = 150;
// Stored events before a kill: from 1 to this many.
constexpr int kMostEventsBeforeAKill = 24;

// Every event file below `directory` (one level of subdirectories), by event ID.
void collect(const std::string& directory, std::map<std::string, std::vector<std::string>>* found,
             std::vector<std::string>* hidden) {
  auto& files = ns::FileManager::defaultManager();
  for (const auto& sub : files.contentsOfDirectory(directory).value_or(std::vector<std::string>{})) {
    if (sub[0] == '.') {
      hidden->push_back(directory + "/" + sub);
      continue;
    }
    for (const auto& name : files.contentsOfDirectory(directory + "/" + sub).value_or(std::vector<std::string>{})) {
      std::string path = directory + "/" + sub + "/" + name;
      if (name[0] == '.') {
        hidden->push_back(path);
        continue;
      }
      auto components = ZTCOREventComponentsFromFilename(name);
      ASSERT_TRUE(components) << path;
      (*found)[components->eventID].push_back(path);
    }
  }
}

using DurabilityTest = TransportTest;

TEST_F(DurabilityTest, EventsStoredWithSuccessSurviveSIGKILL) {
  std::string log = device_.path("stored.log");
  std::mt19937 random(12345);
  int kills = 0;
  int reported = 0;
  for (; kills < kKills; ++kills) {
    ztcor_testing::ReportingChild child({ZTCOR_DURABILITY_CHILD, device_.directory(), log, std::to_string(random())});
    ASSERT_TRUE(child.started());
    int events = 1 + static_cast<int>(random() % kMostEventsBeforeAKill);
    ASSERT_TRUE(child.awaitReports(events)) << "the child ended on its own";
    reported += events;
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    ASSERT_TRUE(child.kill());
  }

  std::map<std::string, ZTCORUploadTargetID> logged;
  std::ifstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    ZTCORUploadTargetID target = 0;
    std::string eventID;
    if (fields >> target >> eventID && eventID.size() == 32) logged[eventID] = target;
  }
  // The child logs an event before it says so: at least every reported one.
  ASSERT_GE(logged.size(), static_cast<size_t>(reported));

  // Whole and exactly once, in a target directory or in one batch.
  std::map<std::string, std::vector<std::string>> found;
  std::vector<std::string> hidden;
  collect(ZTCORFlatFileStorage::eventDataStoragePath(), &found, &hidden);
  size_t unbatched = found.size();
  collect(ZTCORFlatFileStorage::batchDataStoragePath(), &found, &hidden);
  for (const auto& [eventID, paths] : found) {
    for (const auto& path : paths) {
      ns::Error error;
      auto event = ZTCORUnarchiveFile(ZTCOREvent::kClassName, path, &error).objectAs<ZTCOREvent>();
      ASSERT_TRUE(event) << "a visible file that does not decode: " << path << " " << error.description();
      EXPECT_EQ(event->eventID(), eventID);
    }
  }
  for (const auto& [eventID, target] : logged) {
    auto it = found.find(eventID);
    ASSERT_NE(it, found.end()) << "stored with success, then lost: " << eventID;
    EXPECT_EQ(it->second.size(), 1u) << eventID;
  }

  // Every batch returned: each event is back in its target's directory.
  for (ZTCORUploadTargetID target : {1001, 1002, 1003}) {
    PRMPromiseAwait(storage_->removeAllBatchesForTarget(target, false));
  }
  EXPECT_FALSE(PRMPromiseAwait(storage_->batchIDsForTarget(1001)).value());
  auto& files = ns::FileManager::defaultManager();
  for (const auto& [eventID, target] : logged) {
    std::string directory = ZTCORFlatFileStorage::eventDataStoragePath() + "/" + std::to_string(target);
    auto path = found[eventID].front();
    std::string fileName = path.substr(path.rfind('/') + 1);
    EXPECT_TRUE(files.fileExists(directory + "/" + fileName)) << eventID;
  }

  // The sweep takes away what interrupted writes left behind.
  storage_->checkForExpirations();
  drain();
  std::map<std::string, std::vector<std::string>> after;
  std::vector<std::string> hiddenAfter;
  collect(ZTCORFlatFileStorage::eventDataStoragePath(), &after, &hiddenAfter);
  for (const auto& name :
       files.contentsOfDirectory(ZTCORFlatFileStorage::libraryDataStoragePath()).value_or(std::vector<std::string>{})) {
    if (name[0] == '.') hiddenAfter.push_back(name);
  }
  EXPECT_TRUE(hiddenAfter.empty()) << hiddenAfter.size() << " hidden leftovers, e.g. " << hiddenAfter[0];
  std::cout << kills << " kills, " << logged.size() << " events stored, " << found.size() - unbatched
            << " in batches when the last child died, " << hidden.size() << " hidden leftovers swept\n";
}

}  // namespace
