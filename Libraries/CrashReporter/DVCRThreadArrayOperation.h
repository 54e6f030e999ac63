// The steps that turn a crash file's recorded threads into its
// ".symbolicated" file, each working on one shared array of threads (each
// thread an array of frames). Operations run synchronously: `start` runs
// `main` on the caller's thread, unless the operation was cancelled.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVStackFrame.h"

class DVCRSymbolResolver;

using DVCRThreadArray = std::vector<std::vector<ZOVStackFrame>>;

class DVCRThreadArrayOperation {
 public:
  explicit DVCRThreadArrayOperation(std::shared_ptr<DVCRThreadArray> threadArray)
      : threadArray_(std::move(threadArray)) {}
  virtual ~DVCRThreadArrayOperation() = default;

  void start() {
    if (!isCancelled()) main();
  }
  void cancel() { cancelled_ = true; }
  bool isCancelled() const { return cancelled_; }

  // Thread by thread, frame by frame; once cancelled, the rest of the
  // current thread is skipped (each later thread still gets its first frame).
  void enumerateFramesWithBlock(const std::function<void(ZOVStackFrame& frame)>& block);

  const std::shared_ptr<DVCRThreadArray>& threadArray() const { return threadArray_; }

 protected:
  virtual void main() = 0;

 private:
  std::shared_ptr<DVCRThreadArray> threadArray_;
  std::atomic<bool> cancelled_{false};
};

// Fills in each frame the resolver can name.
class DVCRSymbolicationOperation : public DVCRThreadArrayOperation {
 public:
  DVCRSymbolicationOperation(std::shared_ptr<DVCRThreadArray> threadArray,
                             std::shared_ptr<const DVCRSymbolResolver> symbolResolver)
      : DVCRThreadArrayOperation(std::move(threadArray)), symbolResolver_(std::move(symbolResolver)) {}

 protected:
  void main() override;

 private:
  std::shared_ptr<const DVCRSymbolResolver> symbolResolver_;
};

// Writes the frames as one record section:
//   {"threads":[[{"symbol":..,"raw_symbol":..,"offset":N,"library":..},..],..]}
// "raw_symbol" only where it differs from "symbol"; a missing text is null.
class DVCRSerializeSymbolicatedFramesOperation : public DVCRThreadArrayOperation {
 public:
  DVCRSerializeSymbolicatedFramesOperation(std::shared_ptr<DVCRThreadArray> threadArray, std::string outputPath)
      : DVCRThreadArrayOperation(std::move(threadArray)), outputPath_(std::move(outputPath)) {}

 protected:
  void main() override;

 private:
  std::string outputPath_;
};
