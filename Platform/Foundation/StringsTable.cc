#include "Platform/Foundation/StringsTable.h"

#include <string>
#include <string_view>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

// Bytes to UTF-8 text: a UTF-16 byte-order mark (or a NUL in the second
// byte, as in BOM-less UTF-16LE) selects UTF-16; a UTF-8 mark is dropped.
std::string decodeText(const Data& bytes) {
  auto utf16 = [&](size_t start, bool bigEndian) {
    std::u16string units;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
      units.push_back(bigEndian ? static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1])
                                : static_cast<char16_t>(bytes[i + 1] << 8 | bytes[i]));
    return toUtf8(units);
  };
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return utf16(2, false);
  if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return utf16(2, true);
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    return std::string(bytes.begin() + 3, bytes.end());
  if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) return utf16(0, false);
  return std::string(bytes.begin(), bytes.end());
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  bool parse(Dictionary& out) {
    skipSpace();
    bool braced = at('{');
    if (braced) {
      ++i_;
      skipSpace();
    }
    while (ok_) {
      skipSpace();
      if (i_ >= s_.size()) break;
      if (braced && at('}')) {
        ++i_;
        skipSpace();
        return ok_ && i_ >= s_.size();
      }
      std::string key;
      if (!token(key)) return false;
      skipSpace();
      std::string value = key;  // "key"; means key = key
      if (at('=')) {
        ++i_;
        skipSpace();
        if (!token(value)) return false;
        skipSpace();
      }
      if (!at(';')) return false;
      ++i_;
      out.set(std::move(key), Value(std::move(value)));
    }
    return ok_ && !braced;
  }

 private:
  bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }

  void skipSpace() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++i_;
      } else if (s_.compare(i_, 2, "//") == 0) {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (s_.compare(i_, 2, "/*") == 0) {
        size_t end = s_.find("*/", i_ + 2);
        if (end == std::string_view::npos) {
          ok_ = false;
          i_ = s_.size();
          return;
        }
        i_ = end + 2;
      } else {
        return;
      }
    }
  }

  static bool isUnquoted(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_$+/:.-").find(c) != std::string_view::npos;
  }

  bool token(std::string& out) {
    out.clear();
    if (at('"')) return quoted(out);
    while (i_ < s_.size() && isUnquoted(s_[i_])) out += s_[i_++];
    return !out.empty();
  }

  bool hexDigits(int count, char32_t& value) {
    value = 0;
    for (int k = 0; k < count; ++k) {
      if (i_ >= s_.size()) return false;
      char c = s_[i_++];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      value = value * 16 + static_cast<char32_t>(d);
    }
    return true;
  }

  bool quoted(std::string& out) {
    ++i_;  // opening quote
    char32_t pendingHigh = 0;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return pendingHigh == 0;
      if (c != '\\') {
        if (pendingHigh) return false;
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      char32_t cp;
      switch (e) {
        case 'n': cp = '\n'; break;
        case 't': cp = '\t'; break;
        case 'r': cp = '\r'; break;
        case 'a': cp = '\a'; break;
        case 'b': cp = '\b'; break;
        case 'f': cp = '\f'; break;
        case 'v': cp = '\v'; break;
        case 'U':
        case 'u':
          if (!hexDigits(4, cp)) return false;
          break;
        default:
          if (e >= '0' && e <= '7') {
            cp = static_cast<char32_t>(e - '0');
            for (int k = 0; k < 2 && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '7'; ++k)
              cp = cp * 8 + static_cast<char32_t>(s_[i_++] - '0');
          } else {
            cp = static_cast<unsigned char>(e);  // \" \\ \' and any other character stand for themselves
          }
      }
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (pendingHigh) return false;
        pendingHigh = cp;
        continue;
      }
      if (cp >= 0xDC00 && cp <= 0xDFFF) {
        if (!pendingHigh) return false;
        cp = 0x10000 + ((pendingHigh - 0xD800) << 10) + (cp - 0xDC00);
        pendingHigh = 0;
      } else if (pendingHigh) {
        return false;
      }
      appendUtf8(out, cp);
    }
    return false;  // unterminated
  }

  std::string_view s_;
  size_t i_ = 0;
  bool ok_ = true;
};

Error corrupt(const std::string& why) {
  return Error::withDescription(kCocoaErrorDomain, kPropertyListReadCorruptError,
                                "The data couldn\u2019t be read because it isn\u2019t in the correct format. (" + why + ")");
}

}  // namespace

std::optional<Dictionary> parseStringsTable(const Data& bytes, Error* error) {
  static constexpr std::string_view kBinary = "bplist";
  bool binary = bytes.size() >= kBinary.size() && std::equal(kBinary.begin(), kBinary.end(), bytes.begin());
  std::string text = binary ? std::string() : decodeText(bytes);
  size_t first = text.find_first_not_of(" \t\r\n");
  if (binary || (first != std::string::npos && text.compare(first, 5, "<?xml") == 0) ||
      (first != std::string::npos && text.compare(first, 6, "<plist") == 0)) {
    auto value = propertyListFromData(binary ? bytes : Data(text.begin(), text.end()), error);
    if (!value) return std::nullopt;
    const Dictionary* dict = value->asDictionary();
    if (!dict) {
      setError(error, corrupt("not a dictionary"));
      return std::nullopt;
    }
    Dictionary strings;
    for (const auto& [key, v] : *dict)
      if (v.isString()) strings.set(key, v);
    return strings;
  }
  Dictionary out;
  if (!Parser(text).parse(out)) {
    setError(error, corrupt("malformed strings table"));
    return std::nullopt;
  }
  return out;
}

}  // namespace ns
