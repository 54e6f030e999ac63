// Tables made, validated and migrated from column lists, checked with
// sqlite3 on the file.
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

class StoreSchemaTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    openTestStore();
  }

  // "name type notnull" of each column, as sqlite3 reads the file.
  std::string columns(const std::string& table) {
    return sqlite(path_, "SELECT group_concat(name || ' ' || type || ' ' || \"notnull\", ', ') FROM pragma_table_info('" +
                             table + "')");
  }
};

const MSRColumnInfo kEvents = {{"name", "TEXT NOT NULL"}, {"timestamp", "INTEGER NOT NULL"}};
const MSRColumnInfo kEventsAddOns = {{"is_realtime", "INTEGER"}, {"origin", "TEXT"}};

TEST_F(StoreSchemaTest, ValidatingExistingTables) {
  struct Case {
    const char* name;
    const char* existing;  // made with sqlite3 first
    bool valid;
    int64_t code;
    const char* text;
    const char* columnsAfter;
  } cases[] = {
      {"new table", nullptr, true, 0, "",
       "name TEXT 1, timestamp INTEGER 1, is_realtime INTEGER 0, origin TEXT 0"},
      {"add-ons missing", "CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL)", true, 0, "",
       "name TEXT 1, timestamp INTEGER 1, is_realtime INTEGER 0, origin TEXT 0"},
      {"one add-on there", "CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL, origin TEXT)", true, 0, "",
       "name TEXT 1, timestamp INTEGER 1, origin TEXT 0, is_realtime INTEGER 0"},
      {"unknown nullable column kept",
       "CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL, later BLOB); INSERT INTO t VALUES ('e', 1, x'01')",
       true, 0, "", "name TEXT 1, timestamp INTEGER 1, later BLOB 0, is_realtime INTEGER 0, origin TEXT 0"},
      {"unknown NOT NULL column refused",
       "CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL, later BLOB NOT NULL)", false, 2,
       "Table contains unknown non-optional columns",
       "name TEXT 1, timestamp INTEGER 1, later BLOB 1, is_realtime INTEGER 0, origin TEXT 0"},
      {"required column missing", "CREATE TABLE t(name TEXT NOT NULL, other INTEGER)", false, 2,
       "Table is missing required columns", "name TEXT 1, other INTEGER 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sqlite(path_, "DROP TABLE IF EXISTS t");
    if (c.existing) {
      ASSERT_EQ(sqlite(path_, c.existing), "");
    }
    ns::Error error;
    EXPECT_EQ(store_->ensureTableWithName("t", kEvents, kEventsAddOns, &error), c.valid);
    if (c.valid) {
      EXPECT_TRUE(error.domain().empty()) << error.description();
    } else {
      EXPECT_EQ(describe(error), measurementError(c.code, c.text));
    }
    EXPECT_EQ(columns("t"), c.columnsAfter);
  }
  sqlite(path_, "DROP TABLE t; CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL, later BLOB);"
                "INSERT INTO t VALUES ('e', 1, x'01')");
  ns::Error error;
  ASSERT_TRUE(store_->ensureTableWithName("t", kEvents, kEventsAddOns, &error));
  EXPECT_EQ(sqlite(path_, "SELECT hex(later) FROM t"), "01") << "the unknown column keeps its values";
}

TEST_F(StoreSchemaTest, ATypeChangeRebuildsTheTableWithItsRows) {
  sqlite(path_, "CREATE TABLE raw_events(name TEXT NOT NULL, timestamp INTEGER NOT NULL, is_realtime INTEGER);"
                "INSERT INTO raw_events VALUES ('a', 5, 1), ('b', 6, NULL)");
  ns::Error error;
  ASSERT_TRUE(store_->ensureTableWithName("raw_events", kEvents, {{"is_realtime", "INTEGER"}},
                                          ns::Dictionary{{"timestamp", "REAL NOT NULL"}}, &error))
      << error.description();
  EXPECT_EQ(columns("raw_events"), "name TEXT 1, timestamp REAL 1, is_realtime INTEGER 0");
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name || ':' || timestamp || ':' || typeof(timestamp) || ':' || "
                          "ifnull(is_realtime, '-'), ' ') FROM raw_events"),
            "a:5.0:real:1 b:6.0:real:-");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM sqlite_master WHERE name = 'raw_events_old'"), "0");
  EXPECT_EQ(sqlite(path_, "PRAGMA integrity_check"), "ok");

  // Once the types agree nothing is touched: the schema stays as it is.
  std::string version = sqlite(path_, "PRAGMA schema_version");
  ASSERT_TRUE(store_->ensureTableWithName("raw_events", kEvents, {{"is_realtime", "INTEGER"}},
                                          ns::Dictionary{{"timestamp", "REAL NOT NULL"}}, &error));
  EXPECT_EQ(sqlite(path_, "PRAGMA schema_version"), version);

  // A new table is made with the listed type, then rebuilt at once.
  ASSERT_TRUE(store_->ensureTableWithName("fresh", kEvents, {}, ns::Dictionary{{"timestamp", "REAL NOT NULL"}}, &error));
  EXPECT_EQ(columns("fresh"), "name TEXT 1, timestamp REAL 1");
}

TEST_F(StoreSchemaTest, AFailedRebuildLeavesTheTableAsItWas) {
  // An unknown column makes the copy's column counts differ: the rename
  // and the new table are rolled back with it.
  sqlite(path_, "CREATE TABLE t(name TEXT NOT NULL, timestamp INTEGER NOT NULL, later TEXT);"
                "INSERT INTO t VALUES ('a', 5, 'x')");
  std::string before = sqlite(path_, "SELECT sql FROM sqlite_master");
  ns::Error error;
  EXPECT_FALSE(store_->ensureTableWithName("t", kEvents, {}, ns::Dictionary{{"timestamp", "REAL NOT NULL"}}, &error));
  EXPECT_EQ(describe(error), measurementError(3, "Transaction failed"));
  EXPECT_EQ(sqlite(path_, "SELECT sql FROM sqlite_master"), before);
  EXPECT_EQ(sqlite(path_, "SELECT name || timestamp || later FROM t"), "a5x");
  // The store goes on working.
  EXPECT_TRUE(store_->upsertRecord(ns::Dictionary{{"name", "b"}, {"timestamp", 6}}, "t", &error)) << error.description();
}

TEST_F(StoreSchemaTest, ARebuiltTableKeepsItsPrimaryKey) {
  const MSRColumnInfo filters = {{"audience_id", "INTEGER NOT NULL"},
                                 {"filter_id", "INTEGER NOT NULL"},
                                 {"data", "BLOB NOT NULL"},
                                 {"PRIMARY KEY", "(audience_id, filter_id)"}};
  ns::Error error;
  ASSERT_TRUE(store_->ensureTableWithName("filters", filters, {}, &error)) << error.description();
  ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"audience_id", 1}, {"filter_id", 2}, {"data", ns::Data{1}}},
                                   "filters", &error));
  ASSERT_TRUE(store_->ensureTableWithName("filters", filters, {}, ns::Dictionary{{"data", "TEXT NOT NULL"}}, &error))
      << error.description();
  EXPECT_EQ(columns("filters"), "audience_id INTEGER 1, filter_id INTEGER 1, data TEXT 1");
  // The same key replaces its row rather than adding a second one.
  ASSERT_TRUE(
      store_->upsertRecord(ns::Dictionary{{"audience_id", 1}, {"filter_id", 2}, {"data", "new"}}, "filters", &error));
  EXPECT_EQ(sqlite(path_, "SELECT count(*) || ' ' || data FROM filters"), "1 new");
  EXPECT_EQ(sqlite(path_, "SELECT sum(pk) FROM pragma_table_info('filters')"), "3");
}

TEST_F(StoreSchemaTest, TablesByName) {
  ns::Error error;
  EXPECT_EQ(store_->tableExists("t", &error), std::optional<bool>(false));
  ASSERT_TRUE(store_->ensureTableWithName("t", kEvents, {{"origin", "TEXT"}}, &error));
  EXPECT_EQ(store_->tableExists("t", &error), std::optional<bool>(true));
  EXPECT_EQ(store_->columnsForTableWithName("t", &error), (std::vector<std::string>{"name", "timestamp", "origin"}));
  EXPECT_EQ(store_->columnInfoForTableWithName("t", &error),
            (ns::Dictionary{{"name", "TEXT"}, {"timestamp", "INTEGER"}, {"origin", "TEXT"}}));
  ASSERT_TRUE(store_->renameTable("t", "u", &error));
  ASSERT_TRUE(store_->ensureTableWithName("t", kEvents, {{"origin", "TEXT"}}, &error));
  ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"name", "a"}, {"timestamp", 1}}, "u", &error));
  ASSERT_TRUE(store_->copyContentsFromTable("u", "t", &error));
  ASSERT_TRUE(store_->dropTableWithName("u", &error));
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM sqlite_master"), "t");
  EXPECT_EQ(sqlite(path_, "SELECT name || timestamp FROM t"), "a1");
  EXPECT_FALSE(store_->dropTableWithName("u", &error));
  EXPECT_EQ(error.code(), 3);
}

}  // namespace
}  // namespace msr_testing
