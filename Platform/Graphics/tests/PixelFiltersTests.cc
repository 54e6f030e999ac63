#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "Platform/Graphics/PixelFilters.h"

namespace {

// A mean over the k × k square with coordinates clamped to the bitmap,
// rounded to nearest with halves up: what the box convolution must equal.
std::vector<uint8_t> bruteForceMean(const std::vector<uint8_t>& in, int width, int height, size_t rowBytes, int k) {
  std::vector<uint8_t> out(in.size(), 0);
  int half = k / 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (int dy = -half; dy <= half; ++dy)
          for (int dx = -half; dx <= half; ++dx) {
            int sx = std::clamp(x + dx, 0, width - 1), sy = std::clamp(y + dy, 0, height - 1);
            sum += in[sy * rowBytes + sx * 4 + c];
          }
        unsigned area = static_cast<unsigned>(k * k);
        out[y * rowBytes + x * 4 + c] = static_cast<uint8_t>((sum + area / 2) / area);
      }
  return out;
}

TEST(PixelFiltersTest, BoxConvolutionEqualsBruteForceMeanWithClampedEdges) {
  std::mt19937 random(7);
  struct Case {
    int width, height, padding;
    unsigned kernel;
  };
  // Kernels wider and taller than the bitmap, as tall as it, one-pixel
  // bitmaps and padded rows included; 181 is the largest kernel whose sums
  // are divided by a multiplication, 183 the smallest divided directly.
  for (const Case& c : std::vector<Case>{{5, 4, 0, 3},
                                         {7, 6, 8, 5},
                                         {3, 9, 4, 11},
                                         {1, 1, 0, 7},
                                         {6, 1, 0, 3},
                                         {4, 3, 0, 3},
                                         {5, 20, 4, 7},
                                         {4, 3, 0, 181},
                                         {4, 3, 4, 183}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " k " + std::to_string(c.kernel));
    size_t rowBytes = static_cast<size_t>(c.width) * 4 + c.padding;
    std::vector<uint8_t> in(rowBytes * c.height);
    for (auto& b : in) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> out(in.size(), 0);
    std::vector<uint8_t> scratch(cg::boxConvolveScratchSize(c.width, c.height, c.kernel));
    cg::boxConvolveEdgeExtend(in.data(), rowBytes, out.data(), rowBytes, c.width, c.height, c.kernel, scratch.data());
    auto expected = bruteForceMean(in, c.width, c.height, rowBytes, static_cast<int>(c.kernel));
    for (int y = 0; y < c.height; ++y)
      for (size_t i = 0; i < static_cast<size_t>(c.width) * 4; ++i)
        ASSERT_EQ(out[y * rowBytes + i], expected[y * rowBytes + i]) << "row " << y << " byte " << i;
  }
}

// Sums at whole multiples of the area: the division must not fall short.
TEST(PixelFiltersTest, UniformBitmapsStayUniform) {
  for (unsigned kernel : {3u, 113u, 181u, 183u}) {
    for (int value : {0, 1, 128, 255}) {
      std::vector<uint8_t> in(5 * 4 * 4, static_cast<uint8_t>(value)), out(in.size(), 7);
      cg::boxConvolveEdgeExtend(in.data(), 5 * 4, out.data(), 5 * 4, 5, 4, kernel);
      EXPECT_EQ(out, in) << "k " << kernel << " value " << value;
    }
  }
}

TEST(PixelFiltersTest, MatrixMultipliesRowVectorsAndRoundsHalvesAwayFromZero) {
  // Column 0 takes channel 1 at half weight, column 1 doubles channel 0,
  // column 2 subtracts channel 3 from channel 2, column 3 keeps channel 3.
  const int16_t matrix[16] = {0, 512, 0, 0,  //
                              128, 0, 0, 0,  //
                              0, 0, 256, 0,  //
                              0, 0, -256, 256};
  const std::vector<uint8_t> in = {10, 3, 200, 50, 200, 255, 20, 100};
  std::vector<uint8_t> out(in.size());
  cg::matrixMultiplyDivide256(in.data(), 8, out.data(), 8, 2, 1, matrix);
  // 3 / 2 = 1.5 rounds to 2; 255 / 2 = 127.5 to 128; 2 × 200 clamps to 255; 20 − 100 clamps to 0.
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 20, 150, 50, 128, 255, 0, 100}));
  const int16_t negative[16] = {-128, 0, 0, 0, 0, 256, 0, 0, 0, 0, 256, 0, 0, 0, 0, 256};
  const std::vector<uint8_t> one = {1, 0, 0, 0};
  std::vector<uint8_t> result(4);
  cg::matrixMultiplyDivide256(one.data(), 4, result.data(), 4, 1, 1, negative);
  EXPECT_EQ(result[0], 0);  // −0.5 rounds to −1, clamped to 0
}

}  // namespace
