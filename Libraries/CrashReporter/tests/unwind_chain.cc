// Built with -O2 and without frame pointers (see CMakeLists.txt): its frames
// can only be unwound from their call-frame information.
#include "Libraries/CrashReporter/tests/UnwindChain.h"

namespace dvcr_testing {

namespace {

__attribute__((noinline, noipa)) int chainBottom(UnwindChainProbe* probe) {
  getcontext(&probe->context);
  probe->backtraceCount = backtrace(probe->backtrace, UnwindChainProbe::kCapacity);
  probe->atBottom(probe);
  return probe->backtraceCount;
}

}  // namespace

__attribute__((noinline, noipa)) int unwindChainLink(int depth, UnwindChainProbe* probe) {
  if (depth == 0) return chainBottom(probe);
  int result = unwindChainLink(depth - 1, probe);
  __asm__ volatile("" : "+r"(result));  // work after the call: no tail call, no loop
  return result + 1;
}

}  // namespace dvcr_testing
