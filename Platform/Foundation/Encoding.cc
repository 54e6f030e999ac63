#include "Platform/Foundation/Encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <array>
#include <memory>

#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

std::string hexWith(Bytes bytes, const char* digits) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Error decodeError(EncodingErrorCode code, const std::string& what) {
  return Error::withDescription(kEncodingErrorDomain, code, what);
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kBase64Url[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string base64With(Bytes bytes, const char* alphabet, bool pad) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = bytes[i] << 16;
    if (rest == 2) v |= bytes[i + 1] << 8;
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    if (rest == 2) out += alphabet[(v >> 6) & 63];
    if (pad) out.append(rest == 1 ? 2 : 1, '=');
  }
  return out;
}

// Decodes with the given alphabet. Padding, when present, must be at the
// end and complete the last group; without padding, a final group of 2 or 3
// digits stands for 1 or 2 bytes, and a lone digit is an error.
std::optional<Data> base64DecodeWith(std::string_view text, const char* alphabet, bool skipUnknown,
                                     Error* error) {
  std::array<int8_t, 256> value;
  value.fill(-1);
  for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(alphabet[i])] = static_cast<int8_t>(i);

  Data out;
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t acc = 0;
  size_t digits = 0;   // digits seen in total
  size_t padding = 0;  // "=" seen
  for (char c : text) {
    if (c == '=') {
      ++padding;
      continue;
    }
    int v = value[static_cast<uint8_t>(c)];
    if (v < 0) {
      if (skipUnknown) continue;
      setError(error, decodeError(kEncodingErrorInvalidCharacter, "Invalid character in base64 text"));
      return std::nullopt;
    }
    if (padding > 0) {
      setError(error, decodeError(kEncodingErrorInvalidPadding, "Base64 text continues after padding"));
      return std::nullopt;
    }
    acc = (acc << 6) | static_cast<uint32_t>(v);
    if (++digits % 4 == 0) {
      out.push_back(static_cast<uint8_t>(acc >> 16));
      out.push_back(static_cast<uint8_t>(acc >> 8));
      out.push_back(static_cast<uint8_t>(acc));
      acc = 0;
    }
  }
  size_t tail = digits % 4;
  if (tail == 1) {
    setError(error, decodeError(kEncodingErrorInvalidLength, "Base64 text has a stray final digit"));
    return std::nullopt;
  }
  if (padding > 0 && (tail == 0 || tail + padding != 4)) {
    setError(error, decodeError(kEncodingErrorInvalidPadding, "Base64 padding does not fit the text"));
    return std::nullopt;
  }
  if (tail == 2) {
    out.push_back(static_cast<uint8_t>(acc >> 4));
  } else if (tail == 3) {
    out.push_back(static_cast<uint8_t>(acc >> 10));
    out.push_back(static_cast<uint8_t>(acc >> 2));
  }
  return out;
}

// Code points of bytes 0x80-0xFF in code page 437.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void appendUtf8(std::string& out, char16_t c) {
  // Every code point of the table lies in the Basic Multilingual Plane.
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string hexString(Bytes bytes) { return hexWith(bytes, "0123456789abcdef"); }
std::string upperHexString(Bytes bytes) { return hexWith(bytes, "0123456789ABCDEF"); }

std::optional<Data> dataFromHexString(std::string_view hex, Error* error) {
  if (hex.size() % 2 != 0) {
    setError(error, decodeError(kEncodingErrorInvalidLength, "Hexadecimal text has an odd length"));
    return std::nullopt;
  }
  Data out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = hexDigitValue(hex[i]);
    int lo = hexDigitValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      setError(error, decodeError(kEncodingErrorInvalidCharacter, "Invalid hexadecimal digit"));
      return std::nullopt;
    }
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return out;
}

std::string base64Encode(Bytes bytes) { return base64With(bytes, kBase64, true); }

std::string base64UrlEncode(Bytes bytes, bool keepPadding) {
  return base64With(bytes, kBase64Url, keepPadding);
}

std::optional<Data> base64Decode(std::string_view text, Error* error, Base64DecodeOptions options) {
  return base64DecodeWith(text, kBase64, options.ignoreUnknownCharacters, error);
}

std::optional<Data> base64UrlDecode(std::string_view text, Error* error) {
  return base64DecodeWith(text, kBase64Url, false, error);
}

std::string cp437ToUtf8(Bytes bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) appendUtf8(out, b < 0x80 ? char16_t(b) : kCp437High[b - 0x80]);
  return out;
}

std::optional<std::string> decodeGuessingEncoding(Bytes bytes, std::string* encodingName) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (isValidUtf8(text)) {
    if (encodingName) *encodingName = "UTF-8";
    return std::string(text);
  }
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, void (*)(UCharsetDetector*)> detector(ucsdet_open(&status), ucsdet_close);
  if (U_FAILURE(status)) return std::nullopt;
  ucsdet_setText(detector.get(), text.data(), static_cast<int32_t>(text.size()), &status);
  const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
  if (U_FAILURE(status) || !match) return std::nullopt;
  const char* name = ucsdet_getName(match, &status);
  if (U_FAILURE(status) || !name) return std::nullopt;

  std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(name, &status), ucnv_close);
  if (U_FAILURE(status)) return std::nullopt;
  // Refuse a guess that cannot decode every byte rather than invent text.
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::u16string out(text.size() * 2 + 2, u'\0');
  int32_t n = ucnv_toUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), text.data(),
                            static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(n));
  if (encodingName) *encodingName = name;
  return toUtf8(out);
}

}  // namespace ns
