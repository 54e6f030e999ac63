#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

constexpr int kBatch = 200;

// Runs in the child until killed: each save inserts one batch of notes
// titled after the batch and renumbers every note saved so far.
[[noreturn]] void saveForever(const std::string& path, int round) {
  Stack s(makeModel(), path);
  if (!s.store) _exit(2);
  for (int batch = 0;; ++batch) {
    for (int i = 0; i < kBatch; ++i) {
      auto note = insertNote(*s.context, "round " + std::to_string(round) + " batch " + std::to_string(batch), i);
      note->setValue("string", ns::Value(std::string(200, 'x')));
    }
    auto all = *s.context->executeFetchRequest(FetchRequest("Note"), nullptr);
    for (const auto& n : all) n->setValue("displayOrder", ns::Value(round * 10000 + batch));
    if (!s.context->save(nullptr)) _exit(3);
  }
}

TEST(CrashTest, KilledWritersNeverDamageTheStore) {
  TemporaryDirectory dir;
  std::string path = dir.file("Notes.sqlite");
  { Stack create(makeModel(), path); }
  std::mt19937 random(42);
  int64_t lastCount = 0;
  for (int round = 0; round < 30; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) saveForever(path, round);
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 60));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << WEXITSTATUS(status);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    auto single = [&](const char* sql) {
      sqlite3_stmt* stmt = nullptr;
      std::string out;
      if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        out = text ? reinterpret_cast<const char*>(text) : "";
      }
      sqlite3_finalize(stmt);
      return out;
    };
    EXPECT_EQ(single("PRAGMA integrity_check"), "ok") << "round " << round;
    int64_t count = std::stoll(single("SELECT COUNT(*) FROM Note"));
    EXPECT_EQ(count % kBatch, 0) << "a save was half written in round " << round;
    EXPECT_EQ(single("SELECT COUNT(*) FROM (SELECT title FROM Note GROUP BY title HAVING COUNT(*) <> 200)"), "0");
    // Every note carries the order of the last complete save.
    EXPECT_EQ(single("SELECT COUNT(DISTINCT displayOrder) FROM Note WHERE _pk > 0"), count ? "1" : "0");
    EXPECT_GE(count, lastCount);
    lastCount = count;
    sqlite3_close(db);
  }
  EXPECT_GT(lastCount, 0) << "no save completed before the kills";
  Stack reopened(makeModel(), path);
  EXPECT_TRUE(reopened.store) << reopened.error.description();
}

}  // namespace
}  // namespace cd::testing
