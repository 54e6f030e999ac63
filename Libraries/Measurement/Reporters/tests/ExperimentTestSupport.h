// For the experiment tests: a fresh device on a virtual clock, task
// managers built as the process builds them (its own worker queue and
// alarm, a network client for the experiment service's host, the suite
// "MSRExperimentSuiteName", the database in the measurement directory),
// the monitor's messages, and snapshots written as protoc text.
#pragma once

#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Reporters/MSRETaskManager.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"
#include "Libraries/WireMessages/MSRPBFlagRoutines.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace msr_testing {

inline constexpr double kExperimentNow = 1700000000.0;
inline constexpr const char* kExperimentHost = "experiments.measurement.invalid";
inline constexpr const char* kExperimentDatabase = "zorori_experimentation_database.sql";

// A Snapshot message from its protoc text form.
inline std::shared_ptr<MSRPBSnapshot> snapshotProto(const std::string& text) {
  std::string bytes = protoc("--encode=msrpb.Snapshot ExperimentMessages.proto", text);
  auto proto = MSRPBSnapshot::initWithBuffer(bytesOf(bytes));
  EXPECT_NE(proto, nullptr) << text;
  return proto;
}
inline std::shared_ptr<MSRESnapshot> snapshotFromText(const std::string& text) {
  auto proto = snapshotProto(text);
  return proto ? MSRESnapshot::initWithProtobuf(proto.get()) : nullptr;
}

// A task manager as the process makes one, on the current device.
inline std::shared_ptr<MSRETaskManager> makeExperimentTaskManager() {
  auto queue = dispatch::Queue::create("MSRExperimentWorkerQueue", dispatch::Queue::Kind::Serial,
                                       dispatch::Priority::Background);
  return MSRETaskManager::initWithQueue(queue, MSRAlarm::initWithDispatchQueue(queue, "MSRExperimentAlarm"),
                                        ZULNetwork::initWithReachabilityHost(kExperimentHost),
                                        std::make_shared<MSRUserDefaults>("MSRExperimentSuiteName"),
                                        MSRApplicationSupportFilePath(kExperimentDatabase),
                                        ns::Clock::now().timeIntervalSince1970());
}

// The experiment service over TLS on 127.0.0.1: the device maps the
// service's host to it and trusts its authority.
struct ExperimentServer {
  ExperimentServer() {
    EXPECT_TRUE(net::mapHostToLoopback(kExperimentHost, server.port()));
    EXPECT_TRUE(net::trustCertificateAuthority("experiments-test", server.authorityPEM()));
  }
  net::testing::LoopbackHTTPServer server{{.tls = true, .names = {kExperimentHost}}};
};

// Pumps the main run loop (the network client starts its requests there)
// until the server has `count` requests. The bound (real time) only ends a
// test that already failed.
inline bool waitForRequests(const net::testing::LoopbackHTTPServer& server, size_t count) {
  return dispatch::RunLoop::main().runUntil([&] { return server.requestCount() >= count; }, 60);
}

// An ExperimentResponse from its protoc text form.
inline std::string responseBytes(const std::string& text) {
  std::string bytes = protoc("--encode=msrpb.ExperimentResponse ExperimentMessages.proto", text);
  EXPECT_FALSE(bytes.empty() && !text.empty()) << text;
  return bytes;
}

class ExperimentTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kExperimentNow));
  }
  void TearDown() override {
    // Managers first: their queues finish what they hold.
    for (auto& manager : managers_) manager->dispatchSyncOnSerialQueue([] {});
    for (auto& taskManager : taskManagers_) drain(*taskManager);
    managers_.clear();
    taskManagers_.clear();
    ns::Clock::useReal();
    ns::Bundle::setMainBundlePath({});
    StorageTest::TearDown();
  }

  std::shared_ptr<MSRETaskManager> makeTaskManager() {
    auto taskManager = makeExperimentTaskManager();
    taskManagers_.push_back(taskManager);
    return taskManager;
  }
  // A manager over a new task manager, started when asked (then its start
  // callback has run when this returns).
  std::shared_ptr<MSREManager> makeManager(bool start = false) {
    auto manager = MSREManager::initWithTaskManager(makeTaskManager());
    managers_.push_back(manager);
    if (start) {
      manager->taskManager()->startTaskManager();
      drain(*manager->taskManager());
      manager->dispatchSyncOnSerialQueue([] {});
    }
    return manager;
  }
  static void drain(MSRETaskManager& taskManager) { taskManager.workerQueue()->sync([] {}); }
  static double now() { return ns::Clock::now().timeIntervalSince1970(); }
  std::string databaseFile() const { return MSRApplicationSupportFilePath(kExperimentDatabase); }

  // The monitor's messages of this code so far.
  std::vector<MSRMonitorMessage> messagesWithCode(int64_t code) const {
    MSRMonitorWaitForTesting();
    std::vector<MSRMonitorMessage> out;
    for (const auto& message : monitor_.messages()) {
      if (message.code == code) out.push_back(message);
    }
    return out;
  }
  // Pumps the main run loop until the monitor has `count` messages of this
  // code: a network answer arrives through it. The bound (real time) only
  // ends a test that already failed.
  bool waitForCode(int64_t code, size_t count = 1) const {
    return dispatch::RunLoop::main().runUntil([&] { return messagesWithCode(code).size() >= count; }, 60);
  }

  std::vector<std::shared_ptr<MSREManager>> managers_;
  std::vector<std::shared_ptr<MSRETaskManager>> taskManagers_;
};

}  // namespace msr_testing
