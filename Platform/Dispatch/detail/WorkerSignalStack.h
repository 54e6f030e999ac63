// Each worker thread runs with an alternate signal stack of its own, so that
// a signal handler installed with SA_ONSTACK (the crash reporter's) still
// runs when a block overflows the worker's stack. The alternate stack is per
// thread: one installed elsewhere never serves a worker.
//
// The stack is an anonymous mapping with a no-access page below it; its
// pages are only touched, so only committed, when a handler runs on it. A
// thread that already has an alternate stack keeps it.
#pragma once

#include <cstddef>

namespace dispatch::detail {

inline constexpr size_t kWorkerSignalStackSize = 0x40000;  // 256 KiB

// Installs the stack on the calling thread for the object's lifetime.
class WorkerSignalStack {
 public:
  WorkerSignalStack();
  ~WorkerSignalStack();
  WorkerSignalStack(const WorkerSignalStack&) = delete;
  WorkerSignalStack& operator=(const WorkerSignalStack&) = delete;

 private:
  void* mapping_ = nullptr;
  size_t mappingSize_ = 0;
};

}  // namespace dispatch::detail
