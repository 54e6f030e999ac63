// A chain of calls built at -O2 without frame pointers (unwind_chain.cc),
// and what its bottom records while every frame of it is still live.
#pragma once

#include <execinfo.h>
#include <ucontext.h>

namespace dvcr_testing {

struct UnwindChainProbe {
  static constexpr int kCapacity = 256;
  ucontext_t context;               // from getcontext() at the bottom
  void* backtrace[kCapacity];       // from glibc backtrace() at the bottom
  int backtraceCount = 0;
  void (*atBottom)(UnwindChainProbe* probe) = nullptr;  // runs with the chain live
  void* user = nullptr;
};

// Calls itself `depth` times, not inlined and not as tail calls, then at
// the bottom takes the context and the backtrace and calls atBottom.
int unwindChainLink(int depth, UnwindChainProbe* probe);

}  // namespace dvcr_testing
