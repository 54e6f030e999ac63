// Two whole-bitmap filters on 8-bit, four-channel pixels (any channel
// order: every channel is treated alike), each reading one buffer and
// writing another of the same width and height; rows may be padded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cg {

// Scratch memory, in bytes, that boxConvolveEdgeExtend needs for a bitmap
// of this size and that kernel: a few rows of sums, and the window's rows
// when it is no taller than the bitmap.
size_t boxConvolveScratchSize(int width, int height, unsigned kernel);

// Each channel of each pixel becomes the mean of the kernel × kernel square
// around it, pixels outside the bitmap taking the value of the nearest edge
// pixel. `kernel` must be odd (an even one is taken one larger). The mean is
// exact: the square's sum is divided once, rounding to nearest with halves
// up, so the result equals a brute-force mean. `scratch` holds at least
// boxConvolveScratchSize bytes (null: the function allocates its own).
void boxConvolveEdgeExtend(const uint8_t* source, size_t sourceRowBytes, uint8_t* destination,
                           size_t destinationRowBytes, int width, int height, unsigned kernel,
                           void* scratch = nullptr);

// Each pixel, taken as the row vector of its four channel bytes in memory
// order, times the 4 × 4 integer matrix (`matrix[row * 4 + column]`), each
// result divided by 256, rounded to nearest with halves away from zero and
// clamped to 0...255.
void matrixMultiplyDivide256(const uint8_t* source, size_t sourceRowBytes, uint8_t* destination,
                             size_t destinationRowBytes, int width, int height, const int16_t matrix[16]);

}  // namespace cg
