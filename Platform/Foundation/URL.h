// A URL: a file URL or a web URL, held as its parsed parts and compared by
// value (its absolute string). Relative references are resolved against a
// base when made, so every ns::URL is absolute unless made from a relative
// string without a base. Also the percent-encoding rules of the platform's
// URL character sets.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// The platform's URL character sets: what each part of a URL may hold
// unencoded.
enum class URLCharacterSet {
  Path,          // !$&'()*+,-./0-9:=@A-Z_a-z~
  Query,         // !$&'()*+,-./0-9:;=?@A-Z_a-z~
  Fragment,      // as Query
  Host,          // !$&'()*+,-.0-9:;=A-Z[]_a-z~
  User,          // !$&'()*+,-.0-9;=A-Z_a-z~
  Password,      // as User
  Alphanumeric,  // Unicode letters, marks and digits
};

bool urlCharacterSetContains(URLCharacterSet set, char32_t c);

// Replaces every character outside `allowed` by its UTF-8 bytes in %XX form
// (upper-case hex). Absent when `text` is not valid UTF-8.
std::optional<std::string> percentEncode(std::string_view text, URLCharacterSet allowed);
std::optional<std::string> percentEncode(std::string_view text, const std::function<bool(char32_t)>& allowed);
// Decodes %XX escapes. Absent when an escape is malformed or the result is
// not valid UTF-8.
std::optional<std::string> percentDecode(std::string_view text);

class URL {
 public:
  // An empty URL (absoluteString() is ""); prefer the factories.
  URL() = default;

  // Parses `string`; absent when it is not a well-formed URL (characters a
  // URL may not hold, such as spaces or non-ASCII, or a malformed escape,
  // port or scheme).
  static std::optional<URL> withString(std::string_view string);
  // Parses `string` as a reference relative to `base` and resolves it.
  static std::optional<URL> withString(std::string_view string, const URL& base);
  // "file://" + the absolute, percent-encoded path. A relative path is taken
  // from the current directory. A directory URL ends with "/": as given by
  // `isDirectory`, else as found on disk.
  static URL fileURLWithPath(std::string_view path, std::optional<bool> isDirectory = std::nullopt);

  bool isEmpty() const { return absolute_.empty(); }
  bool isFileURL() const;
  const std::string& absoluteString() const { return absolute_; }
  std::string description() const { return absolute_; }

  const std::string& scheme() const { return scheme_; }
  // Decoded user, password and host; absent when the URL has none.
  std::optional<std::string> user() const;
  std::optional<std::string> password() const;
  std::optional<std::string> host() const;
  std::optional<int> port() const { return port_; }
  // The decoded path without a trailing "/" (except the root "/"): for a
  // file URL, the file-system path.
  std::string path() const;
  const std::string& percentEncodedPath() const { return path_; }
  // The raw (still encoded) query and fragment; absent when none.
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }
  // Path plus query, as sent in an HTTP request line ("/" when empty).
  std::string resourceSpecifier() const;

  // "/a/b/" gives "/", "a", "b".
  std::vector<std::string> pathComponents() const;
  // The last path component; "" when the path is empty.
  std::string lastPathComponent() const;
  // "gz" for "a.tar.gz"; "" for ".hidden" and names without a dot.
  std::string pathExtension() const;
  bool hasDirectoryPath() const { return !path_.empty() && path_.back() == '/'; }

  // For a file URL and no `isDirectory`, the disk says whether the result is
  // a directory (trailing "/").
  URL appendingPathComponent(std::string_view component, std::optional<bool> isDirectory = std::nullopt) const;
  URL appendingPathExtension(std::string_view extension) const;
  URL deletingLastPathComponent() const;
  URL deletingPathExtension() const;
  // Removes "." and resolves ".." segments; ".." never climbs above the root.
  URL standardized() const;

  bool operator==(const URL& other) const { return absolute_ == other.absolute_; }

 private:
  static std::optional<URL> parse(std::string_view string);
  URL withPath(std::string path) const;
  void rebuild();

  std::string scheme_;
  bool hasAuthority_ = false;
  std::optional<std::string> user_, password_;  // encoded
  std::string host_;                           // encoded
  std::optional<int> port_;
  std::string path_;  // encoded
  std::optional<std::string> query_, fragment_;
  std::string absolute_;
};

}  // namespace ns

template <>
struct std::hash<ns::URL> {
  size_t operator()(const ns::URL& url) const noexcept { return std::hash<std::string>()(url.absoluteString()); }
};
