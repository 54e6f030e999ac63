// Nothing committed is lost when the process dies: a child writes and
// bundles events as the core does and is killed with SIGKILL after it has
// reported a random number of commits (and a random pause of at most 2 ms,
// which only spreads where the kill falls), a few hundred times over. After
// each kill the file must pass its integrity check (through sqlite3 and
// the store), and every event the child reported must be found exactly
// once, as a raw event or inside a queued bundle. The test uploads (reads
// and deletes) the queued bundles as the core would, so each round reads
// only what is new.
#include <signal.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>

#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

constexpr int kRounds = 300;
// Ids of one child lie in a range of their own: a commit the child made
// but did not live to report must not meet an id of the next child.
constexpr int64_t kIDsPerChild = 1000000;

class DatabaseDurabilityTest : public DatabaseTest {
 protected:
  // Starts a child at `firstID`, kills it `delayMicroseconds` after its
  // `reports`th reported commit (so the kill falls at varying points of the
  // work that follows) and adds every id it reported to `reported`.
  void runChildAndKill(int64_t firstID, int reports, int delayMicroseconds, std::set<int64_t>* reported) {
    runStoringChildAndKill({MSR_EVENTS_CHILD, device_.directory(), std::to_string(firstID)}, reports,
                           delayMicroseconds, nullptr, reported);
  }

  // Opens the database, checks it, uploads (deletes) the queued bundles
  // counting their events into `found`, counts the raw events too, and
  // closes it again.
  void checkAndUpload(std::map<int64_t, int>* uploaded, std::map<int64_t, int>* found) {
    openDatabase();
    worker([&] {
      ns::Error error;
      ASSERT_TRUE(database_->sqliteStore()->validateDatabaseWithError(&error)) << error.description();
      auto count = [](const MSREvent& event, std::map<int64_t, int>* into) {
        auto n = event.parameters().find("n");
        ASSERT_NE(n, event.parameters().end());
        ++(*into)[n->second.int64Value()];
      };
      auto bundles = database_->queryBundlesWithCountLimit(INT64_MAX, INT64_MAX, &error);
      ASSERT_TRUE(bundles.has_value()) << error.description();
      std::vector<int64_t> rowIDs;
      for (const auto& [bundle, rowID] : *bundles) {
        MSRPBArray events = MSRPBMessageGetArray<MSRPBEvent>(bundle.get(), kBundleEvents).value_or(MSRPBArray{});
        ASSERT_FALSE(events.empty());
        for (const auto& element : events) {
          auto event = MSREvent::initWithEventProto(*MSRPBArrayElementMessage<MSRPBEvent>(element));
          ASSERT_NE(event, nullptr);
          count(*event, uploaded);
        }
        rowIDs.push_back(rowID);
      }
      EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), std::to_string(rowIDs.size()))
          << "every queued bundle reads";
      if (!rowIDs.empty()) {
        ASSERT_TRUE(database_->deleteBundlesWithRowIDs(rowIDs, &error)) << error.description();
      }

      *found = *uploaded;
      auto rows = database_->sqliteStore()->recordsForQuery("SELECT rowid, * FROM raw_events", {}, &error);
      ASSERT_TRUE(rows.has_value()) << error.description();
      for (const auto& row : *rows) {
        auto raw = database_->rawEventDataFromDictionary(&row, &error);
        ASSERT_NE(raw, nullptr) << error.description();
        count(*raw->rawEvent(), found);
      }
      database_.reset();
    });
  }
};

TEST_F(DatabaseDurabilityTest, EveryReportedEventSurvivesAKillExactlyOnce) {
  std::mt19937 random(70);
  std::set<int64_t> reported;
  std::map<int64_t, int> uploaded;
  for (int round = 1; round <= kRounds; ++round) {
    SCOPED_TRACE(round);
    runChildAndKill(round * kIDsPerChild, std::uniform_int_distribution<int>(1, 8)(random),
                    std::uniform_int_distribution<int>(0, 2000)(random), &reported);
    if (HasFatalFailure()) return;
    ASSERT_EQ(sqlite(databasePath(kDatabaseName), "PRAGMA integrity_check"), "ok");
    std::map<int64_t, int> found;
    checkAndUpload(&uploaded, &found);
    if (HasFatalFailure()) return;
    for (int64_t id : reported) ASSERT_TRUE(found.contains(id)) << "reported event " << id << " is lost";
    for (const auto& [id, times] : found) ASSERT_EQ(times, 1) << "event " << id;
  }
  EXPECT_GE(reported.size(), static_cast<size_t>(kRounds));
  EXPECT_GT(uploaded.size(), reported.size() / 2) << "most events went through bundles";
}

}  // namespace
}  // namespace msr_testing
