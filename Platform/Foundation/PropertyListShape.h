// Checks of untrusted property-list bytes made before libplist sees them.
//
// libplist aborts the process on a string holding a NUL character, recurses
// without bound on deep nesting, and expands a binary object referenced
// from many places into as many copies (a small file can stand for an
// enormous tree). These checks find such input cheaply so that it is
// refused as corrupt instead. Anything else that is malformed is left to
// libplist, which rejects it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ns::property_list_shape {

// Deepest nesting of arrays and dictionaries accepted.
inline constexpr int kMaxDepth = 512;

// What is wrong with a binary property list, or nullopt when nothing
// dangerous was found.
std::optional<std::string> binaryProblem(const uint8_t* bytes, size_t size);

// The same for XML text: only nesting depth is checked.
std::optional<std::string> xmlProblem(const uint8_t* bytes, size_t size);

}  // namespace ns::property_list_shape
