// Records in and out of real tables: the kinds of values, the statement
// cache, selections with filters, numbers, and the write operations.
#include <sqlite3.h>

#include <set>

#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

class StoreRecordsTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    openTestStore("events", {{"name", "TEXT NOT NULL PRIMARY KEY"}, {"count", "INTEGER NOT NULL"}, {"label", "TEXT"}});
  }

  void insertEvents(std::initializer_list<std::pair<const char*, int>> events) {
    for (const auto& [name, count] : events) {
      ns::Error error;
      ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"name", name}, {"count", count}}, "events", &error))
          << error.description();
    }
  }

  // The texts of the statements the connection holds prepared.
  std::set<std::string> livingStatements() {
    std::set<std::string> texts;
    for (sqlite3_stmt* s = sqlite3_next_stmt(store_->sqliteHandle(), nullptr); s;
         s = sqlite3_next_stmt(store_->sqliteHandle(), s)) {
      texts.insert(sqlite3_sql(s));
    }
    return texts;
  }
};

TEST_F(StoreRecordsTest, ValuesKeepTheirKinds) {
  ns::Error error;
  // Columns without affinity keep what was bound.
  ASSERT_TRUE(store_->ensureTableWithName(
      "kinds", {{"id", "INTEGER NOT NULL"}, {"v", "BLOB"}}, {}, &error));
  struct Case {
    const char* name;
    ns::Value value;
    const char* storedAs;  // typeof() in sqlite3
    const char* hex;       // hex() in sqlite3
  } cases[] = {
      {"string", ns::Value("héllo"), "text", "68C3A96C6C6F"},
      {"string with NUL bytes", ns::Value(std::string("a\0b\0", 4)), "text", "61006200"},
      {"integer", ns::Value(-42), "integer", "2D3432"},
      {"large integer", ns::Value(static_cast<long long>(INT64_MAX)), "integer", "39323233333732303336383534373735383037"},
      {"bool", ns::Value(true), "integer", "31"},
      {"double", ns::Value(2.5), "real", "322E35"},
      {"float", ns::Value(1.5f), "real", "312E35"},
      {"data with NUL bytes", ns::Value(ns::Data{0, 1, 0, 255}), "blob", "000100FF"},
      {"null", ns::Value(ns::Null{}), "null", ""},
  };
  int id = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ++id;
    ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"id", id}, {"v", c.value}}, "kinds", &error))
        << error.description();
    EXPECT_EQ(sqlite(path_, "SELECT typeof(v) || '|' || ifnull(hex(v), '') FROM kinds WHERE id = " + std::to_string(id)),
              std::string(c.storedAs) + "|" + c.hex);
    auto records = store_->recordsForQuery("SELECT v FROM kinds WHERE id = ?", {id}, &error);
    ASSERT_TRUE(records && records->size() == 1) << error.description();
    const ns::Value* back = (*records)[0].find("v");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->type(), c.value.isBool() ? ns::Value::Type::Integer : c.value.type());
    EXPECT_EQ(*back, c.value) << back->description();
  }
  auto records = store_->recordsForQuery("SELECT v FROM kinds WHERE id = ?", {2}, &error);
  EXPECT_EQ(*(*records)[0].find("v")->asString(), std::string("a\0b\0", 4));

  // An empty blob is stored as one, and reads back as no value: its
  // column is left out of the record, with a warning.
  ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"id", 100}, {"v", ns::Data{}}}, "kinds", &error));
  EXPECT_EQ(sqlite(path_, "SELECT typeof(v) || length(v) FROM kinds WHERE id = 100"), "blob0");
  records = store_->recordsForQuery("SELECT id, v FROM kinds WHERE id = ?", {100}, &error);
  ASSERT_TRUE(records && records->size() == 1);
  EXPECT_EQ((*records)[0], (ns::Dictionary{{"id", 100}}));
  EXPECT_TRUE(monitor_.contains(34004));

  // Other kinds are refused whole, with code 1, and nothing is written.
  for (const ns::Value& value : {ns::Value(ns::Date(0)), ns::Value(ns::Array{1}), ns::Value(ns::Dictionary{{"k", 1}})}) {
    SCOPED_TRACE(value.description());
    monitor_.clear();
    error = {};
    EXPECT_FALSE(store_->upsertRecord(ns::Dictionary{{"id", 200}, {"v", value}}, "kinds", &error));
    EXPECT_EQ(describe(error), measurementError(1, "Failed to bind parameter of unexpected type to upsert statement"));
    EXPECT_EQ(monitor_.codes(), std::vector<int64_t>{34020});
    error = {};
    EXPECT_FALSE(store_->updateRecord(ns::Dictionary{{"v", value}}, "kinds", "id", ns::Value(1), &error));
    EXPECT_EQ(describe(error), measurementError(1, "Failed to bind parameter of unexpected type to update statement"));
    EXPECT_TRUE(monitor_.contains(34021));
  }
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM kinds WHERE id = 200"), "0");
}

TEST_F(StoreRecordsTest, StatementsWithPlaceholdersAreKeptLiteralConditionsAreNot) {
  std::set<std::string> before = livingStatements();
  insertEvents({{"a", 1}, {"b", 2}});
  ASSERT_EQ(livingStatements(), before) << "upserts are prepared for each use";
  struct Case {
    std::string query;
    ns::Array values;
    bool kept;
  } cases[] = {
      {"SELECT name FROM events WHERE count = ?", {1}, true},
      {"SELECT name FROM events WHERE count = 1", {}, false},
      {"SELECT name FROM events where count = 2", {}, false},
      {"SELECT name FROM events ORDER BY name", {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    ns::Error error;
    for (int use = 0; use < 2; ++use) {
      auto records = store_->recordsForQuery(c.query, c.values, &error);
      ASSERT_TRUE(records) << error.description();
      EXPECT_FALSE(records->empty());
    }
    EXPECT_EQ(livingStatements().contains(c.query), c.kept);
  }
  ns::Error error;
  EXPECT_FALSE(store_->recordsForQuery("SELECT name FROM events WHERE name = ? AND count = ?", {}, &error));
  EXPECT_EQ(describe(error), measurementError(1, "Received empty parameters"));

  store_->finalizeAndClearStatements();
  EXPECT_TRUE(livingStatements().empty());
}

TEST_F(StoreRecordsTest, SelectingRecords) {
  insertEvents({{"a", 1}, {"b", 2}, {"c", 3}});
  struct Case {
    const char* query;
    bool accepted;
  } queries[] = {
      {"SELECT name FROM events ORDER BY name", true},
      {"select name from events order by name", true},
      {"SeLeCt name FROM events ORDER BY name", true},
      {" SELECT name FROM events ORDER BY name", false},
      {"WITH e AS (SELECT name FROM events) SELECT name FROM e", false},
      {"DELETE FROM events", false},
  };
  for (const auto& c : queries) {
    SCOPED_TRACE(c.query);
    ns::Error error;
    auto records = store_->recordsForQuery(c.query, {}, &error);
    if (c.accepted) {
      ASSERT_TRUE(records) << error.description();
      EXPECT_EQ(*records, (std::vector<ns::Dictionary>{{{"name", "a"}}, {{"name", "b"}}, {{"name", "c"}}}));
    } else {
      EXPECT_FALSE(records);
      EXPECT_EQ(describe(error), measurementError(1, "Received invalid select query"));
    }
  }
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM events"), "3");

  // Every column of a row, named as the query names them.
  ns::Error error;
  auto records = store_->recordsForQuery("SELECT rowid, name AS event, count * 10 AS tens FROM events WHERE count > ?",
                                         {2}, &error);
  ASSERT_TRUE(records);
  EXPECT_EQ(*records, (std::vector<ns::Dictionary>{{{"rowid", 3}, {"event", "c"}, {"tens", 30}}}));
  EXPECT_EQ(records->front().keys(), (std::vector<std::string>{"rowid", "event", "tens"}));
  EXPECT_EQ(records->front().find("label"), nullptr);

  // A query that fails on its first step is a failure, not an empty table.
  records = store_->recordsForQuery("SELECT abs(-9223372036854775807 - 1)", {}, &error);
  EXPECT_FALSE(records);
  EXPECT_EQ(error.code(), 3);
  EXPECT_NE(error.localizedDescription().find("integer overflow"), std::string::npos) << error.description();
}

TEST_F(StoreRecordsTest, FiltersDecideAndMayEndTheSelection) {
  insertEvents({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}});
  const std::string query = "SELECT name FROM events ORDER BY name";
  struct Case {
    const char* name;
    size_t refusedAt;  // the row the filter answers NO to
    std::vector<std::string> expected;
    bool allFilteredWarning;
  } cases[] = {
      {"the first row refused", 0, {}, true},
      {"the third row refused", 2, {"a", "b"}, false},
      {"nothing refused", 99, {"a", "b", "c", "d"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    monitor_.clear();
    systemlog::LegacyLogStore::shared().clear();
    std::vector<size_t> indexes;
    size_t rows = 0;
    ns::Error error;
    auto records = store_->recordsForQuery(query, {}, &error, [&](size_t index, const ns::Dictionary&) {
      indexes.push_back(index);
      return rows++ != c.refusedAt;
    });
    ASSERT_TRUE(records) << error.description();
    std::vector<std::string> names;
    for (const auto& record : *records) names.push_back(record.find("name")->stringValue());
    EXPECT_EQ(names, c.expected);
    std::vector<size_t> expectedIndexes;
    for (size_t i = 0; i < std::min<size_t>(c.refusedAt + 1, 4); ++i) expectedIndexes.push_back(i);
    EXPECT_EQ(indexes, expectedIndexes);
    EXPECT_EQ(monitor_.contains(34005), c.allFilteredWarning);
    auto lines = loggerLines();
    EXPECT_EQ(lines.size(), c.allFilteredWarning ? 1u : 0u);
    if (!lines.empty()) {
      EXPECT_EQ(lines[0]["Message"],
                " - <DudUziroruvoza>[I-ACS034005] Database contains records that were all filtered out");
      EXPECT_EQ(lines[0]["Level"], "4");
    }
  }
}

TEST_F(StoreRecordsTest, Numbers) {
  insertEvents({{"a", 1}, {"b", 2}});
  struct Case {
    std::string query;
    ns::Array values;
    std::optional<ns::Value> expected;
    std::string error;  // "" when none is given
  } cases[] = {
      {"SELECT count(1) FROM events", {}, ns::Value(2), ""},
      {"SELECT max(count) FROM events WHERE count > ?", {1}, ns::Value(2), ""},
      {"SELECT avg(count) FROM events", {}, ns::Value(1.5), ""},
      {"SELECT max(count) FROM events WHERE count > ?", {9}, std::nullopt, ""},
      {"SELECT name FROM events", {}, std::nullopt, measurementError(1, "Found result that was not numeric")},
      {"SELECT count FROM events WHERE count > ?", {9}, std::nullopt, "code 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    // A sentinel: an operation that succeeds leaves the out-parameter alone.
    ns::Error error("untouched", 0);
    std::optional<ns::Value> number = store_->numberForQuery(c.query, c.values, &error);
    EXPECT_EQ(number, c.expected);
    if (c.error.empty()) {
      EXPECT_EQ(error.domain(), "untouched");
    } else if (c.error == "code 3") {
      EXPECT_EQ(error.code(), 3);
      EXPECT_EQ(contextOf(error).rfind("query numeric result,", 0), 0u) << contextOf(error);
    } else {
      EXPECT_EQ(describe(error), c.error);
    }
  }
  ns::Error error;
  EXPECT_EQ(store_->rowCountForTableWithName("events", &error), std::optional<int64_t>(2));
  EXPECT_EQ(store_->rowCountForTableWithName("events", "name", ns::Value("b"), &error), std::optional<int64_t>(1));
  EXPECT_EQ(store_->rowCountForTableWithName("events", "name", ns::Value("z"), &error), std::optional<int64_t>(0));
  EXPECT_EQ(store_->rowCountForTableWithName("events", "name", std::nullopt, &error), std::optional<int64_t>(2));
}

TEST_F(StoreRecordsTest, OneStatementAtATime) {
  insertEvents({{"a", 1}});
  std::set<std::string> before = livingStatements();
  ns::Error error;
  EXPECT_FALSE(store_->recordsForQuery("SELECT name FROM events; SELECT count FROM events", {}, &error));
  EXPECT_EQ(describe(error), measurementError(1, "Query contained more than one SQL statement."));
  error = {};
  EXPECT_FALSE(store_->executeSQL("CREATE TABLE other(x); DROP TABLE events", &error));
  EXPECT_EQ(describe(error), measurementError(1, "Query contained more than one SQL statement."));
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM sqlite_master WHERE type = 'table'"), "events")
      << "neither statement ran";
  EXPECT_EQ(livingStatements(), before);
  EXPECT_TRUE(store_->executeSQL("CREATE TABLE other(x);", &error)) << error.description();
}

TEST_F(StoreRecordsTest, WritingRecords) {
  insertEvents({{"a", 1}, {"b", 2}, {"c", 3}});
  ns::Error error;
  // An upsert replaces the row with the same key.
  ASSERT_TRUE(store_->upsertRecord(ns::Dictionary{{"count", 10}, {"name", "a"}}, "events", &error));
  ASSERT_TRUE(store_->updateRecord(ns::Dictionary{{"label", "bee"}, {"count", 20}}, "events", "name", ns::Value("b"),
                                   &error));
  ASSERT_TRUE(store_->increaseColumn("count", 5, "events", "name IN (?, ?)", {"a", "c"}, &error))
      << error.description();
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(row, ' ') FROM (SELECT name || '=' || count || ifnull(label, '') "
                          "AS row FROM events ORDER BY name)"),
            "a=15 b=20bee c=8");

  EXPECT_FALSE(store_->increaseColumn("label", 1, "events", "name = ?", {"b"}, &error));
  EXPECT_EQ(describe(error), measurementError(1, "Column type is not integer."));
  EXPECT_FALSE(store_->increaseColumn("missing", 1, "events", "name = ?", {"b"}, &error));
  EXPECT_EQ(describe(error), measurementError(1, "Invalid column or table name"));
  EXPECT_FALSE(store_->increaseColumn("count", 1, "nowhere", "name = ?", {"b"}, &error));
  EXPECT_EQ(describe(error), measurementError(1, "Invalid column or table name"));

  ASSERT_TRUE(store_->updateAllRecordsInTableWithName("events", "label", ns::Value("all"), &error));
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(DISTINCT label) FROM events"), "all");

  ASSERT_TRUE(store_->deleteRecordFromTableWithName("events", "name", ns::Value("a"), &error));
  EXPECT_EQ(store_->deleteRecordsFromTableWithName("events", "count > ?", {100}, &error), std::optional<int64_t>(0));
  EXPECT_EQ(store_->deleteRecordsFromTableWithName("events", "count >= ?", {8}, &error), std::optional<int64_t>(2));
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM events"), "0");

  insertEvents({{"x", 1}, {"y", 2}});
  ASSERT_TRUE(store_->deleteAllRecordsFromTableWithName("events", &error));
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM events"), "0");

  // A key the table refuses: the row stays as it was.
  insertEvents({{"k", 1}});
  EXPECT_FALSE(store_->updateRecord(ns::Dictionary{{"count", ns::Null{}}}, "events", "name", ns::Value("k"), &error));
  EXPECT_EQ(error.code(), 3);
  EXPECT_EQ(sqlite(path_, "SELECT count FROM events WHERE name = 'k'"), "1");
}

}  // namespace
}  // namespace msr_testing
