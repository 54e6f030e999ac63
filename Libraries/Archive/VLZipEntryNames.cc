#include "Libraries/Archive/VLZipEntryNames.h"

#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {
constexpr uint16_t kUtf8NameFlag = 0x0800;
}  // namespace

std::string VLZipEntryNames::decode(const char* bytes, size_t size, uint16_t versionMadeBy,
                                    uint16_t generalPurposeFlag) {
  std::string_view raw(bytes ? bytes : "", bytes ? size : 0);
  if (versionMadeBy <= 0xFF && !(generalPurposeFlag & kUtf8NameFlag))
    return ns::cp437ToUtf8(ns::bytesOf(raw));
  if (ns::isValidUtf8(raw)) return std::string(raw);
  if (auto guessed = ns::decodeGuessingEncoding(ns::bytesOf(raw))) return *guessed;
  return ns::upperHexString(ns::bytesOf(raw));
}

namespace {

// The segments a name keeps (see sanitizedPath); `climbed` tells whether the
// name started at the root or had a ".." above its start.
std::vector<std::string> keptSegments(std::string_view name, bool* trailingSlash, bool* climbed) {
  if (size_t nul = name.find('\0'); nul != std::string_view::npos) name = name.substr(0, nul);
  std::string text(name);
  for (char& c : text)
    if (c == '\\') c = '/';
  *trailingSlash = !text.empty() && text.back() == '/';
  *climbed = !text.empty() && text.front() == '/';

  std::vector<std::string> kept;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string segment = text.substr(start, end - start);
    if (segment == "..") {
      if (kept.empty()) *climbed = true;
      else kept.pop_back();
    } else if (!segment.empty() && segment != ".") {
      kept.push_back(std::move(segment));
    }
    start = end + 1;
  }
  return kept;
}

}  // namespace

std::string VLZipEntryNames::sanitizedPath(std::string_view name) {
  bool trailingSlash = false, climbed = false;
  std::string result;
  for (const auto& segment : keptSegments(name, &trailingSlash, &climbed)) {
    if (!result.empty()) result += '/';
    result += segment;
  }
  if (!result.empty() && trailingSlash) result += '/';
  return result;
}

bool VLZipEntryNames::climbsOutOfTree(std::string_view name) {
  bool trailingSlash = false, climbed = false;
  keptSegments(name, &trailingSlash, &climbed);
  return climbed;
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
