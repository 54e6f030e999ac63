// The measurement database's file on disk, read back with sqlite3: a new
// one, an older one migrated with its rows, one that cannot be migrated,
// a damaged one, and reset.
#include <iterator>

#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

class DatabaseFileTest : public DatabaseTest {};

// The thirteen table names, sorted.
const std::vector<std::string> kAllTables = {
    "app_metadata",     "audience_filter_values", "conditional_properties", "event_filters", "events",
    "main_event_params", "property_filters",      "purchase_transactions",  "queue",         "raw_events",
    "raw_events_metadata", "subscriptions",       "user_attributes"};

// What sqlite3's ".tables" lists, sorted.
std::vector<std::string> tables(const std::string& path) {
  std::istringstream listed(sqlite(path, ".tables"));
  std::vector<std::string> names{std::istream_iterator<std::string>(listed), std::istream_iterator<std::string>()};
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(DatabaseFileTest, ANewDatabaseHasItsThirteenTablesAndOneMetadataRow) {
  openDatabase();
  EXPECT_EQ(tables(path_), kAllTables);
  EXPECT_EQ(sqlite(path_, "SELECT type || ' ' || \"notnull\" FROM pragma_table_info('raw_events') WHERE name = 'timestamp'"),
            "REAL 1");
  EXPECT_NE(sqlite(path_, ".schema event_filters").find("PRIMARY KEY (audience_id, filter_id)"), std::string::npos)
      << sqlite(path_, ".schema event_filters");
  EXPECT_EQ(sqlite(path_, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(sqlite(path_, "SELECT rowid, last_bundle_index, last_bundle_end_timestamp FROM app_metadata"), "1|0|0.0");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM pragma_table_info('app_metadata')"), "11") << "every add-on column";
  EXPECT_TRUE(ns::FileManager::defaultManager().isExcludedFromBackup(path_));

  // Opening it again changes nothing and keeps the one row.
  std::string schema = sqlite(path_, ".schema");
  worker([&] { database_.reset(); });
  openDatabase();
  EXPECT_EQ(sqlite(path_, ".schema"), schema);
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM app_metadata"), "1");
}

TEST_F(DatabaseFileTest, AnEmptyNameFailsAndLeavesNoFile) {
  worker([&] {
    ns::Error error;
    EXPECT_EQ(MSRDatabase::initWithDatabaseName("", nullptr, &error), nullptr);
    EXPECT_EQ(describe(error), measurementError(1, "Received empty database name in init"));
  });
  EXPECT_FALSE(ns::FileManager::defaultManager().fileExists(
      ns::URL::fileURLWithPath(databasePath(kDatabaseName)).deletingLastPathComponent()));
}

TEST_F(DatabaseFileTest, AnOlderDatabaseGainsItsColumnsAndKeepsEveryRow) {
  std::string path = databasePath(kDatabaseName);
  writeFile(path, "");
  ASSERT_EQ(sqlite(path,
                   "CREATE TABLE app_metadata (last_bundle_index INTEGER NOT NULL, last_bundle_end_timestamp REAL NOT NULL);"
                   "INSERT INTO app_metadata VALUES (41, 1700000000.5);"
                   "CREATE TABLE raw_events (name TEXT NOT NULL, timestamp INTEGER NOT NULL, "
                   "metadata_fingerprint INTEGER NOT NULL, data BLOB NOT NULL);"
                   "INSERT INTO raw_events VALUES ('_e', 1700000001, 7, X'0102');"
                   "INSERT INTO raw_events VALUES ('_s', 1700000002, 7, X'03');"
                   "CREATE TABLE user_attributes (name TEXT NOT NULL PRIMARY KEY, set_timestamp REAL NOT NULL, "
                   "value BLOB NOT NULL);"
                   "INSERT INTO user_attributes VALUES ('favorite_food', 5.0, 'pie');"
                   "CREATE TABLE queue (data BLOB NOT NULL, bundle_end_timestamp REAL NOT NULL, kept_note TEXT);"
                   "INSERT INTO queue VALUES (X'AA', 9.0, 'a nullable column we do not know');"),
            "");
  openDatabase();
  EXPECT_EQ(tables(path_), kAllTables);
  EXPECT_EQ(sqlite(path_, "SELECT rowid, last_bundle_index, last_bundle_end_timestamp, remote_config_data IS NULL, "
                          "last_bundle_start_timestamp IS NULL FROM app_metadata"),
            "1|41|1700000000.5|1|1")
      << "the old row is kept, not replaced";
  EXPECT_EQ(sqlite(path_, "SELECT type FROM pragma_table_info('raw_events') WHERE name = 'timestamp'"), "REAL");
  EXPECT_EQ(sqlite(path_, "SELECT name, timestamp, typeof(timestamp), metadata_fingerprint, hex(data), "
                          "is_realtime IS NULL FROM raw_events ORDER BY rowid"),
            "_e|1700000001.0|real|7|0102|1\n_s|1700000002.0|real|7|03|1");
  EXPECT_EQ(sqlite(path_, "SELECT name, value, origin IS NULL FROM user_attributes"), "favorite_food|pie|1");
  EXPECT_EQ(sqlite(path_, "SELECT hex(data), kept_note, retry_count IS NULL FROM queue"),
            "AA|a nullable column we do not know|1");
  EXPECT_EQ(sqlite(path_, "PRAGMA integrity_check"), "ok");

  // The metadata row reads back through the database as it was.
  worker([&] {
    ns::Error error;
    auto metadata = database_->queryAppMetadata(&error);
    ASSERT_NE(metadata, nullptr) << error.description();
    EXPECT_EQ(metadata->lastBundleIndex(), 41);
    EXPECT_EQ(metadata->lastBundleStartTimestamp(), 0.0) << "NULL in an old row";
    EXPECT_EQ(metadata->lastBundleEndTimestamp(), 1700000000.5);
  });
}

TEST_F(DatabaseFileTest, AnUnknownRequiredColumnDeletesTheFileAndTheNextCreationStartsAfresh) {
  std::string path = databasePath(kDatabaseName);
  writeFile(path, "");
  ASSERT_EQ(sqlite(path, "CREATE TABLE subscriptions (subscription_id TEXT NOT NULL PRIMARY KEY, "
                         "owner TEXT NOT NULL);"
                         "INSERT INTO subscriptions VALUES ('sub-1', 'someone');"),
            "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(MSRDatabase::initWithDatabaseName(kDatabaseName, nullptr, &error), nullptr);
  });
  EXPECT_FALSE(ns::FileManager::defaultManager().fileExists(path));
  EXPECT_TRUE(monitor_.contains(12047));
  EXPECT_TRUE(monitor_.contains(12002));

  openDatabase();
  EXPECT_EQ(tables(path_), kAllTables);
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM subscriptions"), "0");
}

// A file the set-up cannot use: the creation fails with the monitor
// messages that say why.
TEST_F(DatabaseFileTest, SetUpFailuresAreReported) {
  struct Case {
    const char* name;
    const char* sql;
    std::vector<std::pair<int64_t, std::string>> messages;  // code, text, in order
    bool fileKept;
  } cases[] = {
      {"an unknown required column",
       "CREATE TABLE purchase_transactions (fingerprint TEXT NOT NULL PRIMARY KEY, shop TEXT NOT NULL);",
       {{12047, "Failed to ensure table. Table, error"},
        {12002, "Failed to create or validate required database tables (Init)"}},
       false},
      {"a negative bundle index",
       "CREATE TABLE app_metadata (last_bundle_index INTEGER NOT NULL, last_bundle_end_timestamp REAL NOT NULL);"
       "INSERT INTO app_metadata VALUES (-1, 0);",
       {{4000, "Failed to create app metadata object. Received negative last bundle index."},
        {12005, "Failed to query app metadata"},
        {12056, "Transaction failed. Transaction failed"},
        {12004, "Failed to initialize App Metadata table (Init)"}},
       true},
      {"a metadata row that is not row 1",
       "CREATE TABLE app_metadata (last_bundle_index INTEGER NOT NULL, last_bundle_end_timestamp REAL NOT NULL);"
       "INSERT INTO app_metadata (rowid, last_bundle_index, last_bundle_end_timestamp) VALUES (2, 0, 0);",
       {{12006, "Unable to update the app metadata. Error"},
        {12056, "Transaction failed. Transaction failed"},
        {12004, "Failed to initialize App Metadata table (Init)"}},
       true},
  };
  std::string path = databasePath(kDatabaseName);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::FileManager::defaultManager().removeItem(path);
    writeFile(path, "");
    ASSERT_EQ(sqlite(path, c.sql), "");
    monitor_.clear();
    worker([&] {
      ns::Error error;
      EXPECT_EQ(MSRDatabase::initWithDatabaseName(kDatabaseName, nullptr, &error), nullptr);
    });
    std::vector<std::pair<int64_t, std::string>> messages;
    for (const auto& m : monitor_.messages()) {
      if (m.level <= 2) messages.emplace_back(m.code, m.message.value_or(""));
    }
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(ns::FileManager::defaultManager().fileExists(path), c.fileKept);
  }
}

TEST_F(DatabaseFileTest, AGarbageFileIsReplaced) {
  std::string path = databasePath(kDatabaseName);
  writeFile(path, std::string(8192, 'x'));
  openDatabase();
  EXPECT_EQ(tables(path_), kAllTables);
  EXPECT_EQ(sqlite(path_, "SELECT rowid, last_bundle_index FROM app_metadata"), "1|0");
}

TEST_F(DatabaseFileTest, ResetEmptiesEveryTableAndKeepsTheDatabaseUsable) {
  openDatabase();
  ASSERT_EQ(sqlite(path_, "INSERT INTO subscriptions VALUES ('s'); UPDATE app_metadata SET last_bundle_index = 9;"),
            "");
  worker([&] {
    ns::Error error;
    EXPECT_TRUE(database_->reset(&error)) << error.description();
    EXPECT_EQ(database_->insertIfNotDuplicateSubscriptionID("s", &error), true) << "the table is usable again";
  });
  EXPECT_EQ(sqlite(path_, "SELECT rowid, last_bundle_index FROM app_metadata"), "1|0");
  EXPECT_EQ(sqlite(path_, "SELECT subscription_id FROM subscriptions"), "s");
}

TEST_F(DatabaseFileTest, ATransactionBlockAnsweringNoLeavesNothingAndIsLogged) {
  openDatabase();
  worker([&] {
    EXPECT_FALSE(database_->performTransaction([&] {
      ns::Error error;
      EXPECT_EQ(database_->insertIfNotDuplicateSubscriptionID("gone", &error), true);
      return false;
    }));
    EXPECT_TRUE(database_->performTransaction([&] {
      ns::Error error;
      return database_->insertIfNotDuplicateSubscriptionID("kept", &error) == true;
    }));
  });
  EXPECT_EQ(sqlite(path_, "SELECT subscription_id FROM subscriptions"), "kept");
  auto messages = monitor_.messages();
  auto failed = std::find_if(messages.begin(), messages.end(), [](const auto& m) { return m.code == 12056; });
  ASSERT_NE(failed, messages.end());
  EXPECT_EQ(failed->level, 1);
  EXPECT_EQ(failed->message, "Transaction failed. Transaction failed");
}

TEST_F(DatabaseFileTest, CreationOnTheMainThreadIsReportedAndGoesOn) {
  ns::Error error;
  auto database = MSRDatabase::initWithDatabaseName(kDatabaseName, nullptr, &error);
  EXPECT_NE(database, nullptr) << error.description();
  auto messages = monitor_.messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front().code, 30001);
  EXPECT_EQ(messages.front().message, "Method initWithDatabaseName:persistedConfig:error: should execute on background thread");
  monitor_.clear();
}

}  // namespace
}  // namespace msr_testing
