#include "Platform/Foundation/Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "Platform/Foundation/StringUtf16.h"

namespace ns {
namespace {

std::string hexAddress(uintptr_t p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(p));
  return buf;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp == 0) return;  // a NUL character would end the text for C readers
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  std::u16string u;
  if (cp >= 0x10000) {
    u += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    u += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    u += static_cast<char16_t>(cp);
  }
  out += toUtf8(u);
}

struct Directive {
  std::string flags;
  int width = -1;
  int precision = -1;
  std::string length;  // hh h l ll q L z t j
  char conversion = 0;
};

// Reads a decimal number at fmt[i]; -1 when none.
int readNumber(std::string_view fmt, size_t& i) {
  if (i >= fmt.size() || fmt[i] < '0' || fmt[i] > '9') return -1;
  long n = 0;
  while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
    n = n * 10 + (fmt[i++] - '0');
    if (n > 100000) n = 100000;  // no format asks for more; keeps memory bounded
  }
  return static_cast<int>(n);
}

// Pads `text` (whose UTF-16 length is `units`) to the width.
std::string pad(std::string text, size_t units, const Directive& directive) {
  if (directive.width < 0 || units >= static_cast<size_t>(directive.width)) return text;
  std::string fill(static_cast<size_t>(directive.width) - units, ' ');
  return directive.flags.find('-') != std::string::npos ? text + fill : fill + text;
}

std::string formatText(const std::string& text, const Directive& directive) {
  std::string t = text;
  if (directive.precision >= 0) t = truncatedToUtf16Length(t, static_cast<size_t>(directive.precision));
  return pad(t, utf16Length(t), directive);
}

// Formats one number with the C library, after the argument was checked
// and converted to the type the conversion reads.
template <class T>
std::string printfNumber(const Directive& directive, const char* length, char conversion, T value) {
  std::string f = "%" + directive.flags;
  if (directive.width >= 0) f += std::to_string(directive.width);
  if (directive.precision >= 0) f += "." + std::to_string(directive.precision);
  f += length;
  f += conversion;
  int n = std::snprintf(nullptr, 0, f.c_str(), value);
  if (n < 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), f.c_str(), value);
  out.resize(static_cast<size_t>(n));
  return out;
}

// The plain directives of most log lines ("%d", "%.3f": no flags, no
// width) written straight into `out`, without building a format for the C
// library; false when the directive needs the general path. The text is
// the C library's: both give the exactly rounded decimal.
bool appendPlainInteger(std::string& out, const Directive& directive, long long value) {
  if (!directive.flags.empty() || directive.width >= 0 || directive.precision >= 0) return false;
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return false;
  out.append(buffer, end);
  return true;
}

bool appendPlainFixed(std::string& out, const Directive& directive, double value) {
  if (!directive.flags.empty() || directive.width >= 0 || directive.conversion != 'f' || !std::isfinite(value))
    return false;
  const int precision = directive.precision >= 0 ? directive.precision : 6;
  if (precision > 40 || std::fabs(value) >= 1e40) return false;  // such texts go the general way
  char buffer[128];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (ec != std::errc()) return false;
  out.append(buffer, end);
  return true;
}

int narrowBits(const std::string& length) {
  if (length == "hh") return 8;
  if (length == "h") return 16;
  return 64;
}

}  // namespace

FormatArg::FormatArg(std::u16string_view s) : kind_(Kind::Text), text_(toUtf8(s)) {}

FormatArg::FormatArg(const Value& v) {
  if (v.isBool()) {
    kind_ = Kind::Signed;
    signed_ = v.boolValue() ? 1 : 0;
  } else if (v.isInteger() && v.isUnsigned()) {
    kind_ = Kind::Unsigned;
    unsigned_ = v.unsignedValue();
  } else if (v.isInteger()) {
    kind_ = Kind::Signed;
    signed_ = v.integerValue();
  } else if (v.isReal()) {
    kind_ = Kind::Real;
    real_ = v.doubleValue();
  } else {
    kind_ = Kind::Text;
  }
  text_ = v.description();
}

int64_t FormatArg::signedValue() const {
  switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned: return static_cast<int64_t>(unsigned_);
    case Kind::Real:
      if (std::isnan(real_)) return 0;
      if (real_ >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
      if (real_ <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
      return static_cast<int64_t>(real_);
    case Kind::Pointer: return static_cast<int64_t>(pointer_);
    default: return 0;
  }
}

uint64_t FormatArg::unsignedValue() const {
  if (kind_ == Kind::Unsigned) return unsigned_;
  if (kind_ == Kind::Pointer) return pointer_;
  uint64_t v = static_cast<uint64_t>(signedValue());
  return bits_ < 64 ? v & ((uint64_t{1} << bits_) - 1) : v;
}

double FormatArg::realValue() const {
  switch (kind_) {
    case Kind::Real: return real_;
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned: return static_cast<double>(unsigned_);
    default: return 0;
  }
}

std::string FormatArg::text() const {
  switch (kind_) {
    case Kind::Text: return text_;
    case Kind::Signed: return text_.empty() ? std::to_string(signed_) : text_;
    case Kind::Unsigned: return text_.empty() ? std::to_string(unsigned_) : text_;
    case Kind::Real: return text_.empty() ? Value(real_).description() : text_;
    case Kind::Pointer: return text_.empty() ? hexAddress(pointer_) : text_;
    case Kind::Null:
    case Kind::Missing: return "(null)";
  }
  return {};
}

std::string formatArgs(std::string_view fmt, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(fmt.size() + 16);
  formatArgsInto(out, fmt, args);
  return out;
}

void formatArgsInto(std::string& out, std::string_view fmt, std::span<const FormatArg> args) {
  static const FormatArg missing;
  size_t nextArg = 0;
  auto argAt = [&](size_t index) -> const FormatArg& { return index < args.size() ? args[index] : missing; };
  // An optional "n$" position at fmt[i]; returns the 0-based index or -1.
  auto readPosition = [&](size_t& i) -> long {
    size_t j = i;
    int n = readNumber(fmt, j);
    if (n > 0 && j < fmt.size() && fmt[j] == '$') {
      i = j + 1;
      return n - 1;
    }
    return -1;
  };
  auto starValue = [&](size_t& i) -> int {
    long position = readPosition(i);
    const FormatArg& a = argAt(position >= 0 ? static_cast<size_t>(position) : nextArg++);
    int64_t v = a.signedValue();
    if (v > 100000) v = 100000;
    if (v < -100000) v = -100000;
    return static_cast<int>(v);
  };

  out.clear();
  size_t i = 0;
  while (i < fmt.size()) {
    size_t percent = fmt.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(fmt.substr(i));
      break;
    }
    out.append(fmt.substr(i, percent - i));
    i = percent + 1;
    if (i >= fmt.size()) {
      out += '%';  // a lone trailing "%" stays as written
      break;
    }
    if (fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }

    Directive directive;
    long position = readPosition(i);
    while (i < fmt.size() && std::string_view("-+ #0'").find(fmt[i]) != std::string_view::npos) {
      if (fmt[i] != '\'' && directive.flags.find(fmt[i]) == std::string::npos) directive.flags += fmt[i];
      ++i;
    }
    if (i < fmt.size() && fmt[i] == '*') {
      ++i;
      int w = starValue(i);
      if (w < 0) {
        directive.flags += '-';
        w = -w;
      }
      directive.width = w;
    } else {
      directive.width = readNumber(fmt, i);
    }
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        directive.precision = starValue(i);  // negative: as if none
      } else {
        int p = readNumber(fmt, i);
        directive.precision = p < 0 ? 0 : p;
      }
    }
    while (i < fmt.size() && std::string_view("hlqLztj").find(fmt[i]) != std::string_view::npos) {
      directive.length += fmt[i++];
    }
    if (i >= fmt.size()) {
      out.append(fmt.substr(percent));  // an unfinished directive stays as written
      break;
    }
    directive.conversion = fmt[i++];

    auto takeArg = [&]() -> const FormatArg& {
      return argAt(position >= 0 ? static_cast<size_t>(position) : nextArg++);
    };
    switch (directive.conversion) {
      case 'd':
      case 'i': {
        const FormatArg& a = takeArg();
        int64_t v = a.signedValue();
        int bits = narrowBits(directive.length);
        if (bits == 8) v = static_cast<int8_t>(v);
        if (bits == 16) v = static_cast<int16_t>(v);
        if (!appendPlainInteger(out, directive, static_cast<long long>(v))) {
          out += printfNumber(directive, "ll", 'd', static_cast<long long>(v));
        }
        break;
      }
      case 'u':
      case 'o':
      case 'x':
      case 'X': {
        const FormatArg& a = takeArg();
        uint64_t v = a.unsignedValue();
        int bits = narrowBits(directive.length);
        if (bits < 64) v &= (uint64_t{1} << bits) - 1;
        out += printfNumber(directive, "ll", directive.conversion, static_cast<unsigned long long>(v));
        break;
      }
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A': {
        const double v = takeArg().realValue();
        if (!appendPlainFixed(out, directive, v)) out += printfNumber(directive, "", directive.conversion, v);
        break;
      }
      case 'c':
      case 'C': {
        std::string c;
        const FormatArg& a = takeArg();
        if (a.kind() == FormatArg::Kind::Text) {
          c = a.text().substr(0, 1);  // a text given for a character: its first byte if ASCII
          if (!c.empty() && static_cast<unsigned char>(c[0]) >= 0x80) c.clear();
        } else {
          appendUtf8(c, static_cast<uint32_t>(a.unsignedValue()));
        }
        out += pad(c, utf16Length(c), directive);
        break;
      }
      case 's':
      case 'S':
      case '@': {
        const FormatArg& a = takeArg();
        // Most texts are printed as they are: nothing to measure or cut.
        if (a.kind() == FormatArg::Kind::Text && directive.width < 0 && directive.precision < 0) {
          out += a.text();
        } else {
          out += formatText(a.text(), directive);
        }
        break;
      }
      case 'p': {
        const FormatArg& a = takeArg();
        std::string text = hexAddress(static_cast<uintptr_t>(a.unsignedValue()));
        out += pad(text, text.size(), directive);
        break;
      }
      case 'n':
        takeArg();  // never written through
        break;
      default:
        // Not a conversion we know: keep the directive as written.
        out.append(fmt.substr(percent, i - percent));
        break;
    }
  }
}

}  // namespace ns
