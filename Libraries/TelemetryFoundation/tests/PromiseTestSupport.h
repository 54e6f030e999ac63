// Shared by the promise tests: a fixture that leaves the process-wide
// promise group empty behind every case, and small helpers to settle and
// read promises.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"

inline void PrintTo(const PRMObject& object, std::ostream* out) { *out << object.description(); }

namespace prm::testing {

inline bool groupIsEmpty() { return PRMPromise::dispatchGroup().wait(dispatch::kTimeNow); }

// Pumps the main run loop until `promise` is resolved (or 5 s pass).
inline bool settle(const PRMPromise::Ptr& promise) {
  return dispatch::RunLoop::main().runUntil([&] { return !promise->isPending(); }, 5);
}

inline PRMObject array(std::initializer_list<PRMObject> items) { return PRMObject::array(PRMArray(items)); }

inline ns::Error testError(int64_t code) { return ns::Error("test", code); }

// Every case must leave no promise pending and no callback queued: the
// group is the process-wide proof.
class PromiseTest : public ::testing::Test {
 protected:
  void TearDown() override {
    bool empty = dispatch::RunLoop::main().runUntil(groupIsEmpty, 5);
    EXPECT_TRUE(empty) << "a promise is still pending or a callback queued";
    PRMPromise::setDefaultDispatchQueue(dispatch::Queue::main());
  }
};

// The same on a virtual clock that only the case moves.
class VirtualClockPromiseTest : public PromiseTest {
 protected:
  void SetUp() override { ns::Clock::useVirtual(ns::Date(1000)); }
  void TearDown() override {
    PromiseTest::TearDown();
    ns::Clock::useReal();
  }
  // Moves the clock and runs what fell due on the main queue.
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    dispatch::RunLoop::main().drain();
  }
};

}  // namespace prm::testing
