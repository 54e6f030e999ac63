// The evaluator's conformance cases: every *.json file of conformance/
// holds an array of cases, each a program run in a fresh runtime and the
// value it gives or the error code it ends with:
//
//   {"case": "what it shows", "program": [statement, ...], "value": "2"}
//   {"case": "...", "program": [...], "error": 18}
//
// A JSON array is a statement, its first element the command name and the
// rest its arguments; strings, numbers and booleans are literals. Values
// are written as the tests print them (EvaluatorTestSupport.h).
//
// Each program is built as RuntimeEntity trees, encoded as a Program and
// decoded again before it runs, as a delivered one would be; a case with
// "protoc": true also has protoc read those bytes as a Program.
//
// The editing engine's cases (conformance/editing/) load a program with
// activities into a fresh engine and hand it one event:
//
//   {"case": "...", "program": [...], "activities": [{"name": "rule", "data": [entity, ...]}],
//    "load error": ["editing", 5]}                       (or, once loaded:)
//    "event": {"name": "e", "timestamp": 1, "params": {"a": 1, "r": 1.0}},
//    "handled": true, "hasEdits": true, "error": ["evaluator", 4],
//    "output": {...event...}, "created": [{...event...}, ...]}
//
// Every program starts with the prelude of EditingProgram.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

#include <unistd.h>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Libraries/Measurement/EventEditing/tests/ProgramNotation.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using namespace msrptest;
using nlohmann::json;

// protoc's text of a Program's bytes, or "" when it cannot read them.
std::string protocText(const ns::Data& bytes, const std::filesystem::path& folder) {
  std::filesystem::path input = folder / "program.bin";
  {
    std::ofstream out(input, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string schema = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages";
  std::string command = std::string(MSRP_PROTOC) + " -I'" + schema +
                        "' --decode=msrpb.Program ProgramMessages.proto < '" + input.string() + "' 2>&1";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pclose(pipe) != 0) text.clear();
  }
  return text;
}

std::vector<std::filesystem::path> caseFiles(const std::string& subfolder = "") {
  std::vector<std::filesystem::path> files;
  std::filesystem::path folder =
      std::filesystem::path(QUILLBOX_SOURCE_DIR) / "Libraries/Measurement/EventEditing/tests/conformance" / subfolder;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(MSRPEvaluatorConformanceTest, EveryCaseGivesItsValueOrError) {
  std::vector<std::filesystem::path> files = caseFiles();
  ASSERT_FALSE(files.empty());
  std::filesystem::path scratch = std::filesystem::path(::testing::TempDir()) /
                                  ("msrp-conformance-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file);
    json cases = json::parse(in);
    ASSERT_TRUE(cases.is_array()) << file;
    for (const json& c : cases) {
      SCOPED_TRACE(file.filename().string() + ": " + c.at("case").get<std::string>());
      MSRPValueList program;
      for (const json& node : c.at("program")) program.push_back(valueFromNotation(node));
      auto message = MSRPBProgram::initWithBuffer(std::nullopt);
      MSRPBMessageSetArray(message.get(), 0, entitiesOf(program));
      std::optional<ns::Data> bytes = message->protoBuffer();
      ASSERT_TRUE(bytes);
      if (c.value("protoc", false)) {
        std::string text = protocText(*bytes, scratch);
        EXPECT_NE(text.find("instructions {"), std::string::npos) << text;
        EXPECT_NE(text.find("statement: \"" + c.at("program").back()[0].get<std::string>() + "\""), std::string::npos)
            << text;
      }
      auto delivered = MSRPBProgram::initWithBuffer(*bytes);
      ASSERT_TRUE(delivered);
      std::optional<MSRPBArray> statements = MSRPBMessageGetArray<MSRPBRuntimeEntity>(delivered.get(), 0);
      ASSERT_TRUE(statements);
      MSRPRuntime runtime;
      ns::Error error;
      MSRPValueRef result = runtime.executeStatements(*statements, error);
      EXPECT_EQ(errorCode(error), c.value("error", 0));
      EXPECT_EQ(describe(result), c.value("value", std::string("undefined")));
    }
  }
  std::filesystem::remove_all(scratch);
}

ns::Value nativeOf(const json& node) {
  if (node.is_string()) return ns::Value(node.get<std::string>());
  if (node.is_number_float()) return ns::Value(node.get<double>());
  return ns::Value(node.get<int64_t>());
}

MSRPEvent eventOf(const json& node) {
  ns::Dictionary parameters;
  for (const auto& [name, value] : node.at("params").items()) parameters.set(name, nativeOf(value));
  return MSRPEvent(node.at("name").get<std::string>(), node.at("timestamp").get<double>(), std::move(parameters));
}

// An event as text, numbers marked integer (i) or floating-point (r).
// Numbers made by programs are floating-point until stored over an
// integer.
std::string describeEvent(const MSRPEvent& event) {
  std::string text = event.name() + " @" + std::to_string(event.timestamp()) + " {";
  std::vector<std::string> names = event.parameters().keys();
  std::sort(names.begin(), names.end());  // equal in any order
  for (const std::string& name : names) {
    const ns::Value& value = *event.parameterForName(name);
    text += " " + name + "=" + (value.isReal() ? "r:" : value.isNumber() ? "i:" : "s:") + value.stringValue();
  }
  return text + " }";
}

// "editing" or "evaluator" and the code; empty for no error.
json errorOf(const ns::Error& error) {
  if (!MSRPHasError(error)) return json();
  std::string domain = error.domain() == kMSRPEditingErrorDomain ? "editing"
                       : error.domain() == kMSRPErrorDomain      ? "evaluator"
                                                                 : error.domain();
  return json::array({domain, error.code()});
}

TEST(MSRPEventEditingConformanceTest, EveryCaseLoadsAndEditsAsDescribed) {
  std::vector<std::filesystem::path> files = caseFiles("editing");
  ASSERT_FALSE(files.empty());
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file);
    json cases = json::parse(in);
    for (const json& c : cases) {
      SCOPED_TRACE(file.filename().string() + ": " + c.at("case").get<std::string>());
      std::shared_ptr<MSRPBProgram> program = editingProgram(c);
      ASSERT_TRUE(program);
      MSRPEventEditing engine;
      ns::Error loadError;
      engine.loadProgram(*program, loadError);
      EXPECT_EQ(errorOf(loadError), c.value("load error", json()));
      if (!c.contains("event")) continue;
      MSRPEvent event = eventOf(c.at("event"));
      ns::Error error;
      bool handled = engine.handleEvent(event, error);
      EXPECT_EQ(errorOf(error), c.value("error", json()));
      EXPECT_EQ(handled, c.value("handled", false));
      if (c.contains("hasEdits")) {
        EXPECT_EQ(engine.hasEdits(), c.at("hasEdits").get<bool>());
      }
      if (c.contains("output")) {
        EXPECT_EQ(describeEvent(engine.eventContext().outputEvent()), describeEvent(eventOf(c.at("output"))));
      }
      if (c.contains("created")) {
        std::vector<std::string> created, expected;
        for (const MSRPEvent& e : engine.eventContext().eventsToLog()) created.push_back(describeEvent(e));
        for (const json& e : c.at("created")) expected.push_back(describeEvent(eventOf(e)));
        EXPECT_EQ(created, expected);
      }
    }
  }
}

}  // namespace
