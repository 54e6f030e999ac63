// The modules the configuration side gives programs: the logger and its log
// functions, the key-value store, the object provider, and the bridge of
// program log levels to the measurement monitor; and the live size cap of
// an engine's values kept across events.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"
#include "Libraries/Measurement/EventEditing/MSREvaluatorLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"
#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"

namespace {

using namespace msrptest;
using nlohmann::json;

struct LogLine {
  int64_t level;
  std::string message;
  std::vector<std::string> context;
  bool silent;
  bool monitored;
  bool operator==(const LogLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LogLine& line) {
  out << line.level << " \"" << line.message << "\" [";
  for (const std::string& c : line.context) out << "\"" << c << "\" ";
  return out << "] silent " << line.silent << " monitored " << line.monitored;
}

class RecordingLogger final : public MSRPLoggerDelegate {
 public:
  void logWithLevel(int64_t level, const std::string& message, const std::vector<std::string>& context, bool silent,
                    bool monitored) override {
    lines.push_back({level, message, context, silent, monitored});
  }
  std::vector<LogLine> lines;
};

// A runtime with the three modules, running statements in the notation.
class ModulesRuntime {
 public:
  ModulesRuntime() {
    runtime.setModuleCreator([this] { return std::make_shared<MSRPMessageLogger>(logger); }, u"internal.logger");
    runtime.setModuleCreator(
        [this] {
          return std::make_shared<MSRPKeyValueStore>("internal.remoteConfig",
                                                     [this](const std::string& key) -> std::optional<std::string> {
                                                       auto found = values.find(key);
                                                       if (found == values.end()) return std::nullopt;
                                                       return found->second;
                                                     });
        },
        u"internal.remoteConfig");
    runtime.setModuleCreator(
        [this] { return std::make_shared<MSRPObjectProvider>("internal.appMetadata", [this] { return metadata; }); },
        u"internal.appMetadata");
  }

  MSRPValueRef run(const json& statement, ns::Error& error) {
    return runtime.executeStatements(entitiesOf({valueFromNotation(statement)}), error);
  }

  std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
  std::map<std::string, std::string> values;
  std::optional<ns::Value> metadata;
  MSRPRuntime runtime;
};

json call(const char* module, const json& path, json arguments) {
  json receiver = json::array({"require", module});
  for (size_t i = 0; i + 1 < path.size(); ++i) receiver = json::array({"2", receiver, path[i], json::array({"7"})});
  arguments.insert(arguments.begin(), "7");
  return json::array({"2", receiver, path.back(), arguments});
}

TEST(MSRPFunctionLogTest, LevelsMessagesAndContexts) {
  struct Case {
    const char* name;
    json path;
    json arguments;
    LogLine expected;
  };
  const std::vector<Case> cases = {
      {"one argument is information", {"log"}, {"hello"}, {4, "hello", {}, false, true}},
      {"a fraction is truncated", {"log"}, {6.9, "m"}, {6, "m", {}, false, true}},
      {"a text level is read as a number", {"log"}, {"5", "m"}, {5, "m", {}, false, true}},
      {"only the third to fifth are context", {"log"}, {2, "m", "a", 1, true, "x", "y"}, {2, "m", {"a", "1", "true"}, false, true}},
      {"NaN is level 0", {"log"}, {"x", "m"}, {0, "m", {}, false, true}},
      {"Infinity saturates", {"log"}, {"Infinity", "m"}, {INT64_MAX, "m", {}, false, true}},
      {"-Infinity saturates", {"log"}, {"-Infinity", "m"}, {INT64_MIN, "m", {}, false, true}},
      {"a huge level saturates", {"log"}, {1e300, "m"}, {INT64_MAX, "m", {}, false, true}},
      {"silent", {"silent", "log"}, {6, "m"}, {6, "m", {}, true, true}},
      {"unmonitored", {"unmonitored", "log"}, {6, "m", "c"}, {6, "m", {"c"}, false, false}},
  };
  for (const Case& c : cases) {
    ModulesRuntime modules;
    ns::Error error;
    MSRPValueRef result = modules.run(call("internal.logger", c.path, c.arguments), error);
    EXPECT_EQ(errorCode(error), 0) << c.name;
    EXPECT_EQ(describe(result), "undefined") << c.name;
    EXPECT_EQ(modules.logger->lines, std::vector<LogLine>{c.expected}) << c.name;
  }
}

TEST(MSRPFunctionLogTest, FailuresAndTheModulesThemselvesLogNothing) {
  struct Case {
    const char* name;
    json statement;
    int64_t error;
  };
  const std::vector<Case> cases = {
      {"no argument", call("internal.logger", {"log"}, json::array()), 9},
      {"a failing argument", call("internal.logger", {"log"}, {6, json::parse(R"(["27", ["4"]])")}), -1},
  };
  for (const Case& c : cases) {
    ModulesRuntime modules;
    ns::Error error;
    modules.run(c.statement, error);
    if (c.error > 0) {
      EXPECT_EQ(errorCode(error), c.error) << c.name;
    } else {
      EXPECT_NE(errorCode(error), 0) << c.name;
    }
    EXPECT_TRUE(modules.logger->lines.empty()) << c.name;
  }
  // Calling the logger gives undefined, "silent" and "unmonitored" give
  // themselves (so what they give logs as they do); none evaluates its
  // arguments or logs.
  ModulesRuntime modules;
  ns::Error error;
  modules.run(json::parse(R"(["41", "L"])"), error);
  modules.run(json::parse(R"(["3", "L", ["require", "internal.logger"]])"), error);
  EXPECT_EQ(describe(modules.run(json::parse(R"(["L", ["undeclared"]])"), error)), "undefined");
  for (const char* name : {"silent", "unmonitored"}) {
    json itself = json::array({"2", json::array({"15", "L"}), name, json::array({"7", json::array({"undeclared"})})});
    size_t before = modules.logger->lines.size();
    EXPECT_TRUE(MSRPValueIs<MSRPFunctionValue>(*modules.run(itself, error))) << name;
    EXPECT_EQ(modules.logger->lines.size(), before) << name;
    modules.run(json::array({"2", itself, "log", json::array({"7", 5, name})}), error);
  }
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(modules.logger->lines,
            (std::vector<LogLine>{{5, "silent", {}, true, true}, {5, "unmonitored", {}, false, false}}));
}

TEST(MSREvaluatorLoggerTest, ProgramLevelsBecomeMonitorLevels) {
  struct Case {
    int64_t level;
    bool silent;
    bool monitored;
    int64_t expected;
  };
  const std::vector<Case> cases = {
      {2, false, true, 8},  {3, false, true, 7}, {4, false, true, 6}, {5, true, true, 5}, {5, false, true, 4},
      {5, false, false, 3}, {6, true, true, 2},  {6, false, true, 1}, {6, false, false, 0}, {0, false, true, 6},
      {INT64_MAX, true, true, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MSREvaluatorLogger::monitorLevel(c.level, c.silent, c.monitored), c.expected)
        << c.level << " " << c.silent << " " << c.monitored;
  }
}

TEST(MSREvaluatorLoggerTest, AProgramsErrorReachesTheMonitorWithItsMeaning) {
  std::vector<MSRMonitorMessage> messages;
  std::mutex mutex;
  MSRMonitorSetObserverForTesting([&](const MSRMonitorMessage& message) {
    std::lock_guard lock(mutex);
    if (message.code == 24005) messages.push_back(message);
  });
  auto engine = std::make_unique<MSRPEventEditing>();
  engine->setModuleCreator([] { return std::make_shared<MSRPMessageLogger>(std::make_shared<MSREvaluatorLogger>()); },
                           u"internal.logger");
  ns::Error error;
  engine->loadProgram(*editingProgram({{"program", json::array({call("internal.logger", {"silent", "log"}, {6, "s"}),
                                                                  call("internal.logger", {"unmonitored", "log"}, {6, "u"}),
                                                                  call("internal.logger", {"log"}, {6, "l", "c1", "c2"}),
                                                                  call("internal.logger", {"log"}, {"plain"})})}}),
                      error);
  EXPECT_EQ(errorCode(error), 0);
  MSRMonitorSetObserverForTesting({});
  std::vector<std::pair<int64_t, std::string>> seen;
  for (const auto& m : messages) seen.emplace_back(m.level, m.message.value_or(""));
  EXPECT_EQ(seen, (std::vector<std::pair<int64_t, std::string>>{{2, "s"}, {0, "u"}, {1, "l"}, {6, "plain"}}));
  ASSERT_EQ(messages.size(), 4u);
  ASSERT_EQ(messages[2].contexts.size(), 2u);
  EXPECT_EQ(messages[2].contexts[1].value()->stringValue(), "c2");
}

TEST(MSRPKeyValueStoreTest, GetValueAnswersFromTheBlockOrGivesTheDefault) {
  struct Case {
    const char* name;
    json arguments;
    std::string expected;
    int64_t error;
  };
  const std::vector<Case> cases = {
      {"a known key gives a string", {"known", 5}, "'12'", 0},
      {"a key as a number is its text", {7, "d"}, "'seven'", 0},
      {"a missing key gives the default unchanged", {"missing", 5}, "5", 0},
      {"one argument", {"known"}, "undefined", 9},
      {"three arguments", {"known", 1, 2}, "undefined", 9},
  };
  for (const Case& c : cases) {
    ModulesRuntime modules;
    modules.values = {{"known", "12"}, {"7", "seven"}};
    ns::Error error;
    MSRPValueRef result = modules.run(call("internal.remoteConfig", {"getValue"}, c.arguments), error);
    EXPECT_EQ(errorCode(error), c.error) << c.name;
    EXPECT_EQ(describe(result), c.expected) << c.name;
  }
}

TEST(MSRPObjectProviderTest, ACallGivesTheBlocksObjectAsAValue) {
  ModulesRuntime modules;
  modules.metadata = ns::Value(ns::Dictionary{{"platform", "ios"}, {"zmp_version", 101600}});
  ns::Error error;
  modules.run(json::parse(R"(["41", "meta"])"), error);
  modules.run(json::parse(R"(["3", "meta", ["require", "internal.appMetadata"]])"), error);
  MSRPValueRef platform = modules.run(json::parse(R"(["16", ["meta", ["undeclared"]], "platform"])"), error);
  EXPECT_EQ(errorCode(error), 0);
  EXPECT_EQ(describe(platform), "'ios'");
  EXPECT_EQ(describe(modules.run(json::parse(R"(["16", ["meta"], "zmp_version"])"), error)), "101600");
}

// A program that keeps a megabyte from every event in a global array: each
// run stays within its own budget, but what the engine holds would grow
// without end. Past the live cap a run fails with 20 (the caller keeps the
// event), and what a program makes and drops never counts against it.
TEST(MSRPEventEditingTest, ValuesKeptAcrossEventsStopAtTheLiveCap) {
  auto engineKeeping = [](bool keep) {
    // "unit" is a string of 2^19 units; each event makes a new one a unit
    // longer, which the keeping program holds on to.
    json program = json::parse(R"([["41", "kept", "unit"], ["3", "kept", ["7"]], ["3", "unit", "x"]])");
    for (int i = 0; i < 19; ++i) program.push_back(json::parse(R"(["3", "unit", ["0", ["15", "unit"], ["15", "unit"]]])"));
    json cb = json::parse(R"(["51", "f", ["7", "e"],
      ["41", "big"],
      ["3", "big", ["0", ["15", "unit"], "y"]],
      ["2", ["15", "e"], "setParamValue", ["7", "n", 1]],
      ["36", 0]])");
    if (keep) cb.insert(cb.begin() + 5, json::parse(R"(["2", ["15", "kept"], "push", ["7", ["15", "big"]]])"));
    auto engine = std::make_unique<MSRPEventEditing>();
    ns::Error error;
    engine->loadProgram(
        *editingProgram({{"program", program}, {"activities", {{{"name", "rule"}, {"data", {{"8", "type", "edit", "cb", cb}}}}}}}),
        error);
    EXPECT_EQ(errorCode(error), 0);
    return engine;
  };
  auto run = [](MSRPEventEditing& engine) {
    ns::Error error;
    bool changed = engine.handleEvent(MSRPEvent("e", 1, {}), error);
    return changed ? 0 : errorCode(error);
  };
  auto keeping = engineKeeping(true);
  int handled = 0;
  while (handled < 300 && run(*keeping) == 0) ++handled;
  EXPECT_GE(handled, 120);
  EXPECT_LT(handled, 128);
  EXPECT_EQ(run(*keeping), 20);
  EXPECT_EQ(run(*keeping), 20) << "the engine stays full";

  auto dropping = engineKeeping(false);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(run(*dropping), 0) << i;
}

}  // namespace
