// For the measurement database tests: a database on a fresh device, every
// call made from a background queue as the engine's worker queue makes it
// (a call from the main thread would log 30001), and protoc as a second
// writer and reader of the stored messages.
#pragma once

#include <functional>
#include <future>

#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"

namespace msr_testing {

inline constexpr const char* kDatabaseName = "zorori-app-measurement.sql";

// protoc run on the measurement messages: `arguments` such as
// "--decode=msrpb.MeasurementConfig ConfigurationMessages.proto", standard
// input from `input`; its output, "" when it failed.
inline std::string protoc(const std::string& arguments, const std::string& input) {
  std::string inputPath = ns::FileManager::defaultManager().temporaryDirectory().path() + "/protoc-input";
  writeFile(inputPath, input);
  std::string out;
  int status = run(std::string(MSRP_PROTOC) + " -I" + shellQuoted(std::string(QUILLBOX_SOURCE_DIR) +
                                                                     "/Libraries/WireMessages") +
                       " " + arguments + " < " + shellQuoted(inputPath) + " 2>&1",
                   &out);
  return status == 0 ? out : "";
}

inline ns::Data bytesOf(const std::string& text) { return ns::Data(text.begin(), text.end()); }

// The blob the query selects (its first row and column) as sqlite3 writes it
// out to a file with writefile(); its path in *file when asked for.
inline std::string sqliteBlob(const std::string& databasePath, const std::string& query, std::string* file = nullptr) {
  static int written = 0;
  std::string path =
      ns::FileManager::defaultManager().temporaryDirectory().path() + "/blob-" + std::to_string(++written);
  std::string answer = sqlite(databasePath, "SELECT writefile('" + path + "', (" + query + "))");
  EXPECT_NE(answer, "") << query;
  if (file) *file = path;
  return readFile(path);
}

class DatabaseTest : public StorageTest {
 protected:
  void TearDown() override {
    EXPECT_FALSE(monitor_.contains(30001)) << "a database call ran on the main thread";
    worker([&] { database_.reset(); });
    StorageTest::TearDown();
  }

  // Runs the block on the worker queue's thread and waits for it (a sync
  // call would run it on the calling thread).
  void worker(const std::function<void()>& block) {
    std::promise<void> done;
    queue_->async([&] {
      block();
      done.set_value();
    });
    done.get_future().wait();
  }

  // The database of kDatabaseName as database_, its file at path_, with
  // the persisted configuration given (none by default).
  void openDatabase(std::shared_ptr<MSRPersistedConfig> persistedConfig = nullptr) {
    worker([&] {
      ns::Error error;
      database_ = MSRDatabase::initWithDatabaseName(kDatabaseName, persistedConfig, &error);
      EXPECT_NE(database_, nullptr) << error.description();
    });
    ASSERT_NE(database_, nullptr);
    path_ = databasePath(kDatabaseName);
  }

  // One refused call: what it is, the call (answering whether it
  // succeeded) and the error it must leave.
  struct RefusedCall {
    const char* name;
    std::function<bool(MSRDatabase&, ns::Error*)> call;
    int64_t code;
    const char* description;
  };
  // Makes each call on the worker queue: it must fail with its error, and
  // fail the same without an out-parameter.
  void expectRefused(const std::vector<RefusedCall>& calls) {
    worker([&] {
      for (const auto& c : calls) {
        SCOPED_TRACE(c.name);
        ns::Error error;
        EXPECT_FALSE(c.call(*database_, &error));
        EXPECT_EQ(describe(error), measurementError(c.code, c.description));
        EXPECT_FALSE(c.call(*database_, nullptr));
      }
    });
  }

  std::shared_ptr<dispatch::Queue> queue_ = dispatch::Queue::serial("com.zorori.zova.worker");
  std::shared_ptr<MSRDatabase> database_;
};

// An open database on a virtual clock standing at kNow (seconds since 1970),
// with the persisted configuration persistedConfigForDatabase() makes.
// The running measurement's remote configuration is put back to the
// default at the end.
class ClockedDatabaseTest : public DatabaseTest {
 protected:
  static constexpr double kNow = 1700000000.0;

  void SetUp() override {
    DatabaseTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kNow));
    openDatabase(persistedConfigForDatabase());
  }
  void TearDown() override {
    DatabaseTest::TearDown();
    MSRMeasurementSetRemoteConfigForTesting(nullptr);
    ns::Clock::useReal();
  }
  virtual std::shared_ptr<MSRPersistedConfig> persistedConfigForDatabase() { return nullptr; }
};

}  // namespace msr_testing
