// For tests: the bytes MSRRandom hands out, replaceable. The function fills
// the buffer it is given; an empty function puts OpenSSL back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

void MSRRandomSetSourceForTesting(std::function<void(uint8_t* bytes, size_t count)> source);
