#include "Libraries/TelemetryFoundation/PRMAssert.h"

#include <cstdio>
#include <cstdlib>

void PRMAssertionFailure(const char* function, const std::string& message) {
  std::fprintf(stderr, "*** Assertion failure in %s: %s\n", function, message.c_str());
  std::fflush(stderr);
  std::abort();
}
