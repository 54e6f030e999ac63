#include "Libraries/Archive/VLZipEntryNames.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

constexpr uint16_t kUtf8NameFlag = 0x0800;

// The platform's guess at the encoding of `bytes`, converted to UTF-8.
std::optional<std::string> guessedText(std::string_view bytes) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status), ucsdet_close);
  if (U_FAILURE(status)) return std::nullopt;
  ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
  if (U_FAILURE(status) || !match) return std::nullopt;
  const char* charset = ucsdet_getName(match, &status);
  if (U_FAILURE(status) || !charset) return std::nullopt;

  std::string out(bytes.size() * 4 + 4, '\0');
  int32_t length = ucnv_convert("UTF-8", charset, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(length));
  if (!ns::isValidUtf8(out)) return std::nullopt;
  return out;
}

}  // namespace

std::string VLZipEntryNames::decode(const char* bytes, size_t size, uint16_t versionMadeBy,
                                    uint16_t generalPurposeFlag) {
  std::string_view raw(bytes ? bytes : "", bytes ? size : 0);
  if (versionMadeBy <= 0xFF && !(generalPurposeFlag & kUtf8NameFlag))
    return ns::cp437ToUtf8(ns::bytesOf(raw));
  if (ns::isValidUtf8(raw)) return std::string(raw);
  if (auto guessed = guessedText(raw)) return *guessed;
  return ns::upperHexString(ns::bytesOf(raw));
}

std::string VLZipEntryNames::sanitizedPath(std::string_view name) {
  if (size_t nul = name.find('\0'); nul != std::string_view::npos) name = name.substr(0, nul);
  std::string text(name);
  for (char& c : text)
    if (c == '\\') c = '/';
  const bool trailingSlash = !text.empty() && text.back() == '/';

  std::vector<std::string> kept;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string segment = text.substr(start, end - start);
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (!segment.empty() && segment != ".") {
      kept.push_back(std::move(segment));
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& segment : kept) {
    if (!result.empty()) result += '/';
    result += segment;
  }
  if (!result.empty() && trailingSlash) result += '/';
  return result;
}

std::vector<std::string> VLZipEntryNames::components(std::string_view sanitized) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < sanitized.size()) {
    size_t end = sanitized.find('/', start);
    if (end == std::string_view::npos) end = sanitized.size();
    if (end > start) parts.emplace_back(sanitized.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string VLZipEntryNames::hexString(const ns::Data& data) { return ns::upperHexString(data); }

std::string VLZipEntryNames::base64RFC4648(const ns::Data& data) { return ns::base64UrlEncode(data, true); }
