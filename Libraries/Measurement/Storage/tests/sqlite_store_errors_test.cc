// The store's failures: bad arguments refused before the connection is
// used, a closed store, and SQLite's own failures with their context.
#include <sqlite3.h>
#include <unistd.h>

#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

class StoreErrorsTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    openTestStore("t", {{"name", "TEXT NOT NULL PRIMARY KEY"}, {"n", "INTEGER NOT NULL"}});
  }

  // The digit the context gives for the free space `df` reports.
  std::string freeSpaceDigit() {
    std::string out;
    run("df -B1 --output=avail " + shellQuoted(store_->databasePath()) + " | tail -n 1", &out);
    uint64_t freeMiB = std::stoull(out) >> 20;
    return freeMiB == 0 ? "-1" : std::to_string(static_cast<int>(std::to_string(freeMiB).size()) - 1);
  }
};

// The context's fields: operation, SQLite code, A or NA, free space.
std::vector<std::string> contextFields(const std::string& context) {
  std::vector<std::string> fields(1);
  for (char c : context) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

using Operation = std::function<void(MSRSqliteStore& store, ns::Error* error)>;

struct ArgumentCase {
  const char* operation;
  Operation call;
  int64_t code;
  const char* text;
};

const ns::Dictionary kRecord{{"name", "a"}, {"n", 1}};

std::vector<ArgumentCase> argumentCases() {
  return {
      {"ensure table", [](auto& s, auto* e) { s.ensureTableWithName("", {{"n", "INTEGER"}}, {}, e); }, 1,
       "Received empty table name for ensure table"},
      {"ensure table", [](auto& s, auto* e) { s.ensureTableWithName("t", MSRColumnInfo{}, {}, e); }, 1,
       "Received empty elementary column info for ensure table"},
      {"ensure table", [](auto& s, auto* e) { s.ensureTableWithName("t", "CREATE TABLE t(n)", {}, {}, e); }, 1,
       "Received no table columns for ensure table"},
      {"ensure table", [](auto& s, auto* e) { s.ensureTableWithName("t", "", {"n"}, {}, e); }, 1,
       "Received empty create statement for ensure table"},
      {"validate table", [](auto& s, auto* e) { s.validateTableWithName("", {"n"}, {}, e); }, 1,
       "Received empty table name for validate table"},
      {"validate table", [](auto& s, auto* e) { s.validateTableWithName("t", {}, {}, e); }, 1,
       "Received no table columns for validate table"},
      {"ensure schema", [](auto& s, auto* e) { s.ensureSchemaOfTableWithName("", {{"n", "INTEGER"}}, {}, e); }, 1,
       "Received empty table name for ensure table schema"},
      {"ensure schema", [](auto& s, auto* e) { s.ensureSchemaOfTableWithName("t", {}, {}, e); }, 1,
       "Received empty column info for ensure table schema"},
      {"drop table", [](auto& s, auto* e) { s.dropTableWithName("", e); }, 1, "Received empty table name for drop table"},
      {"rename", [](auto& s, auto* e) { s.renameTable("", "u", e); }, 1, "Received empty old name for rename table"},
      {"rename", [](auto& s, auto* e) { s.renameTable("t", "", e); }, 1, "Received empty new name for rename table"},
      {"rename", [](auto& s, auto* e) { s.renameTable("t", "t", e); }, 1, "Received duplicate name for rename table"},
      {"copy", [](auto& s, auto* e) { s.copyContentsFromTable("", "u", e); }, 1,
       "Received empty source name for copy table"},
      {"copy", [](auto& s, auto* e) { s.copyContentsFromTable("t", "", e); }, 1,
       "Received empty destination name for copy table"},
      {"copy", [](auto& s, auto* e) { s.copyContentsFromTable("t", "t", e); }, 1,
       "Received duplicate name for copy table"},
      {"table exists", [](auto& s, auto* e) { s.tableExists("", e); }, 1, "Received empty table name for table exists"},
      {"columns", [](auto& s, auto* e) { s.columnsForTableWithName("", e); }, 1,
       "Received empty table name for get columns"},
      {"column info", [](auto& s, auto* e) { s.columnInfoForTableWithName("", e); }, 1,
       "Received empty table name for column info"},
      {"upsert", [](auto& s, auto* e) { s.upsertRecord({}, "t", e); }, 1, "Received empty record for upsert"},
      {"upsert", [](auto& s, auto* e) { s.upsertRecord(kRecord, "", e); }, 1, "Received empty table name for upsert"},
      {"update", [](auto& s, auto* e) { s.updateRecord({}, "t", "name", ns::Value("a"), e); }, 1,
       "Empty record for update"},
      {"update", [](auto& s, auto* e) { s.updateRecord(kRecord, "", "name", ns::Value("a"), e); }, 1,
       "Empty table name for update"},
      {"update", [](auto& s, auto* e) { s.updateRecord(kRecord, "t", "", ns::Value("a"), e); }, 1,
       "Empty column name for update"},
      {"update", [](auto& s, auto* e) { s.updateRecord(kRecord, "t", "name", std::nullopt, e); }, 1,
       "Nil column value for update"},
      {"update all", [](auto& s, auto* e) { s.updateAllRecordsInTableWithName("", "n", ns::Value(1), e); }, 1,
       "Empty table name for update"},
      {"update all", [](auto& s, auto* e) { s.updateAllRecordsInTableWithName("t", "n", std::nullopt, e); }, 1,
       "Nil column value for update"},
      {"increase", [](auto& s, auto* e) { s.increaseColumn("n", 1, "", "n > ?", {0}, e); }, 1,
       "Empty table name for increase column"},
      {"increase", [](auto& s, auto* e) { s.increaseColumn("", 1, "t", "n > ?", {0}, e); }, 1,
       "Empty column name for increase column"},
      {"increase", [](auto& s, auto* e) { s.increaseColumn("n", 1, "t", "", {}, e); }, 1,
       "Empty condition for increase column"},
      {"delete record", [](auto& s, auto* e) { s.deleteRecordFromTableWithName("", "n", ns::Value(1), e); }, 1,
       "Received empty table name for delete record"},
      {"delete record", [](auto& s, auto* e) { s.deleteRecordFromTableWithName("t", "", ns::Value(1), e); }, 1,
       "Received empty column for delete record"},
      {"delete record", [](auto& s, auto* e) { s.deleteRecordFromTableWithName("t", "n", std::nullopt, e); }, 1,
       "Received nil value for delete record"},
      {"delete records", [](auto& s, auto* e) { s.deleteRecordsFromTableWithName("", "n > ?", {0}, e); }, 1,
       "Received empty table name for delete record"},
      {"delete records", [](auto& s, auto* e) { s.deleteRecordsFromTableWithName("t", "", {}, e); }, 1,
       "Received empty condition for delete record"},
      {"delete all", [](auto& s, auto* e) { s.deleteAllRecordsFromTableWithName("", e); }, 1,
       "Received empty table name for delete all records"},
      {"row count", [](auto& s, auto* e) { s.rowCountForTableWithName("", e); }, 1,
       "Received empty table name for row count"},
      {"records", [](auto& s, auto* e) { s.recordsForQuery("", {}, e); }, 1,
       "Received empty query for records for query"},
      {"records", [](auto& s, auto* e) { s.recordsForQuery("SELECT * FROM t", {}, e, nullptr); }, 1,
       "Received empty filter for selecting records"},
      {"number", [](auto& s, auto* e) { s.numberForQuery("", {}, e); }, 1, "Received empty query to get numeric result"},
      {"prepare", [](auto& s, auto* e) { s.prepareSQL("", e); }, 1, "Received empty SQL string to prepare"},
      {"execute", [](auto& s, auto* e) { s.executeSQL("", e); }, 1, "Received empty SQL string to execute"},
      {"execute statement", [](auto& s, auto* e) { s.executeSQLStatement(nullptr, e); }, 1,
       "Execute SQL statement failed. Statement is NULL."},
      {"bind", [](auto& s, auto* e) { s.bindValues({1}, nullptr, e); }, 1, "Failed to bind to NULL statement"},
      {"transaction", [](auto& s, auto* e) { s.performTransactionWithError(e, nullptr); }, 1,
       "Received nil transaction block"},
  };
}

TEST_F(StoreErrorsTest, BadArgumentsFailBeforeTheConnectionIsTouched) {
  sqlite3* handle = store_->sqliteHandle();
  int changes = sqlite3_total_changes(handle);
  for (const auto& c : argumentCases()) {
    SCOPED_TRACE(std::string(c.operation) + ": " + c.text);
    ns::Error error;
    c.call(*store_, &error);
    EXPECT_EQ(describe(error), measurementError(c.code, c.text));
    EXPECT_EQ(contextOf(error), "");
    c.call(*store_, nullptr);  // no out-parameter: nothing to fill
  }
  EXPECT_EQ(sqlite3_total_changes(handle), changes);
  EXPECT_EQ(sqlite(store_->databasePath(), "SELECT count(*) FROM t"), "0");

  // The same refusals from a closed store: the arguments are looked at
  // before the connection.
  store_->closeDatabase();
  for (const auto& c : argumentCases()) {
    SCOPED_TRACE(std::string("closed, ") + c.operation + ": " + c.text);
    ns::Error error;
    c.call(*store_, &error);
    EXPECT_EQ(describe(error), measurementError(c.code, c.text));
  }
  EXPECT_FALSE(monitor_.contains(34022)) << "no error message was asked of a closed connection";
}

TEST_F(StoreErrorsTest, AClosedStoreRefusesEveryOperation) {
  store_->closeDatabase();
  const std::vector<ArgumentCase> cases = {
      {"ensure table", [](auto& s, auto* e) { s.ensureTableWithName("t", {{"n", "INTEGER"}}, {}, e); }, 2,
       "Ensure table failed. Database not open."},
      {"validate table", [](auto& s, auto* e) { s.validateTableWithName("t", {"n"}, {}, e); }, 2,
       "Validate table failed. Database not open."},
      {"validate", [](auto& s, auto* e) { s.validateDatabaseWithError(e); }, 2,
       "Validate database failed. Database not open."},
      {"table exists", [](auto& s, auto* e) { s.tableExists("t", e); }, 2, "Table exists failed. Database not open."},
      {"columns", [](auto& s, auto* e) { s.columnsForTableWithName("t", e); }, 2,
       "Get table columns failed. Database not open."},
      {"column info", [](auto& s, auto* e) { s.columnInfoForTableWithName("t", e); }, 2,
       "Get table column info failed. Database not open."},
      {"upsert", [](auto& s, auto* e) { s.upsertRecord(kRecord, "t", e); }, 2,
       "Upsert record failed. Database not open."},
      {"update", [](auto& s, auto* e) { s.updateRecord(kRecord, "t", "name", ns::Value("a"), e); }, 2,
       "Update record failed. Database not open."},
      {"increase", [](auto& s, auto* e) { s.increaseColumn("n", 1, "t", "n > ?", {0}, e); }, 2,
       "Increase column failed. Database not open."},
      {"delete record", [](auto& s, auto* e) { s.deleteRecordFromTableWithName("t", "n", ns::Value(1), e); }, 2,
       "Delete record failed. Database not open."},
      {"delete records", [](auto& s, auto* e) { s.deleteRecordsFromTableWithName("t", "n > ?", {0}, e); }, 2,
       "Delete records with condition failed. Database not open."},
      {"delete all", [](auto& s, auto* e) { s.deleteAllRecordsFromTableWithName("t", e); }, 2,
       "Delete all records failed. Database not open."},
      {"row count", [](auto& s, auto* e) { s.rowCountForTableWithName("t", e); }, 2, "Row count failed. Database not open."},
      {"records", [](auto& s, auto* e) { s.recordsForQuery("SELECT * FROM t", {}, e); }, 2,
       "Query records failed. Database not open."},
      {"number", [](auto& s, auto* e) { s.numberForQuery("SELECT 1", {}, e); }, 2,
       "Query numeric result failed. Database not open."},
      {"statement", [](auto& s, auto* e) { s.statementForQuery("SELECT 1", e); }, 2,
       "Statement for query failed. Database not open."},
      {"prepare", [](auto& s, auto* e) { s.prepareSQL("SELECT 1", e); }, 2, "Prepare SQL failed. Database not open."},
      {"execute", [](auto& s, auto* e) { s.executeSQL("SELECT 1", e); }, 2, "Execute SQL failed. Database not open."},
      {"transaction", [](auto& s, auto* e) { s.performTransactionWithError(e, [] { return true; }); }, 2,
       "Database not open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    ns::Error error;
    c.call(*store_, &error);
    EXPECT_EQ(describe(error), measurementError(c.code, c.text));
  }
  EXPECT_EQ(store_->lastErrorMessage(), std::nullopt);
  EXPECT_TRUE(monitor_.contains(34022));
}

TEST_F(StoreErrorsTest, SQLiteFailuresCarryTheirDescriptionAndContext) {
  std::string digit = freeSpaceDigit();
  struct Case {
    const char* name;
    Operation call;
    std::string description;
    std::string context;
  } cases[] = {
      {"a NOT NULL column left empty",
       [](auto& s, auto* e) { s.upsertRecord(ns::Dictionary{{"name", "a"}, {"n", ns::Null{}}}, "t", e); },
       "Database operation \"execute statement\" failed with sqlite code 19 and error message \"NOT NULL "
       "constraint failed: t.n\"",
       "execute statement,19,A," + digit},
      {"an unknown table", [](auto& s, auto* e) { s.rowCountForTableWithName("missing", e); },
       "Database operation \"prepare statement\" failed with sqlite code 1 and error message \"no such table: "
       "missing\"",
       "prepare statement,1,A," + digit},
      {"a value for no parameter", [](auto& s, auto* e) { s.numberForQuery("SELECT count(1) FROM t WHERE n = ?", {1, 2}, e); },
       "Database operation \"bind values\" failed with sqlite code 25 and error message \"column index out of "
       "range\"",
       "bind values,25,A," + digit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Error error;
    c.call(*store_, &error);
    EXPECT_EQ(error.domain(), kMSRErrorDomain);
    EXPECT_EQ(error.code(), 3);
    EXPECT_EQ(error.localizedDescription(), c.description);
    EXPECT_EQ(contextOf(error), c.context);
  }
  std::vector<std::string> fields = contextFields(store_->monitorContextForDatabaseOperation(""));
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0], "Unknown operation");
  EXPECT_EQ(fields[2] + "," + fields[3], "A," + digit);
}

TEST_F(StoreErrorsTest, TheContextSaysWhenTheFileIsNotWritable) {
  std::string path = store_->databasePath();
  auto& files = ns::FileManager::defaultManager();
  // Root may write any file but an immutable one.
  bool immutable = files.setImmutable(true, path);
  if (!immutable && ::geteuid() == 0) GTEST_SKIP() << "no way to make the file unwritable here";
  if (!immutable) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  }
  std::string context = store_->monitorContextForDatabaseOperation("delete record");
  if (immutable) files.setImmutable(false, path);
  std::vector<std::string> fields = contextFields(context);
  ASSERT_EQ(fields.size(), 4u) << context;
  EXPECT_EQ(fields[0], "delete record");
  EXPECT_EQ(fields[2], "NA");
}

}  // namespace
}  // namespace msr_testing
