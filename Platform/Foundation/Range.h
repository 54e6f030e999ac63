// A range of UTF-16 code units (or of any index space), as the platform
// counts text: location and length, with kNotFound for "no such range".
#pragma once

#include <cstddef>
#include <limits>

namespace ns {

inline constexpr size_t kNotFound = std::numeric_limits<long>::max();

struct Range {
  size_t location = 0;
  size_t length = 0;

  constexpr size_t end() const { return location + length; }
  constexpr bool contains(size_t index) const { return index >= location && index < end(); }
  constexpr bool operator==(const Range&) const = default;
};

constexpr Range makeRange(size_t location, size_t length) { return Range{location, length}; }

// The overlap of two ranges; length 0 when they do not meet.
constexpr Range intersection(Range a, Range b) {
  size_t start = a.location > b.location ? a.location : b.location;
  size_t stop = a.end() < b.end() ? a.end() : b.end();
  return stop > start ? Range{start, stop - start} : Range{0, 0};
}

// The smallest range covering both.
constexpr Range unionRange(Range a, Range b) {
  size_t start = a.location < b.location ? a.location : b.location;
  size_t stop = a.end() > b.end() ? a.end() : b.end();
  return Range{start, stop - start};
}

}  // namespace ns
