#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

Data dataOf(std::string_view s) { return Data(s.begin(), s.end()); }

// Runs a shell command and returns its standard output.
std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

TEST(HexTest, EncodesBothCasesAndDecodesEither) {
  Data bytes{0x00, 0x0f, 0xa5, 0xff, 0x10};
  EXPECT_EQ(hexString(bytes), "000fa5ff10");
  EXPECT_EQ(upperHexString(bytes), "000FA5FF10");
  EXPECT_EQ(dataFromHexString("000fA5Ff10"), bytes);
  EXPECT_EQ(dataFromHexString(""), Data{});
}

TEST(HexTest, RejectsOddLengthAndNonDigits) {
  struct Case {
    const char* text;
    int64_t code;
  } cases[] = {{"abc", kEncodingErrorInvalidLength}, {"0g", kEncodingErrorInvalidCharacter},
               {" 0a", kEncodingErrorInvalidLength}, {"0a 1", kEncodingErrorInvalidCharacter},
               {"0x1f", kEncodingErrorInvalidCharacter}};
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(dataFromHexString(c.text, &error)) << c.text;
    EXPECT_EQ(error.domain(), kEncodingErrorDomain) << c.text;
    EXPECT_EQ(error.code(), c.code) << c.text;
  }
}

TEST(Base64Test, KnownVectors) {
  // RFC 4648 test vectors.
  struct Case {
    const char* plain;
    const char* encoded;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    EXPECT_EQ(base64Encode(bytesOf(c.plain)), c.encoded);
    EXPECT_EQ(base64Decode(c.encoded), dataOf(c.plain)) << c.encoded;
  }
}

TEST(Base64Test, RoundTripsEveryByteValueAndLength) {
  Data all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  for (size_t n = 0; n <= all.size(); n += 1 + n / 8) {
    Data part(all.begin(), all.begin() + n);
    std::string text = base64Encode(part);
    EXPECT_EQ(text.size() % 4, 0u);
    EXPECT_EQ(base64Decode(text), part) << n;
    EXPECT_EQ(base64UrlDecode(base64UrlEncode(part)), part) << n;
    EXPECT_EQ(base64UrlDecode(base64UrlEncode(part, false)), part) << n;
  }
}

TEST(Base64Test, UrlAlphabetAndPadding) {
  Data bytes{0xfb, 0xff, 0xbf};  // all three the + / digits
  EXPECT_EQ(base64Encode(bytes), "+/+/");
  EXPECT_EQ(base64UrlEncode(bytes), "-_-_");
  Data one{0xfb};
  EXPECT_EQ(base64UrlEncode(one), "-w==");
  EXPECT_EQ(base64UrlEncode(one, false), "-w");
  // 17 bytes, as the installation identifier uses: 24 characters, last "=".
  Data seventeen(17, 0x70);
  std::string id = base64UrlEncode(seventeen);
  EXPECT_EQ(id.size(), 24u);
  EXPECT_EQ(id.back(), '=');
}

TEST(Base64Test, BadInputIsReportedNotDecoded) {
  struct Case {
    const char* text;
    int64_t code;
  } cases[] = {
      {"Zm9v!", kEncodingErrorInvalidCharacter},  {"Zm9v\n", kEncodingErrorInvalidCharacter},
      {"Z", kEncodingErrorInvalidLength},          {"Zm9vY", kEncodingErrorInvalidLength},
      {"Zg=", kEncodingErrorInvalidPadding},       {"Zg===", kEncodingErrorInvalidPadding},
      {"Zg==Zg==", kEncodingErrorInvalidPadding},  {"=Zg", kEncodingErrorInvalidPadding},
      {"Zm9v=", kEncodingErrorInvalidPadding},     {"-_-_", kEncodingErrorInvalidCharacter},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(base64Decode(c.text, &error)) << c.text;
    EXPECT_EQ(error.code(), c.code) << c.text;
    EXPECT_FALSE(error.localizedDescription().empty());
  }
  // The URL decoder refuses the standard alphabet's own digits.
  EXPECT_FALSE(base64UrlDecode("+/+/"));
}

TEST(Base64Test, IgnoresUnknownCharactersWhenAsked) {
  EXPECT_EQ(base64Decode("Zm9v\r\nYmFy", nullptr, {.ignoreUnknownCharacters = true}), dataOf("foobar"));
  EXPECT_EQ(base64Decode(" Zm 9v Yg== ", nullptr, {.ignoreUnknownCharacters = true}), dataOf("foob"));
}

TEST(Cp437Test, AsciiPassesThrough) {
  EXPECT_EQ(cp437ToUtf8(bytesOf("README.TXT")), "README.TXT");
  EXPECT_EQ(cp437ToUtf8(bytesOf("")), "");
}

TEST(Cp437Test, HighBytesSpotChecks) {
  struct Case {
    uint8_t byte;
    const char* utf8;
  } cases[] = {{0x80, "Ç"}, {0x81, "ü"}, {0x8E, "Ä"}, {0x9E, "₧"}, {0x9F, "ƒ"}, {0xA9, "⌐"},
               {0xB0, "░"}, {0xC5, "┼"}, {0xDB, "█"}, {0xE1, "ß"}, {0xE6, "µ"}, {0xEE, "ε"},
               {0xF9, "∙"}, {0xFA, "·"}, {0xFE, "■"}, {0xFF, "\u00A0"}};
  for (const auto& c : cases) {
    uint8_t b = c.byte;
    EXPECT_EQ(cp437ToUtf8(Bytes(&b, 1)), c.utf8) << int(c.byte);
  }
}

TEST(Cp437Test, AllHighBytesAgreeWithPython) {
  std::string expected = run(
      "python3 -c \"import sys; sys.stdout.buffer.write(bytes(range(128,256)).decode('cp437')"
      ".encode('utf-8'))\"");
  if (expected.empty()) GTEST_SKIP() << "python3 not available";
  Data high;
  for (int b = 0x80; b <= 0xFF; ++b) high.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(cp437ToUtf8(high), expected);
}

TEST(GuessEncodingTest, Utf8FirstThenADetectedEncoding) {
  std::string name;
  EXPECT_EQ(decodeGuessingEncoding(bytesOf("caf\xC3\xA9.txt"), &name), "caf\xC3\xA9.txt");
  EXPECT_EQ(name, "UTF-8");
  // Latin-1 text of some length: not UTF-8, but a guess decodes it.
  std::string latin1 = "Le caf\xE9 est tr\xE8s chaud, la cr\xE8me br\xFBl\xE9" "e aussi, d\xE9j\xE0 servie.";
  auto guessed = decodeGuessingEncoding(bytesOf(latin1), &name);
  ASSERT_TRUE(guessed) << name;
  EXPECT_NE(guessed->find("caf\xC3\xA9"), std::string::npos) << name << ": " << *guessed;
  EXPECT_TRUE(isValidUtf8(*guessed));
}

}  // namespace
}  // namespace ns
