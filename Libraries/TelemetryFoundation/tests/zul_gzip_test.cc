#include "Libraries/TelemetryFoundation/ZULGzip.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using ZULGzip::zul_dataByGzippingData;
using ZULGzip::zul_dataByInflatingGzippedData;

class GzipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zul-gzip-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string file(const std::string& name) const { return dir_ + "/" + name; }
  static void write(const std::string& path, const ns::Data& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
  }
  static ns::Data read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ns::Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static int run(const std::string& command) { return std::system(command.c_str()); }

  std::string dir_;
};

// Text that compresses well, mixed with bytes that do not.
ns::Data sample(size_t length) {
  ns::Data data(length);
  uint32_t state = 12345;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1103515245 + 12345;
    data[i] = (i / 64) % 2 ? static_cast<uint8_t>("{\"event\":\"open\",\"n\":1}"[i % 22]) : static_cast<uint8_t>(state >> 16);
  }
  return data;
}

TEST_F(GzipTest, OutputIsGzipThatTheToolReadsBack) {
  for (size_t length : {size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{70000}, size_t{1} << 20}) {
    ns::Data input = sample(length);
    ns::Error error;
    auto gzipped = zul_dataByGzippingData(input, &error);
    ASSERT_TRUE(gzipped) << length;
    std::string path = file("body.gz");
    write(path, *gzipped);
    EXPECT_EQ(run("gzip -t '" + path + "'"), 0) << length;
    EXPECT_EQ(run("gzip -dc '" + path + "' > '" + file("body") + "'"), 0) << length;
    EXPECT_EQ(read(file("body")), input) << length;
    EXPECT_EQ(zul_dataByInflatingGzippedData(*gzipped, &error), input) << length;
    EXPECT_EQ(error.domain(), "") << "untouched on success";
  }
}

TEST_F(GzipTest, InflatesWhatOtherWritersMade) {
  ns::Data input = sample(300000);
  write(file("input"), input);
  ASSERT_EQ(run("gzip -c '" + file("input") + "' > '" + file("tool.gz") + "'"), 0);
  ASSERT_EQ(run("python3 -c 'import sys, zlib; sys.stdout.buffer.write(zlib.compress(open(sys.argv[1], \"rb\").read()))' '" +
                file("input") + "' > '" + file("python.z") + "'"),
            0);
  for (const char* name : {"tool.gz", "python.z"}) {
    ns::Data compressed = read(file(name));
    ASSERT_FALSE(compressed.empty()) << name;
    ns::Error error;
    EXPECT_EQ(zul_dataByInflatingGzippedData(compressed, &error), input) << name;
  }
}

// Output a thousand times the input's length grows over several chunks,
// each as long as all that came before it.
TEST_F(GzipTest, InflatesOutputFarLongerThanItsInput) {
  ns::Data input(size_t{6} << 20, 'a');
  input[12345] = 'b';
  input.back() = 'c';
  write(file("input"), input);
  ASSERT_EQ(run("gzip -c '" + file("input") + "' > '" + file("tool.gz") + "'"), 0);
  ns::Data compressed = read(file("tool.gz"));
  ASSERT_LT(compressed.size() * 500, input.size());
  ns::Error error;
  EXPECT_EQ(zul_dataByInflatingGzippedData(compressed, &error), input);
  EXPECT_EQ(error.domain(), "");
}

TEST_F(GzipTest, FailuresAndEmptyInput) {
  ns::Data gzipped = *zul_dataByGzippingData(sample(5000), nullptr);
  ns::Data trailing = gzipped;
  trailing.insert(trailing.end(), {'x', 'y', 'z'});
  ns::Data truncated(gzipped.begin(), gzipped.end() - 10);
  std::string text = "this was never compressed";
  ns::Data garbage(text.begin(), text.end());

  struct Case {
    const char* what;
    ns::Data input;
    int64_t code;
    ns::Dictionary userInfo;
  } cases[] = {
      {"garbage", garbage, 1025,
       {{"ZULNSDataZlibErrorKey", Z_DATA_ERROR}, {"NSLocalizedDescription", "incorrect header check"}}},
      {"trailing bytes", trailing, 1026, {{"ZULNSDataZlibRemainingBytesKey", 3}}},
      {"a truncated stream", truncated, 1025, {{"ZULNSDataZlibErrorKey", Z_BUF_ERROR}}},
  };
  for (const auto& c : cases) {
    ns::Error error;
    EXPECT_EQ(zul_dataByInflatingGzippedData(c.input, &error), std::nullopt) << c.what;
    EXPECT_EQ(error.domain(), "com.zorori.ZULNSDataZlibErrorDomain") << c.what;
    EXPECT_EQ(error.code(), c.code) << c.what;
    EXPECT_EQ(error.userInfo(), c.userInfo) << c.what << ": " << error.description();
    EXPECT_EQ(zul_dataByInflatingGzippedData(c.input, nullptr), std::nullopt) << "no out-parameter: " << c.what;
  }

  ns::Error untouched;
  EXPECT_EQ(zul_dataByGzippingData({}, &untouched), std::nullopt);
  EXPECT_EQ(zul_dataByInflatingGzippedData({}, &untouched), std::nullopt);
  EXPECT_EQ(untouched.domain(), "");
}

}  // namespace
