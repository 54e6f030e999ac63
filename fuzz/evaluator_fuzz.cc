// Programs from the configuration server, run by the event-editing
// evaluator: each input is read as a Program or a MeasurementConfig,
// loaded with the configuration's modules and given a few events
// (MSRPEventEditingFuzzing.h). A crash, a sanitizer report, a leak, an
// engine over the live size cap or a run past -timeout is a finding.
//
// The mutator also works on the program's entity trees, where byte flips
// rarely reach: a subtree copied elsewhere or into itself, command codes
// and method names swapped among all known ones, and literals replaced by
// the values that break number and string handling.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPBitwiseCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPComparisonCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPControlCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPLogicalCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPLoopCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPMathCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPVariableCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingFuzzing.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/SystemLog/SystemLog.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

// An entity as a plain tree, easy to cut and graft.
struct Node {
  int32_t kind = 0;
  std::string statement;
  std::string text;
  bool boolean = false;
  double number = 0;
  std::vector<Node> children;
};

Node nodeOf(const MSRPBRuntimeEntity& entity, int depth) {
  Node node;
  node.kind = MSRPBMessageGetInt32(&entity, MSRPRuntimeEntityKind);
  node.statement = MSRPBMessageGetString(&entity, MSRPRuntimeEntityCommandName).value_or("");
  node.text = MSRPBMessageGetString(&entity, MSRPRuntimeEntityString).value_or("");
  node.boolean = MSRPBMessageGetBool(&entity, MSRPRuntimeEntityBoolean);
  node.number = MSRPBMessageGetDouble(&entity, MSRPRuntimeEntityNumber);
  if (depth > 0) {
    for (const MSRPBArrayElement& e : MSRPBMessageGetArray<MSRPBRuntimeEntity>(&entity, MSRPRuntimeEntityArguments)
                                          .value_or(MSRPBArray())) {
      if (auto child = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(e)) node.children.push_back(nodeOf(*child, depth - 1));
    }
  }
  return node;
}

std::shared_ptr<NANOMessageBase> entityOf(const Node& node) {
  auto entity = MSRPBRuntimeEntity::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(entity.get(), MSRPRuntimeEntityKind, node.kind);
  if (!node.statement.empty()) MSRPBMessageSetString(entity.get(), MSRPRuntimeEntityCommandName, node.statement);
  if (!node.text.empty()) MSRPBMessageSetString(entity.get(), MSRPRuntimeEntityString, node.text);
  if (node.boolean) MSRPBMessageSetBool(entity.get(), MSRPRuntimeEntityBoolean, true);
  if (node.number != 0 || std::signbit(node.number)) MSRPBMessageSetDouble(entity.get(), MSRPRuntimeEntityNumber, node.number);
  MSRPBArray children;
  for (const Node& child : node.children) children.emplace_back(entityOf(child));
  if (!children.empty()) MSRPBMessageSetArray(entity.get(), MSRPRuntimeEntityArguments, children);
  return entity;
}

// A program's instructions and each activity's name and data.
struct Tree {
  std::vector<Node> instructions;
  std::vector<std::pair<std::string, std::vector<Node>>> activities;
};

constexpr int32_t kProgramInstructions = 0;
constexpr int32_t kProgramActivities = 1;
constexpr int32_t kActivitiesList = 0;
constexpr int32_t kActivityName = 0;
constexpr int32_t kActivityData = 1;

std::vector<Node> nodesOf(const NANOMessageBase* message, int32_t index) {
  std::vector<Node> nodes;
  for (const MSRPBArrayElement& e : MSRPBMessageGetArray<MSRPBRuntimeEntity>(message, index).value_or(MSRPBArray())) {
    if (auto entity = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(e)) nodes.push_back(nodeOf(*entity, MSRPBMaxNestingDepth));
  }
  return nodes;
}

MSRPBArray entitiesOf(const std::vector<Node>& nodes) {
  MSRPBArray array;
  for (const Node& node : nodes) array.emplace_back(entityOf(node));
  return array;
}

bool treeOf(const uint8_t* data, size_t size, Tree& tree) {
  auto program = MSRPBProgram::initWithBuffer(ns::Data(data, data + size));
  if (!program) return false;
  tree.instructions = nodesOf(program.get(), kProgramInstructions);
  if (auto list = MSRPBMessageGetMessage<MSRPBOgtActivities>(program.get(), kProgramActivities)) {
    for (const MSRPBArrayElement& e : MSRPBMessageGetArray<MSRPBOgtActivity>(list.get(), kActivitiesList).value_or(MSRPBArray())) {
      if (auto activity = MSRPBArrayElementMessage<MSRPBOgtActivity>(e)) {
        tree.activities.emplace_back(MSRPBMessageGetString(activity.get(), kActivityName).value_or(""),
                                     nodesOf(activity.get(), kActivityData));
      }
    }
  }
  return true;
}

std::optional<ns::Data> bytesOf(const Tree& tree) {
  auto program = MSRPBProgram::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(program.get(), kProgramInstructions, entitiesOf(tree.instructions));
  if (!tree.activities.empty()) {
    MSRPBArray activities;
    for (const auto& [name, data] : tree.activities) {
      auto activity = MSRPBOgtActivity::initWithBuffer(std::nullopt);
      MSRPBMessageSetString(activity.get(), kActivityName, name);
      MSRPBMessageSetArray(activity.get(), kActivityData, entitiesOf(data));
      activities.emplace_back(std::shared_ptr<NANOMessageBase>(activity));
    }
    auto list = MSRPBOgtActivities::initWithBuffer(std::nullopt);
    MSRPBMessageSetArray(list.get(), kActivitiesList, activities);
    MSRPBMessageSetMessage(program.get(), kProgramActivities, *list);
  }
  return program->protoBuffer();
}

void collect(Node& node, std::vector<Node*>& all) {
  all.push_back(&node);
  for (Node& child : node.children) collect(child, all);
}

const std::vector<std::string>& knownNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    std::shared_ptr<MSRPCommandEvaluator> evaluators[] = {
        std::make_shared<MSRPBitwiseCommandEvaluator>(), std::make_shared<MSRPComparisonCommandEvaluator>(),
        std::make_shared<MSRPControlCommandEvaluator>(), std::make_shared<MSRPLogicalCommandEvaluator>(),
        std::make_shared<MSRPLoopCommandEvaluator>(),    std::make_shared<MSRPMathCommandEvaluator>(),
        std::make_shared<MSRPVariableCommandEvaluator>()};
    for (const auto& evaluator : evaluators) {
      for (const std::u16string& command : evaluator->allSupportedCommands()) out.push_back(ns::toUtf8(command));
    }
    for (const char* name :
         {"require", "internal.registerCallback", "internal.eventLogger", "internal.remoteConfig", "internal.appMetadata",
          "internal.logger", "getVersion", "getValue", "log", "silent", "unmonitored", "getEventName", "getParamValue",
          "getParams", "getTimestamp", "setEventName", "setParamValue", "hasOwnProperty", "toString", "charAt", "concat",
          "indexOf", "lastIndexOf", "match", "replace", "search", "slice", "split", "substring", "toLowerCase",
          "toLocaleLowerCase", "toUpperCase", "toLocaleUpperCase", "trim", "every", "filter", "forEach", "join", "map",
          "pop", "push", "reduce", "reduceRight", "reverse", "shift", "some", "sort", "splice", "unshift", "length"}) {
      out.emplace_back(name);
    }
    return out;
  }();
  return names;
}

void replaceLiteral(Node& node, std::mt19937& random) {
  static const double numbers[] = {std::numeric_limits<double>::quiet_NaN(), INFINITY, -INFINITY, -0.0, 2147483648.0,
                                   9007199254740992.0, 1e21};
  switch (random() % 4) {
    case 0:
    case 1:
      node = Node{MSRPRuntimeEntityKindNumber, "", "", false, numbers[random() % std::size(numbers)], {}};
      break;
    case 2:
      node = Node{MSRPRuntimeEntityKindString, "", std::string(1048576, 'a'), false, 0, {}};
      break;
    default:
      // A lone high surrogate, as a sender that encodes UTF-16 carelessly would.
      node = Node{MSRPRuntimeEntityKindString, "", "\xED\xA0\x80", false, 0, {}};
      break;
  }
}

bool mutateTree(Tree& tree, std::mt19937& random) {
  std::vector<Node*> all;
  for (Node& node : tree.instructions) collect(node, all);
  for (auto& activity : tree.activities) {
    for (Node& node : activity.second) collect(node, all);
  }
  if (all.empty()) return false;
  Node* target = all[random() % all.size()];
  switch (random() % 3) {
    case 0: {
      // A copy of any subtree (the target's own ancestors included) joins the target.
      Node copy = *all[random() % all.size()];
      target->children.insert(target->children.begin() + random() % (target->children.size() + 1), std::move(copy));
      return true;
    }
    case 1: {
      const std::vector<std::string>& names = knownNames();
      if (target->kind == MSRPRuntimeEntityKindStatement) {
        target->statement = names[random() % names.size()];
      } else {
        target->kind = MSRPRuntimeEntityKindString;
        target->text = names[random() % names.size()];
      }
      return true;
    }
    default:
      replaceLiteral(*target, random);
      return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Refused inputs are the common case; their messages would only slow the run.
  MSRPBSetCoderOutput([](const std::string&) {});
  systemlog::Log::setSinkForTesting([](int, const std::string&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MSRPEventEditingFuzzOneInput(data, size);
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  std::mt19937 random(seed);
  if (random() % 2 == 0) {
    Tree tree;
    if (treeOf(data, size, tree) && mutateTree(tree, random)) {
      std::optional<ns::Data> bytes = bytesOf(tree);
      if (bytes && bytes->size() <= maxSize) {
        std::memcpy(data, bytes->data(), bytes->size());
        return bytes->size();
      }
    }
  }
  return LLVMFuzzerMutate(data, size, maxSize);
}
