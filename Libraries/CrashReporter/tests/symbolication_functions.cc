// Functions whose addresses the symbolication tests record as return
// addresses. Built unaligned and in source order (CMakeLists.txt), so one
// function ends right where the next begins.
#include "Libraries/CrashReporter/tests/SymbolicationFunctions.h"

namespace dvcr_symbols {

__attribute__((noinline)) int firstCallee(int value) {
  asm volatile("" : "+r"(value));
  return value * 3 + 1;
}

__attribute__((noinline)) int secondCallee(int value) {
  asm volatile("" : "+r"(value));
  return firstCallee(value) - 7;
}

__attribute__((noinline)) int templateUser(int value) { return Wrapper<int>::apply(value); }

}  // namespace dvcr_symbols
