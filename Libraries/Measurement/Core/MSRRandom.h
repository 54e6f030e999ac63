// The measurement library's one source of randomness: every draw of the
// engine (the per-install day offset, sampling, identifiers) takes its bytes
// from here, so a test that replaces the source replays them all.
//
// The bytes come from OpenSSL's RAND_bytes. Any thread may draw.
#pragma once

#include <cstddef>
#include <cstdint>

class MSRRandom {
 public:
  // Fills `bytes` with `count` random bytes.
  static void fill(uint8_t* bytes, size_t count);
  // A 64-bit value, every one equally likely.
  static uint64_t next();
  // A whole number in [0, upperBound), every one equally likely: draws that
  // would favour the low numbers are thrown away and drawn again. 0 for an
  // upper bound below 2.
  static uint64_t uniformBelow(uint64_t upperBound);
};
