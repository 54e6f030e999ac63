// The editing engine across events: the order of callbacks registered late
// or at the largest priority, and memory that returns after every event
// and with the engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"

namespace {

using namespace msrptest;
using nlohmann::json;

// A callback body that appends `suffix` to the event's name and keeps it.
json appending(const std::string& suffix) {
  return json::parse(R"(["51", "f", ["7", "e"],
    ["2", ["15", "e"], "setEventName", ["7", ["0", ["2", ["15", "e"], "getEventName", ["7"]], ")" + suffix + R"("]]],
    ["36", 0]])");
}

std::unique_ptr<MSRPEventEditing> loaded(const json& program) {
  auto engine = std::make_unique<MSRPEventEditing>();
  ns::Error error;
  engine->loadProgram(*editingProgram(program), error);
  EXPECT_TRUE(error.domain().empty()) << error.domain() << " " << error.code();
  return engine;
}

// The output name of one event named "e".
std::string edited(MSRPEventEditing& engine) {
  ns::Error error;
  engine.handleEvent(MSRPEvent("e", 1, {}), error);
  EXPECT_TRUE(error.domain().empty()) << error.domain() << " " << error.code();
  return engine.eventContext().outputEvent().name();
}

TEST(MSRPEventEditingTest, ACallbackRegisteredByACallbackRunsFromTheNextEvent) {
  // The first run of "a" registers "b" at priority 0, ahead of itself.
  json cb = appending("a");
  cb.insert(cb.begin() + 3, json::parse(R"(["22", ["28", ["15", "done"]],
      ["53", ["3", "done", true], ["reg", 0, )" + appending("b").dump() + R"(, ["8", "type", "edit", "priority", 0]]]])"));
  auto engine = loaded({{"program", json::parse(R"([["41", "done"], ["3", "done", false]])")},
                        {"activities", {{{"name", "rule"}, {"data", {{"8", "type", "edit", "priority", 1, "cb", cb}}}}}}});
  EXPECT_EQ(edited(*engine), "ea");
  EXPECT_EQ(engine->callbackHandler().editPriorities(), (std::vector<int64_t>{0, 1}));
  EXPECT_EQ(edited(*engine), "eba");
}

TEST(MSRPEventEditingTest, TakenPrioritiesAtTheTopOfTheRangeRunLast) {
  auto rule = [](const std::string& suffix, std::optional<double> priority) {
    json map = {"8", "type", "edit", "cb", appending(suffix)};
    if (priority) map.insert(map.end(), {"priority", *priority});
    return map;
  };
  auto engine = loaded({{"activities",
                         {{{"name", "rule"},
                           {"data", {rule("1", 2147483647), rule("2", 2147483647), rule("3", std::nullopt),
                                     rule("4", 2147483647)}}}}}});
  EXPECT_EQ(engine->callbackHandler().editPriorities(),
            (std::vector<int64_t>{1000, 2147483647, 2147483648, 2147483649}));
  EXPECT_EQ(edited(*engine), "e3124");
}

TEST(MSRPEventEditingTest, EventsLeaveNoScopesOrValuesBehind) {
  // Each run declares a function, which holds its call scope, which holds
  // the function: a cycle per event unless the run's leftovers are freed.
  json cb = json::parse(R"(["51", "f", ["7", "e"],
    ["50", "twice", ["7", "x"], ["26", ["15", "x"], 2]],
    ["2", ["15", "e"], "setParamValue", ["7", "n", ["twice", ["2", ["15", "e"], "getParamValue", ["7", "n"]]]]],
    ["36", 0]])");
  auto engine = loaded({{"activities", {{{"name", "rule"}, {"data", {{"8", "type", "edit", "cb", cb}}}}}}});
  ns::Error error;
  auto run = [&] {
    ASSERT_TRUE(engine->handleEvent(MSRPEvent("e", 1, ns::Dictionary{{"n", 3}}), error));
    ASSERT_EQ(engine->eventContext().outputEvent().parameterForName("n")->integerValue(), 6);
  };
  for (int i = 0; i < 10; ++i) run();
  long scopes = MSRPScope::liveCount();
  long values = MSRPRuntimeValue::liveCount();
  for (int i = 0; i < 100000; ++i) run();
  EXPECT_EQ(MSRPScope::liveCount(), scopes);
  EXPECT_EQ(MSRPRuntimeValue::liveCount(), values);
}

TEST(MSRPEventEditingTest, DestroyingTheEngineFreesEverythingItsProgramMade) {
  // Callbacks hold the global scope, which reaches them again through
  // "require", its modules and the callback handler.
  json program = {{"program", json::parse(R"([["41", "kept"], ["3", "kept", ["7", ["8", "a", 1]]]])")},
                  {"activities",
                   {{{"name", "rule"},
                     {"data", {{"8", "type", "edit", "cb", appending("x")}, {"8", "type", "create", "cb", appending("y")}}}}}}};
  edited(*loaded(program));  // the shared values (true, null, ...) exist from here on
  long scopes = MSRPScope::liveCount();
  long values = MSRPRuntimeValue::liveCount();
  {
    auto engine = loaded(program);
    EXPECT_EQ(edited(*engine), "exy");
    EXPECT_GT(MSRPRuntimeValue::liveCount(), values);
  }
  EXPECT_EQ(MSRPScope::liveCount(), scopes);
  EXPECT_EQ(MSRPRuntimeValue::liveCount(), values);
}

}  // namespace
