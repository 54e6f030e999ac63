// A diagnostic's call-stack tree as the crash reporter's records want it:
// one linear stack per thread. Each level of the tree's frames is followed
// through its first frame only, which is the path the system samples most.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"
#include "Platform/MetricKit/Diagnostics.h"

struct DVCRFrame {
  int64_t address = 0;
  int64_t sampleCount = 0;
  int64_t offsetIntoBinaryTextSegment = 0;
  std::string binaryName;
  ns::Value binaryUUID;  // as the tree's JSON gives it
};

struct DVCRThread {
  std::string threadName;  // never set: the tree names no threads
  bool threadBlamed = false;
  std::vector<DVCRFrame> frames;
};

class DVCRCallStackTree {
 public:
  // None for a tree without a JSON representation; a tree whose JSON does
  // not parse gives one without threads.
  static std::optional<DVCRCallStackTree> fromCallStackTree(const mx::CallStackTree& tree);

  const std::vector<DVCRThread>& threads() const { return threads_; }
  bool callStackPerThread() const { return callStackPerThread_; }

  // One {"registers": {}, "stacktrace": [addresses], "crashed": blamed} per
  // thread.
  ns::Array getArrayRepresentation() const;
  static ns::Dictionary getDictionaryRepresentation(const DVCRThread& thread);
  // {"pc", "offset", "line": 0} per frame of the first blamed thread, else
  // of the first thread; empty without threads.
  ns::Array getFramesOfBlamedThread() const;
  static ns::Array convertFramesFor(const DVCRThread& thread);
  // Appends the first frame of `frames` and, through its "subFrames", the
  // first frame of each level below.
  static void flattenSubFrames(const ns::Array& frames, std::vector<DVCRFrame>& into);

 private:
  std::vector<DVCRThread> threads_;
  bool callStackPerThread_ = false;
};
