// A fetched configuration's program editing events end to end: the
// configuration written as text, encoded by protoc, applied by the remote
// configuration, whose engine then edits, creates and logs through the
// modules it registered.
#include <nlohmann/json.hpp>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"

namespace msr_testing {
namespace {

using nlohmann::json;
using msrptest::programText;

// The edit callback renames each event to the configured
// "editing.rename" (the event's own name when there is none) and logs
// that it did; the create callback makes an "echo" of each event.
const json kInstructions = json::parse(R"([
  ["41", "reg", "log", "config", "logger"],
  ["3", "reg", ["require", "internal.registerCallback"]],
  ["3", "log", ["require", "internal.eventLogger"]],
  ["3", "config", ["require", "internal.remoteConfig"]],
  ["3", "logger", ["require", "internal.logger"]],
  ["50", "rule", ["7", "r"], ["reg", 0, ["16", ["15", "r"], "cb"], ["15", "r"]]]
])");
const json kRules = json::parse(R"([
  ["8", "type", "edit", "cb", ["51", "f", ["7", "e"],
    ["2", ["15", "e"], "setEventName", ["7",
      ["2", ["15", "config"], "getValue", ["7", "editing.rename", ["2", ["15", "e"], "getEventName", ["7"]]]]]],
    ["2", ["15", "logger"], "log", ["7", 4, "renamed", ["2", ["15", "e"], "getEventName", ["7"]]]],
    ["36", 0]]],
  ["8", "type", "create", "cb", ["51", "f", ["7", "e"],
    ["log", "echo", 5, ["8", "of", ["2", ["15", "e"], "getEventName", ["7"]]]]]]
])");

class MSRRemoteConfigEditingTest : public RemoteConfigTest {
 protected:
  void SetUp() override {
    RemoteConfigTest::SetUp();
    makeRemoteConfig();
  }
};

TEST_F(MSRRemoteConfigEditingTest, AConfiguredProgramEditsCreatesAndLogs) {
  ASSERT_TRUE(apply(appConfig(setting("editing.rename", "renamed_event") + programText(kInstructions, kRules))));
  std::shared_ptr<MSRPEventEditing> engine = remoteConfig_->eventEditing();
  ASSERT_NE(engine, nullptr);
  monitor_.clear();

  ns::Error error;
  bool handled = false;
  worker([&] { handled = engine->handleEvent(MSRPEvent("screen_view", 7, ns::Dictionary{{"a", 1}}), error); });
  EXPECT_TRUE(handled);
  EXPECT_TRUE(error.domain().empty()) << error.domain() << " " << error.code();
  EXPECT_EQ(engine->eventContext().outputEvent().name(), "renamed_event");
  ASSERT_EQ(engine->eventContext().eventsToLog().size(), 1u);
  const MSRPEvent& echo = engine->eventContext().eventsToLog()[0];
  EXPECT_EQ(echo.name(), "echo");
  EXPECT_EQ(echo.timestamp(), 5);
  EXPECT_EQ(echo.parameterForName("of")->stringValue(), "renamed_event");

  MSRMonitorWaitForTesting();
  std::vector<MSRMonitorMessage> logged;
  for (const MSRMonitorMessage& m : monitor_.messages()) {
    if (m.code == 24005) logged.push_back(m);
  }
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].level, 6);
  EXPECT_EQ(logged[0].message, "renamed");
  ASSERT_EQ(logged[0].contexts.size(), 1u);
  EXPECT_EQ(logged[0].contexts[0].value()->stringValue(), "renamed_event");
}

TEST_F(MSRRemoteConfigEditingTest, ANewConfigurationReplacesTheEngineAndAFailedLoadLeavesNone) {
  // A configuration without settings is not read at all.
  const std::string interval = setting("measurement.upload.interval", "60000");
  ASSERT_TRUE(apply(appConfig(interval + programText(kInstructions, kRules))));
  std::weak_ptr<MSRPEventEditing> first = remoteConfig_->eventEditing();
  ASSERT_FALSE(first.expired());
  {
    // Without the setting the event keeps its name.
    auto engine = first.lock();
    ns::Error error;
    worker([&] { engine->handleEvent(MSRPEvent("kept", 1, {}), error); });
    EXPECT_EQ(engine->eventContext().outputEvent().name(), "kept");
  }

  ASSERT_TRUE(apply(appConfig(setting("editing.rename", "second") + programText(kInstructions, kRules))));
  ASSERT_NE(remoteConfig_->eventEditing(), nullptr);
  EXPECT_TRUE(first.expired()) << "the first engine is freed";

  monitor_.clear();
  json broken = kInstructions;
  broken.push_back(json::parse(R"(["27", ["4"]])"));  // fails with error 4
  ASSERT_TRUE(apply(appConfig(interval + programText(broken, kRules))));
  EXPECT_EQ(remoteConfig_->eventEditing(), nullptr);
  EXPECT_TRUE(monitor_.contains(29026));
}

}  // namespace
}  // namespace msr_testing
