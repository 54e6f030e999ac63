// For the measurement database tests: a database on a fresh device, every
// call made from a background queue as the engine's worker queue makes it
// (a call from the main thread would log 30001), and protoc as a second
// writer and reader of the stored messages.
#pragma once

#include <functional>
#include <future>

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

  // The database of kDatabaseName as database_, its file at path_.
  void openDatabase() {
    worker([&] {
      ns::Error error;
      database_ = MSRDatabase::initWithDatabaseName(kDatabaseName, nullptr, &error);
      EXPECT_NE(database_, nullptr) << error.description();
    });
    ASSERT_NE(database_, nullptr);
    path_ = databasePath(kDatabaseName);
  }

  std::shared_ptr<dispatch::Queue> queue_ = dispatch::Queue::serial("com.zorori.zova.worker");
  std::shared_ptr<MSRDatabase> database_;
};

}  // namespace msr_testing
