#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/ImageContext.h"

namespace {

using cg::Image;
using cg::ImageContext;
using cg::ImageOrientation;
using cg::Pixel;
using cg::Rect;
using cg::Rgba;

// A picture with opaque, half-transparent and empty areas, drawn at 2x.
std::shared_ptr<const Image> samplePicture() {
  ImageContext ctx({20, 10}, false, 2);
  ctx.setFillColor({1, 0, 0, 1});
  ctx.fillRect(Rect(0, 0, 10, 10));
  ctx.setFillColor({0, 0.5, 1, 0.5});
  ctx.fillRect(Rect(10, 0, 5, 10));
  ctx.setStrokeColor(Rgba::black());
  ctx.setLineWidth(1);
  ctx.strokeRect(Rect(2.5, 2.5, 5, 5));
  return ctx.makeImage();
}

TEST(ImageTest, DrawnPictureSurvivesPNGRoundTrip) {
  auto picture = samplePicture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pixelWidth(), 40);
  EXPECT_EQ(picture->pixelHeight(), 20);
  EXPECT_EQ(picture->size(), (cg::Size{20, 10}));

  ns::Error error;
  ns::Data png = picture->pngData(&error);
  ASSERT_FALSE(png.empty()) << error.description();
  auto decoded = Image::fromPNG(png, 2, &error);
  ASSERT_TRUE(decoded) << error.description();
  EXPECT_EQ(decoded->pixelWidth(), 40);
  EXPECT_EQ(decoded->pixelHeight(), 20);
  EXPECT_EQ(decoded->scale(), 2);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(decoded->pixel(x, y), picture->pixel(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(picture->pixel(1, 1), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(picture->pixel(38, 1), (Pixel{}));
  Pixel half = picture->pixel(25, 1);
  EXPECT_EQ(half.a, 128);
  EXPECT_NEAR(half.b, 255, 2);
}

TEST(ImageTest, PNGFileIsReadableByASecondReader) {
  auto dir = std::filesystem::temp_directory_path() / ("qb-image-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto path = dir / "picture.png";
  ns::Data png = samplePicture()->pngData();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  // python3's zlib inflates the image data; the header must say 40x20 RGBA.
  std::string script =
      "import struct,zlib,sys\n"
      "d=open(sys.argv[1],'rb').read()\n"
      "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "w,h,bits,ct=struct.unpack('>IIBB',d[16:26])\n"
      "i=8;idat=b''\n"
      "while i<len(d):\n"
      "  n=struct.unpack('>I',d[i:i+4])[0];t=d[i+4:i+8]\n"
      "  if t==b'IDAT': idat+=d[i+8:i+8+n]\n"
      "  i+=12+n\n"
      "raw=zlib.decompress(idat)\n"
      "assert (w,h,bits,ct)==(40,20,8,6),(w,h,bits,ct)\n"
      "assert len(raw)==h*(1+4*w)\n";
  auto scriptPath = dir / "check.py";
  std::ofstream(scriptPath) << script;
  int rc = std::system(("python3 " + scriptPath.string() + " " + path.string()).c_str());
  EXPECT_EQ(rc, 0);
  auto back = Image::fromFile(path.string());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixel(1, 1), (Pixel{255, 0, 0, 255}));
  std::filesystem::remove_all(dir);
}

TEST(ImageTest, RejectsDataThatIsNotPNG) {
  struct Case {
    const char* name;
    ns::Data data;
  } cases[] = {
      {"empty", {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
      {"truncated", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}},
  };
  for (const auto& c : cases) {
    ns::Error error;
    EXPECT_FALSE(Image::fromPNG(c.data, 1, &error)) << c.name;
    EXPECT_EQ(error.domain(), cg::kImageErrorDomain) << c.name;
  }
}

TEST(ImageTest, OrientationTurnsSizeAndDisplayedPixels) {
  // Stored 2x1: red then blue.
  std::vector<uint32_t> px = {0xFFFF0000u, 0xFF0000FFu};
  Image stored(2, 1, px);
  const Pixel red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  struct Case {
    ImageOrientation orientation;
    cg::Size size;
    Pixel first;  // displayed at (0, 0)
  } cases[] = {
      {ImageOrientation::Up, {2, 1}, red},
      {ImageOrientation::Down, {2, 1}, blue},
      {ImageOrientation::UpMirrored, {2, 1}, blue},
      {ImageOrientation::Left, {1, 2}, blue},   // counter-clockwise: the right end goes up
      {ImageOrientation::Right, {1, 2}, red},   // clockwise: the left end goes up
  };
  for (const auto& c : cases) {
    auto turned = stored.withOrientation(c.orientation);
    EXPECT_EQ(turned->size(), c.size) << int(c.orientation);
    auto upright = turned->normalized();
    EXPECT_EQ(upright->orientation(), ImageOrientation::Up);
    EXPECT_EQ(upright->pixel(0, 0), c.first) << int(c.orientation);
  }
  EXPECT_EQ(stored.withScale(2)->size(), (cg::Size{1, 0.5}));
}

}  // namespace
