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
  // Row sums of every pixel, then one running column sum per channel.
  return (static_cast<size_t>(width) * static_cast<size_t>(height) + static_cast<size_t>(width)) * kChannels *
         sizeof(uint32_t);
}

void boxConvolveEdgeExtend(const uint8_t* source, size_t sourceRowBytes, uint8_t* destination,
                           size_t destinationRowBytes, int width, int height, unsigned kernel, void* scratch) {
  if (width <= 0 || height <= 0) return;
  const int half = static_cast<int>(kernel / 2);
  const uint64_t area = static_cast<uint64_t>(2 * half + 1) * static_cast<uint64_t>(2 * half + 1);
  std::vector<uint32_t> own;
  uint32_t* rowSums = static_cast<uint32_t*>(scratch);
  if (!rowSums) {
    own.resize(boxConvolveScratchSize(width, height) / sizeof(uint32_t));
    rowSums = own.data();
  }
  const size_t rowWords = static_cast<size_t>(width) * kChannels;
  uint32_t* columnSums = rowSums + rowWords * static_cast<size_t>(height);

  // Horizontal: the sum across each pixel's row window, sliding one pixel at a time.
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = source + static_cast<size_t>(y) * sourceRowBytes;
    uint32_t* sums = rowSums + rowWords * static_cast<size_t>(y);
    for (int c = 0; c < kChannels; ++c) {
      uint32_t sum = 0;
      for (int i = -half; i <= half; ++i) sum += row[clampIndex(i, width) * kChannels + c];
      for (int x = 0; x < width; ++x) {
        sums[x * kChannels + c] = sum;
        sum += row[clampIndex(x + half + 1, width) * kChannels + c];
        sum -= row[clampIndex(x - half, width) * kChannels + c];
      }
    }
  }
  // Vertical: the sum of the row sums across each pixel's column window.
  auto rowAt = [&](int y) { return rowSums + rowWords * static_cast<size_t>(clampIndex(y, height)); };
  std::fill(columnSums, columnSums + rowWords, 0u);
  for (int i = -half; i <= half; ++i) {
    const uint32_t* r = rowAt(i);
    for (size_t w = 0; w < rowWords; ++w) columnSums[w] += r[w];
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* out = destination + static_cast<size_t>(y) * destinationRowBytes;
    for (size_t w = 0; w < rowWords; ++w) out[w] = static_cast<uint8_t>((columnSums[w] + area / 2) / area);
    const uint32_t* entering = rowAt(y + half + 1);
    const uint32_t* leaving = rowAt(y - half);
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
