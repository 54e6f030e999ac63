// Opening the store on real files: new, healthy, damaged, immutable, and
// left behind by a process killed inside a transaction.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

class StoreOpeningTest : public StorageTest {};

// Clears the immutable flag it set, so the device can be removed.
struct ImmutableFile {
  explicit ImmutableFile(std::string path) : path(std::move(path)) {}
  ~ImmutableFile() { ns::FileManager::defaultManager().setImmutable(false, path); }
  std::string path;
};

TEST_F(StoreOpeningTest, ANewStoreMakesItsDirectoryAndFileExcludedFromBackup) {
  std::string path = databasePath("new.sql");
  ASSERT_FALSE(ns::FileManager::defaultManager().fileExists(ns::URL::fileURLWithPath(path).deletingLastPathComponent()));
  auto store = openStore("new.sql");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->databasePath(), path);
  EXPECT_TRUE(ns::FileManager::defaultManager().isExcludedFromBackup(path));
  ns::Error error;
  ASSERT_TRUE(store->ensureTableWithName("t", {{"n", "INTEGER NOT NULL"}}, {}, &error)) << error.description();
  ASSERT_TRUE(store->upsertRecord(ns::Dictionary{{"n", 7}}, "t", &error)) << error.description();
  EXPECT_EQ(sqlite(path, "SELECT n FROM t"), "7");
  EXPECT_EQ(sqlite(path, "PRAGMA journal_mode"), "delete") << "SQLite's default journal";
}

TEST_F(StoreOpeningTest, DamagedFilesAreReplacedHealthyOnesKept) {
  struct Case {
    const char* name;
    bool damaged;
    std::function<void(const std::string& path)> make;
  } cases[] = {
      {"healthy file with rows", false,
       [](const std::string& path) { sqlite(path, "CREATE TABLE kept(x TEXT); INSERT INTO kept VALUES ('here');"); }},
      {"empty file", false, [](const std::string& path) { writeFile(path, ""); }},
      {"garbage", true,
       [](const std::string& path) {
         std::string garbage;
         for (int i = 0; i < 3 * 4096; ++i) garbage += static_cast<char>((i * 7919) % 251);
         writeFile(path, garbage);
       }},
      {"damaged page", true,
       [](const std::string& path) {
         sqlite(path,
                "CREATE TABLE kept(x TEXT); WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
                "WHERE i < 400) INSERT INTO kept SELECT printf('%0200d', i) FROM c;");
         std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(5 * 4096);
         file << std::string(4096, '\xff');
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = databasePath(std::string(c.name) + ".sql");
    ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(
        ns::URL::fileURLWithPath(path).deletingLastPathComponent().path(), true));
    c.make(path);
    if (c.damaged) {
      ASSERT_NE(sqlite(path, "PRAGMA integrity_check"), "ok");
    }

    auto store = openStore(std::string(c.name) + ".sql");
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(sqlite(path, "PRAGMA integrity_check"), "ok");
    ns::Error error;
    EXPECT_EQ(store->tableExists("kept", &error), std::optional<bool>(std::string(c.name) == "healthy file with rows"));
    ASSERT_TRUE(store->ensureTableWithName("t", {{"n", "INTEGER NOT NULL"}}, {}, &error)) << error.description();
    ASSERT_TRUE(store->upsertRecord(ns::Dictionary{{"n", 1}}, "t", &error)) << error.description();
    EXPECT_EQ(sqlite(path, "SELECT count(*) FROM t"), "1");
  }
  EXPECT_EQ(sqlite(databasePath("healthy file with rows.sql"), "SELECT x FROM kept"), "here");
}

TEST_F(StoreOpeningTest, OpeningFailsWithTheSystemErrorWhenNoFileCanBeMade) {
  // "Zorori" is a file, so the store's directory cannot be made, twice.
  writeFile(device_.path("App/Library/Application Support/Zorori"), "in the way");
  ns::Error error;
  EXPECT_EQ(MSRSqliteStore::initWithDatabasePath(databasePath(), &error), nullptr);
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain) << error.description();

  error = {};
  EXPECT_EQ(MSRSqliteStore::initWithDatabasePath("", &error), nullptr);
  EXPECT_EQ(describe(error), measurementError(1, "Received empty database path on init"));
}

TEST_F(StoreOpeningTest, AnImmutableFileIsOpenedOnceItsFlagIsCleared) {
  std::string path = databasePath();
  ASSERT_TRUE(ns::FileManager::defaultManager().createDirectory(
      ns::URL::fileURLWithPath(path).deletingLastPathComponent().path(), true));
  sqlite(path, "CREATE TABLE t(n INTEGER NOT NULL); INSERT INTO t VALUES (42);");
  auto& files = ns::FileManager::defaultManager();
  if (!files.setImmutable(true, path)) GTEST_SKIP() << "no privilege or no flags here to make a file immutable";
  ImmutableFile guard(path);
  ASSERT_EQ(files.isImmutableItem(path), std::optional<bool>(true));

  // Without the capability the flag stays and the opening fails with the
  // system's error; the file is neither deleted nor changed.
  int output = -1;
  pid_t pid = spawnChild({MSR_STORE_CHILD, "open-without-immutable-capability", device_.directory(), "test.sql"},
                         &output);
  ASSERT_GT(pid, 0);
  std::string answer = readLine(output);
  ::close(output);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(answer.rfind("failed NSCocoaErrorDomain 513 ", 0), 0u) << answer;
  EXPECT_NE(answer.find("NSPOSIXErrorDomain Code=1 "), std::string::npos) << answer;
  EXPECT_EQ(files.isImmutableItem(path), std::optional<bool>(true));

  auto store = openStore();
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(files.isImmutableItem(path), std::optional<bool>(false));
  ns::Error error;
  ASSERT_TRUE(store->upsertRecord(ns::Dictionary{{"n", 43}}, "t", &error)) << error.description();
  EXPECT_EQ(sqlite(path, "SELECT group_concat(n) FROM t"), "42,43");
}

TEST_F(StoreOpeningTest, AKillInsideATransactionIsRolledBackByTheNextOpening) {
  int output = -1;
  pid_t pid = spawnChild({MSR_STORE_CHILD, "kill", device_.directory(), "test.sql"}, &output);
  ASSERT_GT(pid, 0);
  std::string ready = readLine(output);
  ::close(output);
  if (ready == "ready") ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_EQ(ready, "ready") << "the child ended with status " << status;
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  std::string path = databasePath();
  std::string journal = path + "-journal";
  auto& files = ns::FileManager::defaultManager();
  ASSERT_TRUE(files.fileExists(journal)) << "the killed transaction left its journal";
  ASSERT_GT(files.attributesOfItem(journal)->size, 0u);

  // The store is the first to open the file after the kill.
  auto store = openStore();
  ASSERT_NE(store, nullptr);
  ns::Error error;
  EXPECT_EQ(store->rowCountForTableWithName("t", &error), std::optional<int64_t>(3)) << error.description();
  EXPECT_FALSE(files.fileExists(journal) && files.attributesOfItem(journal)->size > 0);
  store.reset();
  EXPECT_EQ(sqlite(path, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(sqlite(path, "SELECT group_concat(n) FROM t"), "1,2,3");
}

TEST_F(StoreOpeningTest, ClosingAndDeleting) {
  auto store = openStore();
  ASSERT_NE(store, nullptr);
  std::string path = store->databasePath();
  ns::Error error;
  ASSERT_TRUE(store->ensureTableWithName("t", {{"n", "INTEGER NOT NULL"}}, {}, &error));
  ASSERT_TRUE(store->rowCountForTableWithName("t", &error)) << "a cached statement to finalize";

  store->closeDatabase();
  EXPECT_EQ(store->sqliteHandle(), nullptr);
  EXPECT_FALSE(store->upsertRecord(ns::Dictionary{{"n", 1}}, "t", &error));
  EXPECT_EQ(describe(error), measurementError(2, "Upsert record failed. Database not open."));
  EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(path));

  EXPECT_TRUE(store->closeAndDeleteDatabase());
  EXPECT_FALSE(ns::FileManager::defaultManager().fileExists(path));
  EXPECT_TRUE(store->closeAndDeleteDatabase()) << "no file: nothing to do";
  EXPECT_FALSE(monitor_.contains(34018));
  EXPECT_FALSE(monitor_.contains(34019));
}

}  // namespace
}  // namespace msr_testing
