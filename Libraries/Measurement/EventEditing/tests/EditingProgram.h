// Editing programs for the engine's tests, written in the conformance
// notation (ProgramNotation.h):
//
//   {"program": [statement, ...], "activities": [{"name": "rule", "data": [entity, ...]}]}
//
// Every program starts with a prelude: "reg" and "log" are the engine's
// two modules ("internal.registerCallback", "internal.eventLogger"), and
// "rule" registers its rule's "cb" with the rule itself as the options
// ("type", "priority").
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Libraries/Measurement/EventEditing/tests/ProgramNotation.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"

namespace msrptest {

inline constexpr const char* kEditingPrelude = R"([
  ["41", "reg", "log"],
  ["3", "reg", ["require", "internal.registerCallback"]],
  ["3", "log", ["require", "internal.eventLogger"]],
  ["50", "rule", ["7", "r"], ["reg", 0, ["16", ["15", "r"], "cb"], ["15", "r"]]]
])";

// The program as a configuration delivers it: encoded, then decoded.
inline std::shared_ptr<MSRPBProgram> editingProgram(const nlohmann::json& c) {
  MSRPValueList instructions;
  for (const nlohmann::json& node : nlohmann::json::parse(kEditingPrelude)) instructions.push_back(valueFromNotation(node));
  for (const nlohmann::json& node : c.value("program", nlohmann::json::array())) instructions.push_back(valueFromNotation(node));
  auto program = MSRPBProgram::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(program.get(), 0, entitiesOf(instructions));
  if (c.contains("activities")) {
    MSRPBArray activities;
    for (const nlohmann::json& a : c.at("activities")) {
      auto activity = MSRPBOgtActivity::initWithBuffer(std::nullopt);
      MSRPBMessageSetString(activity.get(), 0, a.at("name").get<std::string>());
      MSRPValueList data;
      for (const nlohmann::json& node : a.at("data")) data.push_back(valueFromNotation(node));
      MSRPBMessageSetArray(activity.get(), 1, entitiesOf(data));
      activities.push_back(std::shared_ptr<NANOMessageBase>(activity));
    }
    auto list = MSRPBOgtActivities::initWithBuffer(std::nullopt);
    MSRPBMessageSetArray(list.get(), 0, activities);
    MSRPBMessageSetMessage(program.get(), 1, *list);
  }
  // Delivered as bytes, as a configuration brings it.
  std::optional<ns::Data> bytes = program->protoBuffer();
  return bytes ? MSRPBProgram::initWithBuffer(*bytes) : nullptr;
}

// An entity in protoc's text form from the program notation, and a
// program as a configuration's text form carries it (for protoc
// --encode): its instructions and one activity "rule" with these rules.
inline std::string entityText(const nlohmann::json& node) {
  if (node.is_string()) return "type: 1 string_value: " + node.dump();
  if (node.is_number()) return "type: 2 number_value: " + node.dump();
  if (node.is_boolean()) return std::string("type: 3 boolean_value: ") + (node.get<bool>() ? "true" : "false");
  std::string text = "type: 4 statement: " + node[0].dump();
  for (size_t i = 1; i < node.size(); ++i) text += " value { " + entityText(node[i]) + " }";
  return text;
}

inline std::string programText(const nlohmann::json& instructions, const nlohmann::json& rules) {
  std::string text = "dynamic_event_editing { ";
  for (const nlohmann::json& i : instructions) text += "instructions { " + entityText(i) + " } ";
  text += "activities { activities { name: \"rule\" ";
  for (const nlohmann::json& r : rules) text += "data { " + entityText(r) + " } ";
  return text + "} } } ";
}

}  // namespace msrptest
