// The worker queue shields itself from throwing blocks and logs refused
// ones; the alarm fires once per arming on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"

namespace {

using msr_testing::StorageTest;

// "<level>/<code> <message>" of each message the monitor was handed.
std::vector<std::string> described(const std::vector<MSRMonitorMessage>& messages) {
  std::vector<std::string> out;
  for (const auto& m : messages) {
    out.push_back(std::to_string(m.level) + "/" + std::to_string(m.code) + " " + m.message.value_or("(nil)"));
  }
  return out;
}

class MSRSchedulerTest : public StorageTest {
 protected:
  MSRScheduler scheduler_{"com.zorori.zova.worker"};
  // Waits until every block queued so far ran.
  void drain() { scheduler_.workerQueue()->sync([] {}); }
};

TEST_F(MSRSchedulerTest, BlocksRunInOrderAndAThrowDoesNotStopTheQueue) {
  std::vector<int> ran;
  scheduler_.scheduleOnWorkerQueueBlockID("MSRMeasurement:1", [&] { ran.push_back(1); });
  scheduler_.scheduleOnWorkerQueueBlockID("MSRMeasurement:2", [] { throw ns::Exception("Broken", "reason"); });
  scheduler_.scheduleOnWorkerQueueBlockID("MSRMeasurement:3", {});
  scheduler_.scheduleOnWorkerQueueBlockID("MSRMeasurement:4", [&] {
    EXPECT_EQ(dispatch::Queue::currentLabel(), "com.zorori.zova.worker");
    ran.push_back(4);
  });
  drain();
  EXPECT_EQ(ran, (std::vector<int>{1, 4}));
  // The refusal is logged on the caller's thread, the exception on the
  // worker's: in either order.
  auto messages = monitor_.messages();
  std::sort(messages.begin(), messages.end(), [](auto& a, auto& b) { return a.code < b.code; });
  EXPECT_EQ(described(messages),
            (std::vector<std::string>{"1/30000 Exception on worker queue. Block ID=MSRMeasurement:2. Exception",
                                      "1/30005 Nil block dispatched asynchronously on worker queue. Block "
                                      "ID=MSRMeasurement:3."}));
  ASSERT_EQ(messages.at(0).contexts.size(), 1u);
  ASSERT_NE(messages[0].contexts[0].exception(), nullptr);
  EXPECT_EQ(messages[0].contexts[0].exception()->name(), "Broken");
}

TEST_F(MSRSchedulerTest, SynchronousBlocksReportWhatDidNotFinish) {
  int ran = 0;
  scheduler_.dispatchSyncOnWorkerQueueBlockID("MSRMeasurement:10", [&] { ++ran; });
  scheduler_.dispatchSyncOnWorkerQueueBlockID("MSRMeasurement:11", {});
  scheduler_.dispatchSyncOnWorkerQueueBlockID("MSRMeasurement:12", [] { throw ns::Exception("Broken", "sync"); });
  // From the worker queue itself the wait could never end: refused, not hung.
  scheduler_.scheduleOnWorkerQueueBlockID("MSRMeasurement:13", [&] {
    scheduler_.dispatchSyncOnWorkerQueueBlockID("MSRMeasurement:14", [&] { ++ran; });
  });
  drain();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(described(monitor_.messages()),
            (std::vector<std::string>{
                "1/30002 Nil block dispatched synchronously on worker queue. Block ID=MSRMeasurement:11.",
                "1/30003 Exception on worker queue when processing sync block. Block ID=MSRMeasurement:12. Exception",
                "4/30004 Synchronous task failed. Block ID=MSRMeasurement:12",
                "4/30004 Synchronous task failed. Block ID=MSRMeasurement:14",
            }));
}

class MSRAlarmTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1.8e9));
  }
  void TearDown() override {
    ns::Clock::useReal();
    StorageTest::TearDown();
  }
  // Moves the clock and waits for what fell due to run on the queue.
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    queue_->sync([] {});
  }
  std::shared_ptr<dispatch::Queue> queue_ = dispatch::Queue::serial("alarm-test");
};

TEST_F(MSRAlarmTest, ArmingAgainReplacesThePendingFiring) {
  auto alarm = MSRAlarm::initWithDispatchQueue(queue_, "Measurement timer");
  std::vector<int> ran;
  alarm->runAfterDelay(10, [&] { ran.push_back(1); });
  alarm->runAfterDelay(20, [&] { ran.push_back(2); });
  EXPECT_EQ(alarm->scheduledTimestamp(), ns::Date::fromUnixTime(1.8e9 + 20));
  EXPECT_TRUE(alarm->hasActiveTimer());
  advance(15);
  EXPECT_TRUE(ran.empty());
  advance(10);
  EXPECT_EQ(ran, std::vector<int>{2});
  advance(100);
  EXPECT_EQ(ran, std::vector<int>{2}) << "once";
  EXPECT_EQ(alarm->scheduledTimestamp(), std::nullopt);
  EXPECT_FALSE(alarm->hasActiveTimer());
  EXPECT_EQ(described(monitor_.messages()), (std::vector<std::string>{
                                                "7/2002 Measurement timer scheduled to fire in approx. (s)",
                                                "7/2003 Measurement timer canceled",
                                                "7/2002 Measurement timer scheduled to fire in approx. (s)",
                                                "7/2001 Measurement timer fired",
                                                "7/2003 Measurement timer canceled",
                                            }));
}

TEST_F(MSRAlarmTest, CancellingAndRefusals) {
  auto alarm = MSRAlarm::initWithDispatchQueue(queue_, "");
  alarm->cancel();
  EXPECT_TRUE(monitor_.messages().empty()) << "an idle alarm cancels silently";
  bool ran = false;
  alarm->runAfterDelay(1, {});
  alarm->runAfterDelay(std::nan(""), [&] { ran = true; });
  EXPECT_EQ(alarm->scheduledTimestamp(), std::nullopt);
  alarm->runAfterDelay(5, [&] { ran = true; });
  alarm->cancel();
  advance(10);
  EXPECT_FALSE(ran);
  // An alarm made without a name is "Timer".
  alarm->runAfterDelay(0.5, [&] { ran = true; });
  advance(1);
  EXPECT_TRUE(ran);
  auto lines = described(monitor_.messages());
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "1/2000 Timer tried to schedule an empty block");
  EXPECT_EQ(lines[1].substr(0, 13), "1/2000 Timer ");
  EXPECT_EQ(lines[3], "7/2003 Timer canceled");
  EXPECT_EQ(lines[5], "7/2001 Timer fired");
}

TEST_F(MSRAlarmTest, ADelayBeyondTheClocksRangeWaitsAtItsEnd) {
  auto alarm = MSRAlarm::initWithDispatchQueue(queue_, "Retry");
  bool ran = false;
  alarm->runAfterDelay(1e300, [&] { ran = true; });
  ASSERT_TRUE(alarm->scheduledTimestamp());
  // 2^63 nanoseconds: about 292 years.
  EXPECT_NEAR(alarm->scheduledTimestamp()->timeIntervalSince1970(), 1.8e9 + 9223372036.854775807, 1);
  advance(1e9);
  EXPECT_FALSE(ran);
  alarm->runAfterDelay(-std::numeric_limits<double>::infinity(), [&] { ran = true; });
  advance(0);
  EXPECT_TRUE(ran) << "a past deadline fires at once";
}

TEST_F(MSRAlarmTest, ABlockMayArmItsAlarmAgain) {
  auto alarm = MSRAlarm::initWithDispatchQueue(queue_, "Retry");
  std::atomic<int> fired{0};
  std::function<void()> again = [&] {
    if (++fired < 3) alarm->runAfterDelay(10, again);
  };
  alarm->runAfterDelay(10, again);
  for (int i = 0; i < 5; ++i) advance(10);
  EXPECT_EQ(fired, 3);
  EXPECT_FALSE(alarm->hasActiveTimer());
}

}  // namespace
