// Builds and takes apart URLs part by part, each part given decoded and
// encoded with its own character set; query items are name/value pairs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/URL.h"

namespace ns {

struct URLQueryItem {
  std::string name;
  std::optional<std::string> value;  // absent: "name" without "="
  bool operator==(const URLQueryItem&) const = default;
};

class URLComponents {
 public:
  URLComponents() = default;
  // Absent when the string is not a URL.
  static std::optional<URLComponents> withString(std::string_view string);
  static URLComponents withURL(const URL& url);

  const std::optional<std::string>& scheme() const { return scheme_; }
  void setScheme(std::optional<std::string> scheme) { scheme_ = std::move(scheme); }
  std::optional<std::string> host() const;
  void setHost(const std::optional<std::string>& host);
  std::optional<int> port() const { return port_; }
  void setPort(std::optional<int> port) { port_ = port; }
  std::string path() const;
  void setPath(std::string_view path);
  const std::string& percentEncodedPath() const { return path_; }
  std::optional<std::string> query() const;
  void setQuery(const std::optional<std::string>& query);
  const std::optional<std::string>& percentEncodedQuery() const { return query_; }
  void setPercentEncodedQuery(std::optional<std::string> query) { query_ = std::move(query); }
  std::optional<std::string> fragment() const;
  void setFragment(const std::optional<std::string>& fragment);

  // The query split at "&" and "=", decoded; absent when there is no query.
  std::optional<std::vector<URLQueryItem>> queryItems() const;
  // Sets the query from items, in order. Besides what a query may never hold
  // unencoded, "&", "=" and "+" inside a name or value are encoded too, so
  // that a value holding them reads back as itself.
  void setQueryItems(const std::optional<std::vector<URLQueryItem>>& items);

  // The URL of these parts; absent when they make no valid URL (a host with
  // a path not starting with "/").
  std::optional<URL> url() const;
  std::optional<std::string> string() const;

 private:
  std::optional<std::string> scheme_;
  std::optional<std::string> user_, password_, host_;  // encoded
  std::optional<int> port_;
  std::string path_;  // encoded
  std::optional<std::string> query_, fragment_;
};

}  // namespace ns
