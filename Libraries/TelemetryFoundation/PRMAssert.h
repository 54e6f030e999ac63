// Programming errors of the promise library that stop the process: a
// broken invariant leaves nothing sound to go on with.
#pragma once

#include <string>

// Writes "*** Assertion failure in <function>: <message>" to standard error
// and aborts.
[[noreturn]] void PRMAssertionFailure(const char* function, const std::string& message);
