// The passcode screen's frosted glass (radius 20, white at 0.25, saturation
// 1.8) on a 1170 × 2532 picture at scale 3 (a box of 113 pixels), against
// OpenCV on the same pixels in the same run: cv::blur three times with
// replicated borders, then cv::transform with the same saturation matrix.
// Two ratios: the filter alone (our three box passes and the matrix), and
// the whole effect (drawing, filter, composing and tint) against the same
// OpenCV filter.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <vector>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Platform/Graphics/PixelFilters.h"
#include "Platform/UIKit/Image.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kWidth = 1170, kHeight = 2532;
constexpr double kScale = 3, kRadius = 20, kSaturation = 1.8;

// A screen-like picture: bands of colour with noise, opaque.
const std::shared_ptr<const cg::Image>& bitmap() {
  static const std::shared_ptr<const cg::Image> image = [] {
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    uint32_t state = 2463534242u;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        uint32_t r = (x * 255 / kWidth + (state & 31)) & 255, g = ((y / 40) * 37 + (state >> 8 & 31)) & 255,
                 b = ((x + y) / 9 + (state >> 16 & 31)) & 255;
        pixels[static_cast<size_t>(y) * kWidth + x] = 0xff000000u | r << 16 | g << 8 | b;
      }
    }
    return std::make_shared<cg::Image>(kWidth, kHeight, std::move(pixels), kScale);
  }();
  return image;
}

void BM_FilterOurs(benchmark::State& state) {
  const unsigned kernel = ImageEffects::frostedGlassKernelSize(kRadius, kScale);
  const size_t rowBytes = size_t{kWidth} * 4;
  std::vector<uint32_t> a(bitmap()->premultipliedPixels()), b(a.size());
  std::vector<uint8_t> scratch(cg::boxConvolveScratchSize(kWidth, kHeight, kernel));
  int16_t matrix[16];
  ImageEffects::frostedGlassSaturationMatrix(kSaturation, matrix);
  auto* pa = reinterpret_cast<uint8_t*>(a.data());
  auto* pb = reinterpret_cast<uint8_t*>(b.data());
  for (auto _ : state) {
    cg::boxConvolveEdgeExtend(pa, rowBytes, pb, rowBytes, kWidth, kHeight, kernel, scratch.data());
    cg::boxConvolveEdgeExtend(pb, rowBytes, pa, rowBytes, kWidth, kHeight, kernel, scratch.data());
    cg::boxConvolveEdgeExtend(pa, rowBytes, pb, rowBytes, kWidth, kHeight, kernel, scratch.data());
    cg::matrixMultiplyDivide256(pb, rowBytes, pa, rowBytes, kWidth, kHeight, matrix);
    benchmark::DoNotOptimize(pa);  // the next round filters this output: the work does not depend on the pixels
  }
}

void BM_EffectOurs(benchmark::State& state) {
  auto image = ui::Image::withBitmap(bitmap());
  auto white = ui::Color::withWhite(1, 0.25);
  for (auto _ : state) benchmark::DoNotOptimize(ImageEffects::applyBlurWithRadius(*image, kRadius, white, kSaturation, nullptr));
}

void BM_FilterOpenCV(benchmark::State& state) {
  const int kernel = static_cast<int>(ImageEffects::frostedGlassKernelSize(kRadius, kScale));
  const std::vector<uint32_t>& pixels = bitmap()->premultipliedPixels();
  cv::Mat source(kHeight, kWidth, CV_8UC4, const_cast<uint32_t*>(pixels.data()));
  int16_t ours[16];
  ImageEffects::frostedGlassSaturationMatrix(kSaturation, ours);
  // cv::transform multiplies a column vector: the transpose of ours.
  cv::Mat matrix(4, 4, CV_32F);
  for (int out = 0; out < 4; ++out)
    for (int in = 0; in < 4; ++in) matrix.at<float>(out, in) = ours[in * 4 + out] / 256.0f;
  cv::Mat a, b;
  for (auto _ : state) {
    cv::blur(source, a, cv::Size(kernel, kernel), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::blur(a, b, cv::Size(kernel, kernel), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::blur(b, a, cv::Size(kernel, kernel), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::transform(a, b, matrix);
    benchmark::DoNotOptimize(b.data);
  }
}

BENCHMARK(BM_FilterOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EffectOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterOpenCV)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // One thread, as the effect runs: the comparison is of the algorithms.
  cv::setNumThreads(1);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "filter", "BM_FilterOurs", "BM_FilterOpenCV", "OpenCV");
  bench::printRatio(reporter, "effect", "BM_EffectOurs", "BM_FilterOpenCV", "OpenCV");
  benchmark::Shutdown();
  return 0;
}
