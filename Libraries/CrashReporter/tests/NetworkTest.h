// For the crash reporter's network tests: a fresh device, a loopback server,
// a virtual clock for the pauses between repeats, and a way to wait (real
// time) for a handler.
#pragma once

#include <chrono>
#include <future>
#include <thread>

#include "Libraries/CrashReporter/tests/DefaultsTest.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace dvcr_testing {

class NetworkTest : public DefaultsTest {
 protected:
  void SetUp() override {
    DefaultsTest::SetUp();
    ns::Clock::useVirtual(ns::Date(700'000'000));
  }
  void TearDown() override {
    ns::Clock::useReal();
    DefaultsTest::TearDown();
  }

  // Gives the transfer thread and the handler queue time to act.
  static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }

  template <class T>
  static bool arrives(std::future<T>& future) {
    return future.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  }

  net::testing::LoopbackHTTPServer server_;
};

}  // namespace dvcr_testing
