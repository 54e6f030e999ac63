#include "Platform/Foundation/URLComponents.h"

namespace ns {
namespace {

std::string encode(std::string_view text, URLCharacterSet set) {
  return percentEncode(text, set).value_or(std::string());
}

std::optional<std::string> decoded(const std::optional<std::string>& encoded) {
  if (!encoded) return std::nullopt;
  return percentDecode(*encoded).value_or(*encoded);
}

// An IPv6 address goes in brackets.
std::string encodeHost(std::string_view host) {
  if (host.find(':') != std::string_view::npos && host.front() != '[') return "[" + std::string(host) + "]";
  return encode(host, URLCharacterSet::Host);
}

std::string encodeQueryPart(std::string_view text) {
  return percentEncode(text, [](char32_t c) {
           return c != '&' && c != '=' && c != '+' && urlCharacterSetContains(URLCharacterSet::Query, c);
         }).value_or(std::string());
}

}  // namespace

std::optional<URLComponents> URLComponents::withString(std::string_view string) {
  auto url = URL::withString(string);
  if (!url) return std::nullopt;
  return withURL(*url);
}

URLComponents URLComponents::withURL(const URL& url) {
  URLComponents c;
  if (!url.scheme().empty()) c.scheme_ = url.scheme();
  if (auto host = url.host()) c.host_ = encodeHost(*host);
  if (auto user = url.user()) c.user_ = encode(*user, URLCharacterSet::User);
  if (auto password = url.password()) c.password_ = encode(*password, URLCharacterSet::Password);
  c.port_ = url.port();
  c.path_ = url.percentEncodedPath();
  c.query_ = url.query();
  c.fragment_ = url.fragment();
  return c;
}

std::optional<std::string> URLComponents::host() const {
  if (host_ && host_->size() >= 2 && host_->front() == '[' && host_->back() == ']')
    return host_->substr(1, host_->size() - 2);
  return decoded(host_);
}
void URLComponents::setHost(const std::optional<std::string>& host) {
  host_ = host ? std::optional<std::string>(encodeHost(*host)) : std::nullopt;
}
std::string URLComponents::path() const { return percentDecode(path_).value_or(path_); }
void URLComponents::setPath(std::string_view path) { path_ = encode(path, URLCharacterSet::Path); }
std::optional<std::string> URLComponents::query() const { return decoded(query_); }
void URLComponents::setQuery(const std::optional<std::string>& query) {
  query_ = query ? std::optional<std::string>(encode(*query, URLCharacterSet::Query)) : std::nullopt;
}
std::optional<std::string> URLComponents::fragment() const { return decoded(fragment_); }
void URLComponents::setFragment(const std::optional<std::string>& fragment) {
  fragment_ = fragment ? std::optional<std::string>(encode(*fragment, URLCharacterSet::Fragment)) : std::nullopt;
}

std::optional<std::vector<URLQueryItem>> URLComponents::queryItems() const {
  if (!query_) return std::nullopt;
  std::vector<URLQueryItem> items;
  if (query_->empty()) return items;
  size_t start = 0;
  while (start <= query_->size()) {
    size_t end = query_->find('&', start);
    if (end == std::string::npos) end = query_->size();
    std::string_view pair(query_->data() + start, end - start);
    size_t eq = pair.find('=');
    URLQueryItem item;
    std::string_view name = pair.substr(0, eq);
    item.name = percentDecode(name).value_or(std::string(name));
    if (eq != std::string_view::npos) {
      std::string_view value = pair.substr(eq + 1);
      item.value = percentDecode(value).value_or(std::string(value));
    }
    items.push_back(std::move(item));
    start = end + 1;
  }
  return items;
}

void URLComponents::setQueryItems(const std::optional<std::vector<URLQueryItem>>& items) {
  if (!items) {
    query_.reset();
    return;
  }
  std::string query;
  for (size_t i = 0; i < items->size(); ++i) {
    if (i) query += '&';
    query += encodeQueryPart((*items)[i].name);
    if ((*items)[i].value) query += "=" + encodeQueryPart(*(*items)[i].value);
  }
  query_ = std::move(query);
}

std::optional<std::string> URLComponents::string() const {
  bool authority = host_ || user_ || port_;
  if (authority && !path_.empty() && path_[0] != '/') return std::nullopt;
  if (!authority && path_.rfind("//", 0) == 0) return std::nullopt;
  std::string s;
  if (scheme_) s += *scheme_ + ":";
  if (authority) {
    s += "//";
    if (user_) {
      s += *user_;
      if (password_) s += ":" + *password_;
      s += "@";
    }
    if (host_) s += *host_;
    if (port_) s += ":" + std::to_string(*port_);
  }
  s += path_;
  if (query_) s += "?" + *query_;
  if (fragment_) s += "#" + *fragment_;
  return s;
}

std::optional<URL> URLComponents::url() const {
  auto s = string();
  if (!s) return std::nullopt;
  return URL::withString(*s);
}

}  // namespace ns
