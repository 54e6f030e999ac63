#include "Platform/Graphics/PixelFilters.h"

#include <algorithm>
#include <vector>

namespace cg {

namespace {

constexpr int kChannels = 4;

int clampIndex(int i, int count) { return std::clamp(i, 0, count - 1); }

}  // namespace

size_t boxConvolveScratchSize(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  // The entering row's sums, the leaving row's, and the running column sums.
  return static_cast<size_t>(width) * kChannels * 3 * sizeof(uint32_t);
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
  const uint64_t area = static_cast<uint64_t>(2 * half + 1) * static_cast<uint64_t>(2 * half + 1);
  std::vector<uint32_t> own;
  uint32_t* entering = static_cast<uint32_t*>(scratch);
  if (!entering) {
    own.resize(boxConvolveScratchSize(width, height) / sizeof(uint32_t));
    entering = own.data();
  }
  const size_t rowWords = static_cast<size_t>(width) * kChannels;
  uint32_t* leaving = entering + rowWords;
  uint32_t* columnSums = leaving + rowWords;
  auto row = [&](int y) { return source + static_cast<size_t>(clampIndex(y, height)) * sourceRowBytes; };

  // The column sums hold, for every pixel of the output row, the sum of the
  // row sums of the rows in its window; the window slides down one row at
  // a time, a row's sums computed again as it leaves rather than kept for
  // the whole bitmap.
  std::fill(columnSums, columnSums + rowWords, 0u);
  for (int i = -half; i <= half; ++i) {
    rowWindowSums(row(i), width, half, entering);
    for (size_t w = 0; w < rowWords; ++w) columnSums[w] += entering[w];
  }
  // Sums stay below 2^23 for kernels up to 181; larger ones divide directly.
  const bool small = area * 255 + area / 2 < (uint64_t{1} << 23);
  const ExactDivision divide(small ? area : 1);
  for (int y = 0; y < height; ++y) {
    uint8_t* out = destination + static_cast<size_t>(y) * destinationRowBytes;
    if (small) {
      for (size_t w = 0; w < rowWords; ++w) out[w] = static_cast<uint8_t>(divide(columnSums[w] + static_cast<uint32_t>(area / 2)));
    } else {
      for (size_t w = 0; w < rowWords; ++w) out[w] = static_cast<uint8_t>((columnSums[w] + area / 2) / area);
    }
    if (y + 1 == height) break;
    const uint8_t* in = row(y + half + 1);
    const uint8_t* out_ = row(y - half);
    if (in == out_) continue;  // both past the same edge: the window keeps its sum
    rowWindowSums(in, width, half, entering);
    rowWindowSums(out_, width, half, leaving);
    for (size_t w = 0; w < rowWords; ++w) columnSums[w] += entering[w] - leaving[w];
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
