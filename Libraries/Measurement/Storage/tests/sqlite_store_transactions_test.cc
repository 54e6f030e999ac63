// Blocks inside exclusive transactions: what is kept, what is rolled back,
// and that a failed transaction never stands in the way of the next one.
#include <sqlite3.h>

#include <stdexcept>

#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

class StoreTransactionsTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    openTestStore("t", {{"n", "INTEGER NOT NULL"}});
  }

  bool insert(int n) {
    ns::Error error;
    return store_->upsertRecord(ns::Dictionary{{"n", n}}, "t", &error);
  }
  std::string rows() { return sqlite(path_, "SELECT ifnull(group_concat(n), '') FROM (SELECT n FROM t ORDER BY n)"); }
};

TEST_F(StoreTransactionsTest, TheBlockDecides) {
  struct Case {
    const char* name;
    bool answer;
    bool succeeded;
    std::string error;
    const char* rows;
  } cases[] = {
      {"YES keeps", true, true, "", "1,2"},
      {"NO rolls back", false, false, measurementError(3, "Transaction failed"), "1,2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Error error;
    bool succeeded = store_->performTransactionWithError(&error, [&] {
      EXPECT_TRUE(insert(c.answer ? 1 : 3));
      EXPECT_TRUE(insert(c.answer ? 2 : 4));
      return c.answer;
    });
    EXPECT_EQ(succeeded, c.succeeded);
    if (!c.error.empty()) {
      EXPECT_EQ(describe(error), c.error);
    }
    EXPECT_EQ(rows(), c.rows);
    EXPECT_NE(sqlite3_get_autocommit(store_->sqliteHandle()), 0) << "no transaction is left open";
  }
}

TEST_F(StoreTransactionsTest, AnExceptionRollsBackAndIsThrownOn) {
  ns::Error error;
  try {
    store_->performTransactionWithError(&error, [&]() -> bool {
      EXPECT_TRUE(insert(1));
      throw std::runtime_error("out of the block");
    });
    ADD_FAILURE() << "the exception did not come through";
  } catch (const std::runtime_error& exception) {
    EXPECT_STREQ(exception.what(), "out of the block");
  }
  EXPECT_EQ(rows(), "");
  EXPECT_TRUE(store_->performTransactionWithError(&error, [&] { return insert(2); }));
  EXPECT_EQ(rows(), "2");
  EXPECT_FALSE(monitor_.contains(34009));
}

TEST_F(StoreTransactionsTest, TransactionsDoNotNest) {
  ns::Error outerError;
  ns::Error innerError;
  bool innerSucceeded = true;
  EXPECT_TRUE(store_->performTransactionWithError(&outerError, [&] {
    insert(1);
    innerSucceeded = store_->performTransactionWithError(&innerError, [&] { return insert(2); });
    return true;
  }));
  EXPECT_FALSE(innerSucceeded);
  EXPECT_EQ(describe(innerError), measurementError(3, "Failed to begin transaction"));
  EXPECT_EQ(rows(), "1") << "the inner block never ran";
}

TEST_F(StoreTransactionsTest, AFailedEndRollsBackAndTheNextTransactionWorks) {
  ns::Error error;
  ASSERT_TRUE(store_->executeSQL("PRAGMA foreign_keys = ON", &error)) << error.description();
  ASSERT_TRUE(store_->executeSQL("CREATE TABLE parent(id INTEGER PRIMARY KEY)", &error));
  ASSERT_TRUE(store_->executeSQL(
      "CREATE TABLE child(parent_id INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)", &error));

  // The orphan passes each statement; the commit refuses it.
  EXPECT_FALSE(store_->performTransactionWithError(&error, [&] {
    return insert(1) && store_->upsertRecord(ns::Dictionary{{"parent_id", 99}}, "child", nullptr);
  }));
  EXPECT_EQ(describe(error), measurementError(3, "Failed to end transaction"));
  EXPECT_NE(sqlite3_get_autocommit(store_->sqliteHandle()), 0) << "the failed transaction was rolled back";
  EXPECT_EQ(rows(), "");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM child"), "0");

  error = {};
  EXPECT_TRUE(store_->performTransactionWithError(&error, [&] {
    return insert(2) && store_->upsertRecord(ns::Dictionary{{"id", 7}}, "parent", nullptr) &&
           store_->upsertRecord(ns::Dictionary{{"parent_id", 7}}, "child", nullptr);
  })) << error.description();
  EXPECT_EQ(rows(), "2") << "the refused block's row did not come back with this commit";
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(parent_id) FROM child"), "7");
  EXPECT_FALSE(monitor_.contains(34011));
}

}  // namespace
}  // namespace msr_testing
