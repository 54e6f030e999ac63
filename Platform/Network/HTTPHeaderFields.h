// The header fields of a request or a response: names match without regard
// to case, and the order in which names were first set is kept (it is the
// order they go on the wire).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

class HTTPHeaderFields {
 public:
  using Field = std::pair<std::string, std::string>;

  HTTPHeaderFields() = default;
  HTTPHeaderFields(std::initializer_list<Field> fields);

  // The value of `name` (any case), or nullopt.
  std::optional<std::string> value(std::string_view name) const;
  bool contains(std::string_view name) const { return find(name) != nullptr; }

  // Replaces the value of `name`, keeping its place (and its first spelling);
  // a new name goes last.
  void set(std::string_view name, std::string value);
  // Appends to the value of `name` after ", "; sets it when absent.
  void add(std::string_view name, std::string_view value);
  bool remove(std::string_view name);

  // Every field, in order.
  const std::vector<Field>& fields() const { return fields_; }
  size_t size() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }

  bool operator==(const HTTPHeaderFields& other) const = default;

 private:
  const Field* find(std::string_view name) const;
  Field* find(std::string_view name);
  std::vector<Field> fields_;
};

// ASCII comparison without case, as header names are compared.
bool headerNameEquals(std::string_view a, std::string_view b);

}  // namespace net
