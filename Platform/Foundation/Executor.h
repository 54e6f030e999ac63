// Somewhere to run a block later: the seam through which Foundation (the
// notification centre) hands work to a queue without depending on the
// dispatch layer, which implements it (dispatch::Queue, OperationQueue).
#pragma once

#include <functional>

namespace ns {

class Executor {
 public:
  virtual ~Executor() = default;
  // Runs `block` asynchronously, in submission order for serial executors.
  virtual void execute(std::function<void()> block) = 0;
  // Whether the calling code already runs on this executor, so that a
  // caller may run a block in place instead of queueing it.
  virtual bool isCurrent() const { return false; }
};

}  // namespace ns
