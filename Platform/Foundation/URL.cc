#include "Platform/Foundation/URL.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <cstring>

namespace ns {
namespace {

bool isAsciiAlnum(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Decodes one UTF-8 sequence at s[i]; advances i. Returns false on bad input.
bool nextCodePoint(std::string_view s, size_t& i, char32_t& out) {
  unsigned char c = s[i];
  int len;
  char32_t cp;
  if (c < 0x80) { out = c; ++i; return true; }
  if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
  else return false;
  if (i + len > s.size()) return false;
  for (int k = 1; k < len; ++k) {
    unsigned char cc = s[i + k];
    if ((cc & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  out = cp;
  i += len;
  return true;
}

bool isValidUtf8(std::string_view s) {
  char32_t c;
  for (size_t i = 0; i < s.size();)
    if (!nextCodePoint(s, i, c)) return false;
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Characters a URL string may hold as they are: unreserved, reserved and "%".
bool isURLCharacter(char c) {
  if (isAsciiAlnum(static_cast<unsigned char>(c))) return true;
  return std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr && c != '\0';
}

std::string encodeOrKeep(std::string_view text, URLCharacterSet set) {
  auto encoded = percentEncode(text, set);
  return encoded ? *encoded : std::string(text);
}

// RFC 3986 remove_dot_segments; ".." at the root stays at the root.
std::string removeDotSegments(std::string_view path) {
  std::string input(path), output;
  while (!input.empty()) {
    if (input.rfind("../", 0) == 0) input.erase(0, 3);
    else if (input.rfind("./", 0) == 0) input.erase(0, 2);
    else if (input.rfind("/./", 0) == 0) input.erase(0, 2);
    else if (input == "/.") input = "/";
    else if (input.rfind("/../", 0) == 0 || input == "/..") {
      input = input == "/.." ? "/" : input.substr(3);
      size_t slash = output.rfind('/');
      output.erase(slash == std::string::npos ? 0 : slash);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      size_t start = input[0] == '/' ? 1 : 0;
      size_t next = input.find('/', start);
      if (next == std::string::npos) next = input.size();
      output += input.substr(0, next);
      input.erase(0, next);
    }
  }
  return output;
}

bool isDirectoryOnDisk(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool urlCharacterSetContains(URLCharacterSet set, char32_t c) {
  if (set == URLCharacterSet::Alphanumeric) {
    if (c < 0x80) return isAsciiAlnum(c);
    int32_t mask = U_GET_GC_MASK(static_cast<UChar32>(c));
    return (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
  }
  if (c >= 0x80) return false;
  if (isAsciiAlnum(c)) return true;
  const char* extra = "";
  switch (set) {
    case URLCharacterSet::Path: extra = "!$&'()*+,-./:=@_~"; break;
    case URLCharacterSet::Query:
    case URLCharacterSet::Fragment: extra = "!$&'()*+,-./:;=?@_~"; break;
    case URLCharacterSet::Host: extra = "!$&'()*+,-.:;=[]_~"; break;
    case URLCharacterSet::User:
    case URLCharacterSet::Password: extra = "!$&'()*+,-.;=_~"; break;
    case URLCharacterSet::Alphanumeric: break;
  }
  return c != 0 && std::strchr(extra, static_cast<char>(c)) != nullptr;
}

std::optional<std::string> percentEncode(std::string_view text, URLCharacterSet allowed) {
  return percentEncode(text, [allowed](char32_t c) { return urlCharacterSetContains(allowed, c); });
}

std::optional<std::string> percentEncode(std::string_view text, const std::function<bool(char32_t)>& allowed) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t start = i;
    char32_t c;
    if (!nextCodePoint(text, i, c)) return std::nullopt;
    if (allowed(c)) {
      out.append(text.substr(start, i - start));
    } else {
      for (size_t k = start; k < i; ++k) {
        unsigned char b = text[k];
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
    }
  }
  return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  if (!isValidUtf8(out)) return std::nullopt;
  return out;
}

std::optional<URL> URL::parse(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (!isURLCharacter(s[i])) return std::nullopt;
    if (s[i] == '%' && (i + 2 >= s.size() || hexValue(s[i + 1]) < 0 || hexValue(s[i + 2]) < 0)) return std::nullopt;
  }
  URL url;
  std::string_view rest = s;
  // scheme ":" — only when what precedes the first ':' is a valid scheme.
  size_t colon = rest.find(':');
  size_t firstDelim = rest.find_first_of("/?#");
  if (colon != std::string_view::npos && (firstDelim == std::string_view::npos || colon < firstDelim)) {
    std::string_view scheme = rest.substr(0, colon);
    bool valid = !scheme.empty() && std::isalpha(static_cast<unsigned char>(scheme[0]));
    for (char c : scheme) valid = valid && (isAsciiAlnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
    if (!valid) return std::nullopt;
    url.scheme_ = std::string(scheme);
    rest.remove_prefix(colon + 1);
  }
  if (rest.rfind("//", 0) == 0) {
    rest.remove_prefix(2);
    size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    url.hasAuthority_ = true;
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      std::string_view userinfo = authority.substr(0, at);
      authority.remove_prefix(at + 1);
      size_t c = userinfo.find(':');
      url.user_ = std::string(userinfo.substr(0, c));
      if (c != std::string_view::npos) url.password_ = std::string(userinfo.substr(c + 1));
    }
    size_t portColon = std::string_view::npos;
    if (!authority.empty() && authority[0] == '[') {
      size_t close = authority.find(']');
      if (close == std::string_view::npos) return std::nullopt;
      if (close + 1 < authority.size()) {
        if (authority[close + 1] != ':') return std::nullopt;
        portColon = close + 1;
      }
    } else {
      portColon = authority.find(':');
    }
    url.host_ = std::string(authority.substr(0, portColon));
    if (portColon != std::string_view::npos) {
      std::string_view port = authority.substr(portColon + 1);
      if (!port.empty()) {
        if (port.size() > 5) return std::nullopt;
        int value = 0;
        for (char c : port) {
          if (c < '0' || c > '9') return std::nullopt;
          value = value * 10 + (c - '0');
        }
        if (value > 65535) return std::nullopt;
        url.port_ = value;
      }
    }
  }
  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    url.fragment_ = std::string(rest.substr(hash + 1));
    rest = rest.substr(0, hash);
  }
  size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    url.query_ = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  if (url.fragment_ && url.fragment_->find('#') != std::string::npos) return std::nullopt;
  url.path_ = std::string(rest);
  url.rebuild();
  return url;
}

void URL::rebuild() {
  std::string s;
  if (!scheme_.empty()) s += scheme_ + ":";
  if (hasAuthority_) {
    s += "//";
    if (user_) {
      s += *user_;
      if (password_) s += ":" + *password_;
      s += "@";
    }
    s += host_;
    if (port_) s += ":" + std::to_string(*port_);
  }
  s += path_;
  if (query_) s += "?" + *query_;
  if (fragment_) s += "#" + *fragment_;
  absolute_ = std::move(s);
}

std::optional<URL> URL::withString(std::string_view string) { return parse(string); }

std::optional<URL> URL::withString(std::string_view string, const URL& base) {
  auto ref = parse(string);
  if (!ref) return std::nullopt;
  if (base.isEmpty()) return ref;
  if (!ref->scheme_.empty()) {
    ref->path_ = removeDotSegments(ref->path_);
    ref->rebuild();
    return ref;
  }
  URL t = base;
  t.fragment_ = ref->fragment_;
  if (ref->hasAuthority_) {
    t.hasAuthority_ = true;
    t.user_ = ref->user_;
    t.password_ = ref->password_;
    t.host_ = ref->host_;
    t.port_ = ref->port_;
    t.path_ = removeDotSegments(ref->path_);
    t.query_ = ref->query_;
  } else if (ref->path_.empty()) {
    if (ref->query_) t.query_ = ref->query_;
  } else {
    if (ref->path_[0] == '/') {
      t.path_ = removeDotSegments(ref->path_);
    } else {
      std::string merged;
      if (base.hasAuthority_ && base.path_.empty()) {
        merged = "/" + ref->path_;
      } else {
        size_t slash = base.path_.rfind('/');
        merged = (slash == std::string::npos ? std::string() : base.path_.substr(0, slash + 1)) + ref->path_;
      }
      t.path_ = removeDotSegments(merged);
    }
    t.query_ = ref->query_;
  }
  t.rebuild();
  return t;
}

URL URL::fileURLWithPath(std::string_view path, std::optional<bool> isDirectory) {
  std::string p(path);
  if (p.empty() || p[0] != '/') {
    char buffer[4096];
    std::string cwd = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    p = cwd + p;
  }
  std::string collapsed;
  for (char c : p)
    if (!(c == '/' && !collapsed.empty() && collapsed.back() == '/')) collapsed += c;
  bool directory = isDirectory ? *isDirectory : isDirectoryOnDisk(collapsed);
  if (directory && collapsed.back() != '/') collapsed += '/';
  if (!directory && collapsed.size() > 1 && collapsed.back() == '/' && isDirectory) collapsed.pop_back();
  URL url;
  url.scheme_ = "file";
  url.hasAuthority_ = true;
  url.path_ = encodeOrKeep(collapsed, URLCharacterSet::Path);
  url.rebuild();
  return url;
}

bool URL::isFileURL() const {
  if (scheme_.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(scheme_[i])) != "file"[i]) return false;
  return true;
}

std::optional<std::string> URL::user() const {
  if (!user_) return std::nullopt;
  return percentDecode(*user_);
}
std::optional<std::string> URL::password() const {
  if (!password_) return std::nullopt;
  return percentDecode(*password_);
}
std::optional<std::string> URL::host() const {
  if (!hasAuthority_) return std::nullopt;
  if (host_.size() >= 2 && host_.front() == '[' && host_.back() == ']') return host_.substr(1, host_.size() - 2);
  return percentDecode(host_);
}

std::string URL::path() const {
  std::string p = percentDecode(path_).value_or(path_);
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string URL::resourceSpecifier() const {
  std::string s = path_.empty() ? "/" : path_;
  if (query_) s += "?" + *query_;
  return s;
}

std::vector<std::string> URL::pathComponents() const {
  std::vector<std::string> parts;
  std::string p = percentDecode(path_).value_or(path_);
  if (!p.empty() && p[0] == '/') parts.push_back("/");
  size_t i = 0;
  while (i < p.size()) {
    size_t next = p.find('/', i);
    if (next == std::string::npos) next = p.size();
    if (next > i) parts.push_back(p.substr(i, next - i));
    i = next + 1;
  }
  return parts;
}

std::string URL::lastPathComponent() const {
  auto parts = pathComponents();
  return parts.empty() ? std::string() : parts.back();
}

std::string URL::pathExtension() const {
  std::string last = lastPathComponent();
  size_t dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0 || last == "/") return {};
  return last.substr(dot + 1);
}

URL URL::withPath(std::string path) const {
  URL url = *this;
  url.path_ = std::move(path);
  url.rebuild();
  return url;
}

URL URL::appendingPathComponent(std::string_view component, std::optional<bool> isDirectory) const {
  std::string p = path_;
  if (p.empty() && hasAuthority_) p = "/";
  if (!p.empty() && p.back() != '/') p += '/';
  std::string c = encodeOrKeep(component, URLCharacterSet::Path);
  while (!c.empty() && c[0] == '/' && !p.empty() && p.back() == '/') c.erase(0, 1);
  p += c;
  bool trailing = !p.empty() && p.back() == '/';
  if (isDirectory) {
    if (*isDirectory && !trailing) p += '/';
  } else if (isFileURL() && !trailing) {
    if (isDirectoryOnDisk(percentDecode(p).value_or(p))) p += '/';
  }
  return withPath(std::move(p));
}

URL URL::appendingPathExtension(std::string_view extension) const {
  std::string p = path_;
  bool trailing = p.size() > 1 && p.back() == '/';
  if (trailing) p.pop_back();
  if (p.empty() || p == "/" || extension.empty()) return *this;
  p += "." + encodeOrKeep(extension, URLCharacterSet::Path);
  if (trailing) p += '/';
  return withPath(std::move(p));
}

URL URL::deletingLastPathComponent() const {
  std::string p = path_;
  if (p.empty()) return *this;
  if (p == "/") return *this;
  if (p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return withPath("./");
  p.erase(slash + 1);
  return withPath(std::move(p));
}

URL URL::deletingPathExtension() const {
  std::string ext = pathExtension();
  if (ext.empty()) return *this;
  std::string p = path_;
  bool trailing = p.size() > 1 && p.back() == '/';
  if (trailing) p.pop_back();
  size_t dot = p.rfind('.');
  p.erase(dot);
  if (trailing) p += '/';
  return withPath(std::move(p));
}

URL URL::standardized() const {
  if (path_.empty()) return *this;
  return withPath(removeDotSegments(path_));
}

}  // namespace ns
