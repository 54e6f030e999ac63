#include "Platform/Graphics/PixelFilters.h"

#include <algorithm>
#include <vector>

namespace cg {

namespace {

constexpr int kChannels = 4;

int clampIndex(int i, int count) { return std::clamp(i, 0, count - 1); }

}  // namespace

namespace {

// How many rows of row sums are kept while the window slides down: all the
// window's rows while the window is no taller than the bitmap; otherwise
// none, each row's sums then being worked out again as it leaves.
int keptRows(int height, unsigned kernel) {
  int window = 2 * static_cast<int>(kernel / 2) + 1;
  return window <= height ? window : 0;
}

}  // namespace

size_t boxConvolveScratchSize(int width, int height, unsigned kernel) {
  if (width <= 0 || height <= 0) return 0;
  // The running column sums, the entering and the leaving row's sums, and
  // the kept rows.
  return static_cast<size_t>(width) * kChannels * (3 + keptRows(height, kernel)) * sizeof(uint32_t);
}

namespace {

// Each channel's sum over the 2 × half + 1 pixels around every pixel of one
// row, pixels past the ends taking the end pixels' values.
void rowWindowSums(const uint8_t* row, int width, int half, uint32_t* sums) {
  uint32_t sum[kChannels];
  for (int c = 0; c < kChannels; ++c) {
    sum[c] = static_cast<uint32_t>(half) * row[c];
    for (int i = 0; i <= half; ++i) sum[c] += row[clampIndex(i, width) * kChannels + c];
  }
  const int last = width - 1;
  for (int x = 0; x < width; ++x) {
    const uint8_t* entering = row + std::min(x + half + 1, last) * kChannels;
    const uint8_t* leaving = row + std::max(x - half, 0) * kChannels;
    for (int c = 0; c < kChannels; ++c) {
      sums[x * kChannels + c] = sum[c];
      sum[c] += entering[c];
      sum[c] -= leaving[c];
    }
  }
}

// Exact division of sums below 2^23 by `divisor` (below 2^31), as a
// multiplication and a shift: with m = ceil(2^s / d) and s = 23 + ceil(log2 d),
// m·d − 2^s < d ≤ 2^(s − 23), which keeps floor(x·m / 2^s) = floor(x / d).
struct ExactDivision {
  explicit ExactDivision(uint64_t divisor) {
    int log2 = 0;
    while ((uint64_t{1} << log2) < divisor) ++log2;
    shift = 23 + log2;
    multiplier = ((uint64_t{1} << shift) + divisor - 1) / divisor;
  }
  uint32_t operator()(uint32_t x) const { return static_cast<uint32_t>((x * multiplier) >> shift); }
  uint64_t multiplier;
  int shift;
};

}  // namespace

void boxConvolveEdgeExtend(const uint8_t* source, size_t sourceRowBytes, uint8_t* destination,
                           size_t destinationRowBytes, int width, int height, unsigned kernel, void* scratch) {
  if (width <= 0 || height <= 0) return;
  const int half = static_cast<int>(kernel / 2);
  const int window = 2 * half + 1;
  const uint64_t area = static_cast<uint64_t>(window) * static_cast<uint64_t>(window);
  std::vector<uint32_t> own;
  uint32_t* words = static_cast<uint32_t*>(scratch);
  if (!words) {
    own.resize(boxConvolveScratchSize(width, height, kernel) / sizeof(uint32_t));
    words = own.data();
  }
  const size_t rowWords = static_cast<size_t>(width) * kChannels;
  uint32_t* columnSums = words;
  uint32_t* entering = words + rowWords;
  uint32_t* leaving = words + 2 * rowWords;
  // The window's rows of sums by logical row i (−half ... height + half),
  // in slot (i + half) mod window: a row leaves the slot the next one takes.
  const int kept = keptRows(height, kernel);
  std::vector<uint32_t*> slots(static_cast<size_t>(kept));
  for (int i = 0; i < kept; ++i) slots[static_cast<size_t>(i)] = words + (3 + static_cast<size_t>(i)) * rowWords;
  auto row = [&](int y) { return source + static_cast<size_t>(clampIndex(y, height)) * sourceRowBytes; };

  // The column sums hold, for every pixel of the output row, the sum of the
  // row sums of the rows in its window, which slides down one row at a time.
  std::fill(columnSums, columnSums + rowWords, 0u);
  const uint32_t* previous = nullptr;
  for (int i = -half; i <= half; ++i) {
    uint32_t* sums = kept ? slots[static_cast<size_t>(i + half)] : entering;
    // Rows above the top are the top row again.
    if (previous && row(i) == row(i - 1)) {
      if (sums != previous) std::copy(previous, previous + rowWords, sums);
    } else {
      rowWindowSums(row(i), width, half, sums);
    }
    for (size_t w = 0; w < rowWords; ++w) columnSums[w] += sums[w];
    previous = sums;
  }
  // Sums stay below 2^23 for kernels up to 181; larger ones divide directly.
  const bool small = area * 255 + area / 2 < (uint64_t{1} << 23);
  const ExactDivision divide(small ? area : 1);
  for (int y = 0; y < height; ++y) {
    uint8_t* out = destination + static_cast<size_t>(y) * destinationRowBytes;
    if (small) {
      for (size_t w = 0; w < rowWords; ++w)
        out[w] = static_cast<uint8_t>(divide(columnSums[w] + static_cast<uint32_t>(area / 2)));
    } else {
      for (size_t w = 0; w < rowWords; ++w) out[w] = static_cast<uint8_t>((columnSums[w] + area / 2) / area);
    }
    if (y + 1 == height) break;
    const uint8_t* in = row(y + half + 1);
    if (in == row(y - half)) continue;  // both past the same edge: the window keeps its sum
    if (kept) {
      uint32_t*& slot = slots[static_cast<size_t>(y % window)];  // the leaving row's
      // Rows below the bottom are the bottom row again.
      if (in == row(y + half)) {
        const uint32_t* last = slots[static_cast<size_t>((y + window - 1) % window)];
        std::copy(last, last + rowWords, entering);
      } else {
        rowWindowSums(in, width, half, entering);
      }
      for (size_t w = 0; w < rowWords; ++w) columnSums[w] += entering[w] - slot[w];
      std::swap(slot, entering);
    } else {
      rowWindowSums(in, width, half, entering);
      rowWindowSums(row(y - half), width, half, leaving);
      for (size_t w = 0; w < rowWords; ++w) columnSums[w] += entering[w] - leaving[w];
    }
  }
}

void matrixMultiplyDivide256(const uint8_t* source, size_t sourceRowBytes, uint8_t* destination,
                             size_t destinationRowBytes, int width, int height, const int16_t matrix[16]) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = source + static_cast<size_t>(y) * sourceRowBytes;
    uint8_t* out = destination + static_cast<size_t>(y) * destinationRowBytes;
    for (int x = 0; x < width; ++x, in += kChannels, out += kChannels) {
      int32_t result[kChannels] = {0, 0, 0, 0};
      for (int row = 0; row < kChannels; ++row)
        for (int column = 0; column < kChannels; ++column) result[column] += in[row] * matrix[row * 4 + column];
      for (int c = 0; c < kChannels; ++c) {
        int32_t v = result[c];
        int32_t rounded = v >= 0 ? (v + 128) / 256 : -((-v + 128) / 256);
        out[c] = static_cast<uint8_t>(std::clamp(rounded, 0, 255));
      }
    }
  }
}

}  // namespace cg
