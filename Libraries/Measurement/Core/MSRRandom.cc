#include "Libraries/Measurement/Core/MSRRandom.h"

#include <openssl/rand.h>

#include <climits>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>

#include "Libraries/Measurement/Core/testing/MSRRandomTesting.h"

namespace {

struct Source {
  std::mutex mutex;
  std::function<void(uint8_t*, size_t)> replaced;
};

Source& source() {
  static Source* instance = new Source();
  return *instance;
}

// OpenSSL fails only when it cannot seed itself; the system's generator
// then still gives bytes rather than none.
void systemBytes(uint8_t* bytes, size_t count) {
  if (count <= INT_MAX && RAND_bytes(bytes, static_cast<int>(count)) == 1) return;
  std::random_device device;
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(device());
}

}  // namespace

void MSRRandom::fill(uint8_t* bytes, size_t count) {
  {
    std::lock_guard lock(source().mutex);
    if (source().replaced) {
      source().replaced(bytes, count);
      return;
    }
  }
  systemBytes(bytes, count);
}

uint64_t MSRRandom::next() {
  uint8_t bytes[sizeof(uint64_t)];
  fill(bytes, sizeof bytes);
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

uint64_t MSRRandom::uniformBelow(uint64_t upperBound) {
  if (upperBound < 2) return 0;
  // 2^64 mod upperBound: the values below it are the surplus that a plain
  // "% upperBound" would fold onto the lowest numbers.
  const uint64_t surplus = (0 - upperBound) % upperBound;
  uint64_t value;
  do {
    value = next();
  } while (value < surplus);
  return value % upperBound;
}

void MSRRandomSetSourceForTesting(std::function<void(uint8_t* bytes, size_t count)> replaced) {
  std::lock_guard lock(source().mutex);
  source().replaced = std::move(replaced);
}
