// A test fixture that runs each case on a virtual clock and leaves the main
// run loop empty behind it.
#pragma once

#include <gtest/gtest.h>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"

namespace dispatch {

class VirtualClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(ns::Date(1000));
    RunLoop::main().drain();
  }
  void TearDown() override {
    RunLoop::main().drain();
    ns::Clock::useReal();
  }
  // Moves the clock and runs what fell due on the main loop.
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    RunLoop::main().drain();
  }
};

}  // namespace dispatch
