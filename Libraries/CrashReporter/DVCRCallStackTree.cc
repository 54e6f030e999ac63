#include "Libraries/CrashReporter/DVCRCallStackTree.h"

#include "Platform/Foundation/Json.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

int64_t integerAt(const ns::Dictionary& frame, std::string_view key) {
  const ns::Value* value = frame.find(key);
  return value ? value->integerValue() : 0;
}

}  // namespace

std::optional<DVCRCallStackTree> DVCRCallStackTree::fromCallStackTree(const mx::CallStackTree& source) {
  ns::Data json = source.JSONRepresentation();
  if (json.empty()) return std::nullopt;
  DVCRCallStackTree tree;
  ns::Error error;
  std::optional<ns::Value> parsed = ns::jsonObjectFromData(json, &error);
  const ns::Dictionary* root = parsed ? parsed->asDictionary() : nullptr;
  if (!root) {
    systemlog::Log::defaultLog()->write(systemlog::LogType::Default, "Dodevadarud: error creating json");
    return tree;
  }
  if (const ns::Value* perThread = root->find("callStackPerThread")) tree.callStackPerThread_ = perThread->boolValue();
  const ns::Value* callStacks = root->find("callStacks");
  if (!callStacks || !callStacks->asArray()) return tree;
  for (const ns::Value& entry : *callStacks->asArray()) {
    const ns::Dictionary* stack = entry.asDictionary();
    if (!stack) continue;
    DVCRThread thread;
    if (const ns::Value* roots = stack->find("callStackRootFrames"); roots && roots->asArray()) {
      flattenSubFrames(*roots->asArray(), thread.frames);
    }
    if (const ns::Value* attributed = stack->find("threadAttributed")) thread.threadBlamed = attributed->boolValue();
    tree.threads_.push_back(std::move(thread));
  }
  return tree;
}

void DVCRCallStackTree::flattenSubFrames(const ns::Array& frames, std::vector<DVCRFrame>& into) {
  // A loop, not recursion: a deep tree cannot exhaust the stack.
  const ns::Array* level = &frames;
  while (level && !level->empty()) {
    const ns::Dictionary* first = level->front().asDictionary();
    if (!first) return;
    DVCRFrame frame;
    frame.offsetIntoBinaryTextSegment = integerAt(*first, "offsetIntoBinaryTextSegment");
    frame.address = integerAt(*first, "address");
    frame.sampleCount = integerAt(*first, "sampleCount");
    if (const ns::Value* uuid = first->find("binaryUUID")) frame.binaryUUID = *uuid;
    if (const ns::Value* name = first->find("binaryName"); name && name->asString()) frame.binaryName = *name->asString();
    into.push_back(std::move(frame));
    const ns::Value* subFrames = first->find("subFrames");
    level = subFrames ? subFrames->asArray() : nullptr;
  }
}

ns::Array DVCRCallStackTree::getArrayRepresentation() const {
  ns::Array threads;
  for (const DVCRThread& thread : threads_) threads.push_back(getDictionaryRepresentation(thread));
  return threads;
}

ns::Dictionary DVCRCallStackTree::getDictionaryRepresentation(const DVCRThread& thread) {
  ns::Array stacktrace;
  for (const DVCRFrame& frame : thread.frames) stacktrace.push_back(frame.address);
  return {{"registers", ns::Dictionary{}}, {"stacktrace", std::move(stacktrace)}, {"crashed", thread.threadBlamed}};
}

ns::Array DVCRCallStackTree::getFramesOfBlamedThread() const {
  for (const DVCRThread& thread : threads_) {
    if (thread.threadBlamed) return convertFramesFor(thread);
  }
  return threads_.empty() ? ns::Array{} : convertFramesFor(threads_.front());
}

ns::Array DVCRCallStackTree::convertFramesFor(const DVCRThread& thread) {
  ns::Array frames;
  for (const DVCRFrame& frame : thread.frames) {
    frames.push_back(ns::Dictionary{{"pc", frame.address}, {"offset", frame.offsetIntoBinaryTextSegment}, {"line", 0}});
  }
  return frames;
}
