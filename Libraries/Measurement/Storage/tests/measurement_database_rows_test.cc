// The generic row operations every table's operations are built on, and
// the bundle sequence of the app_metadata row.
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

class DatabaseRowsTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    openDatabase();
  }

  // An events row: the table has a text key and three required columns.
  static ns::Dictionary eventRow(const std::string& name, int64_t count) {
    return ns::Dictionary{
        {"name", name}, {"lifetime_count", count}, {"current_bundle_count", 0}, {"last_fire_timestamp", 1.5}};
  }

  // Makes an object of each row holding a name; none for the others.
  static std::shared_ptr<std::string> nameOf(const ns::Dictionary& row, ns::Error*) {
    const ns::Value* name = row.find("name");
    return name ? std::make_shared<std::string>(name->stringValue()) : nullptr;
  }
};

TEST_F(DatabaseRowsTest, AFullTableReplacesAKeyButRefusesANewOne) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->upsertDataType(eventRow("a", 1), "events", "name", "a", 2, &error)) << error.description();
    ASSERT_TRUE(database_->upsertDataType(eventRow("b", 1), "events", "name", "b", 2, &error)) << error.description();
    EXPECT_FALSE(database_->upsertDataType(eventRow("c", 1), "events", "name", "c", 2, &error));
    EXPECT_EQ(describe(error), measurementError(2, "Failed to insert data type. Table is full"));
    error = {};
    EXPECT_TRUE(database_->upsertDataType(eventRow("a", 5), "events", "name", "a", 2, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT name, lifetime_count FROM events ORDER BY name"), "a|5\nb|1");
}

TEST_F(DatabaseRowsTest, UpdatingAMissingKeyWritesNothing) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->insertDataType(eventRow("a", 1), "events", &error)) << error.description();
    EXPECT_FALSE(database_->updateDataType(ns::Dictionary{{"lifetime_count", 9}}, "events", "name", "z", &error));
    EXPECT_EQ(describe(error), measurementError(2, "Failed to update record. Item doesn't exist"));
    error = {};
    EXPECT_TRUE(database_->updateDataType(ns::Dictionary{{"lifetime_count", 3}}, "events", "name", "a", &error))
        << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT name, lifetime_count FROM events"), "a|3");
}

TEST_F(DatabaseRowsTest, ReadsByKeyAndInRowOrder) {
  worker([&] {
    ns::Error error;
    for (const char* name : {"b", "a", "c"}) ASSERT_TRUE(database_->insertDataType(eventRow(name, 1), "events", &error));

    auto none = database_->dataTypesFromTableWithName<std::string>("events", "name", ns::Value("zzz"), &error, nameOf);
    ASSERT_TRUE(none.has_value()) << "no match is an empty list, not a failure";
    EXPECT_TRUE(none->empty());

    auto one = database_->dataTypesFromTableWithName<std::string>("events", "name", ns::Value("a"), &error, nameOf);
    ASSERT_TRUE(one && one->size() == 1);
    EXPECT_EQ(*one->front(), "a");

    auto nothingMade = database_->dataTypesFromTableWithName<std::string>(
        "events", "name", ns::Value("a"), &error, [](const ns::Dictionary&, ns::Error*) { return nullptr; });
    EXPECT_FALSE(nothingMade.has_value());
    EXPECT_EQ(describe(error), measurementError(2, "Failed to initialize data types from dictionaries"));

    auto firstTwo = database_->allDataTypesFromTableWithName<std::string>("events", 2, &error, nameOf);
    ASSERT_TRUE(firstTwo.has_value());
    ASSERT_EQ(firstTwo->size(), 2u);
    EXPECT_EQ(*(*firstTwo)[0], "b");
    EXPECT_EQ(*(*firstTwo)[1], "a");
    auto all = database_->allDataTypesFromTableWithName<std::string>(
        "events", -1, &error, [](const ns::Dictionary& row, ns::Error* e) {
          return row.find("name")->stringValue() == "a" ? nullptr : nameOf(row, e);
        });
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 2u) << "rows the block makes nothing of are skipped";
    EXPECT_EQ(*(*all)[1], "c");
  });
}

TEST_F(DatabaseRowsTest, ArgumentsAreCheckedBeforeTheStore) {
  using Block = MSRDatabase::CreateDataTypeBlock<std::string>;
  expectRefused({
      {"all rows without a block",
       [](MSRDatabase& d, ns::Error* e) { return d.allDataTypesFromTableWithName<std::string>("events", 5, e, Block()).has_value(); },
       1, "Received nil block to get all data types"},
      {"rows of no table",
       [](MSRDatabase& d, ns::Error* e) {
         return d.dataTypesFromTableWithName<std::string>("", "name", ns::Value("a"), e, nameOf).has_value();
       },
       1, "Received empty table name to create data type from table"},
      {"rows of no column",
       [](MSRDatabase& d, ns::Error* e) {
         return d.dataTypesFromTableWithName<std::string>("events", "", ns::Value("a"), e, nameOf).has_value();
       },
       1, "Received empty column name to create data type from table"},
      {"rows of no value",
       [](MSRDatabase& d, ns::Error* e) {
         return d.dataTypesFromTableWithName<std::string>("events", "name", std::nullopt, e, nameOf).has_value();
       },
       1, "Received nil column value to create data type from table"},
      {"rows without a block",
       [](MSRDatabase& d, ns::Error* e) {
         return d.dataTypesFromTableWithName<std::string>("events", "name", ns::Value("a"), e, Block()).has_value();
       },
       2, "Received nil block to create data type from table"},
      {"insert into no table", [](MSRDatabase& d, ns::Error* e) { return d.insertDataType(eventRow("a", 1), "", e); },
       1, "Received empty table name for inserting"},
      {"insert no row", [](MSRDatabase& d, ns::Error* e) { return d.insertDataType({}, "events", e); }, 2,
       "Failed to insert empty record"},
      {"upsert no row", [](MSRDatabase& d, ns::Error* e) { return d.upsertDataType({}, "events", "name", "a", 9, e); },
       1, "Received empty data type to upsert"},
      {"upsert into no table",
       [](MSRDatabase& d, ns::Error* e) { return d.upsertDataType(eventRow("a", 1), "", "name", "a", 9, e); }, 1,
       "Received empty table name for checking upsert"},
      {"update no row", [](MSRDatabase& d, ns::Error* e) { return d.updateDataType({}, "events", "name", "a", e); },
       1, "Received empty data type to update"},
      {"update no table",
       [](MSRDatabase& d, ns::Error* e) { return d.updateDataType(eventRow("a", 1), "", "name", "a", e); }, 1,
       "Received empty table name for updating"},
      {"app metadata of nothing", [](MSRDatabase& d, ns::Error* e) { return d.updateAppMetadata(nullptr, e); }, 3,
       "Received empty app metadata for getting dictionary representation"},
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM events"), "0");
}

TEST_F(DatabaseRowsTest, TheBundleSequenceIsStoredInRowOne) {
  worker([&] {
    ns::Error error;
    auto metadata = database_->queryAppMetadata(&error);
    ASSERT_NE(metadata, nullptr) << error.description();
    EXPECT_EQ(metadata->lastBundleIndex(), 0);
    metadata->incrementLastBundleIndex();
    metadata->setLastBundleStartTimestamp(1700000000.25);
    metadata->setLastBundleEndTimestamp(1700000060.5);
    ASSERT_TRUE(database_->updateAppMetadata(metadata, &error)) << error.description();
    auto back = database_->queryAppMetadata(&error);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->lastBundleIndex(), 1);
    EXPECT_EQ(back->lastBundleStartTimestamp(), 1700000000.25);
    EXPECT_EQ(back->lastBundleEndTimestamp(), 1700000060.5);
  });
  EXPECT_EQ(sqlite(path_, "SELECT rowid, last_bundle_index, last_bundle_start_timestamp, last_bundle_end_timestamp "
                          "FROM app_metadata"),
            "1|1|1700000000.25|1700000060.5");
}

TEST_F(DatabaseRowsTest, TheBundleIndexIsNeverNegative) {
  EXPECT_EQ(MSRAppMetadata::initWithLastBundleIndex(-1, 0, 0), nullptr);
  auto last = MSRAppMetadata::initWithLastBundleIndex(2147483647, 0, 0);
  ASSERT_NE(last, nullptr);
  last->incrementLastBundleIndex();
  EXPECT_EQ(last->lastBundleIndex(), 0);
  EXPECT_EQ(monitor_.codes(), (std::vector<int64_t>{4000, 4001}));
  monitor_.clear();
}

}  // namespace
}  // namespace msr_testing
