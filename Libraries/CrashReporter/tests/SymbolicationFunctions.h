// Exported functions of the test program that symbolication must name.
#pragma once

namespace dvcr_symbols {

int firstCallee(int value);
int secondCallee(int value);  // starts where firstCallee ends
int templateUser(int value);

template <class T>
struct Wrapper {
  __attribute__((noinline)) static T apply(T value) {
    asm volatile("" : "+r"(value));
    return value + 2;
  }
};

}  // namespace dvcr_symbols
