// Byte encodings used by the system's texts and files: hexadecimal, base64
// (standard and URL-safe), and code page 437 for zip entry names written by
// DOS-era tools without the UTF-8 flag.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

// Domain of decoding failures; codes below.
inline constexpr const char* kEncodingErrorDomain = "QBEncodingErrorDomain";
enum EncodingErrorCode : int64_t {
  kEncodingErrorInvalidCharacter = 1,  // a character outside the alphabet
  kEncodingErrorInvalidLength = 2,     // the text cannot be a whole number of bytes
  kEncodingErrorInvalidPadding = 3,    // "=" in the wrong place or wrong count
};

using Bytes = std::span<const uint8_t>;

// Views text as bytes, for encoding strings directly.
inline Bytes bytesOf(std::string_view s) {
  return Bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Two digits per byte, most significant nibble first.
std::string hexString(Bytes bytes);           // "0a1b..."
std::string upperHexString(Bytes bytes);      // "0A1B..."
// Decodes hexadecimal digits of either case; an odd count or a non-digit is
// an error.
std::optional<Data> dataFromHexString(std::string_view hex, Error* error = nullptr);

// Standard base64 (+ and /) with "=" padding and no line breaks.
std::string base64Encode(Bytes bytes);
// The URL-safe alphabet (- and _). `keepPadding` keeps the trailing "="
// characters; callers that need them removed pass false.
std::string base64UrlEncode(Bytes bytes, bool keepPadding = true);

struct Base64DecodeOptions {
  // Skip characters outside the alphabet (line breaks, spaces) instead of
  // failing on them.
  bool ignoreUnknownCharacters = false;
};
// Decodes standard base64; padding is required unless the text's length
// already makes whole bytes. Failures are reported in `error`.
std::optional<Data> base64Decode(std::string_view text, Error* error = nullptr,
                                 Base64DecodeOptions options = {});
// Decodes URL-safe base64; the "=" padding may be present or left out.
std::optional<Data> base64UrlDecode(std::string_view text, Error* error = nullptr);

// Decodes code page 437 (DOS Latin US) to UTF-8. Every byte maps to one
// character, so decoding never fails; 0x00-0x7F are ASCII.
std::string cp437ToUtf8(Bytes bytes);

// Text of unknown encoding, as the platform guesses it: UTF-8 when the bytes
// are valid UTF-8, else the encoding a detector finds most likely (its name
// in `encodingName` when given); absent when nothing decodes them.
std::optional<std::string> decodeGuessingEncoding(Bytes bytes, std::string* encodingName = nullptr);

}  // namespace ns
