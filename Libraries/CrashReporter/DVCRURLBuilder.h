// Builds a request URL piece by piece: path components as they stand or
// percent-encoded, then query parameters; a parameter without a value is
// left out together with its separator.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

class DVCRURLBuilder {
 public:
  static DVCRURLBuilder URLWithBase(const std::string& base) { return DVCRURLBuilder(base); }

  // An empty component is refused (logged, nothing appended).
  void appendComponent(const std::string& component);
  void escapeAndAppendComponent(const std::string& component) { appendComponent(escapeString(component)); }
  // With the URL-query character set: a space is encoded, ":" is kept.
  static std::string escapeString(const std::string& text);
  // A null value appends nothing; a non-string value goes in as its text.
  void appendValue(const ns::Value& value, const std::string& queryParam);

  const std::string& URLString() const { return URLString_; }
  std::optional<ns::URL> URL() const { return ns::URL::withString(URLString_); }

 private:
  explicit DVCRURLBuilder(std::string base) : URLString_(std::move(base)) {}

  std::string URLString_;
  unsigned queryParams_ = 0;
};
