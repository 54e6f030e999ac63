#include "Platform/Network/HTTPHeaderFields.h"

#include <algorithm>

namespace net {

bool headerNameEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

HTTPHeaderFields::HTTPHeaderFields(std::initializer_list<Field> fields) {
  for (const auto& [name, value] : fields) set(name, value);
}

const HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) const {
  for (const auto& field : fields_) {
    if (headerNameEquals(field.first, name)) return &field;
  }
  return nullptr;
}

HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) {
  return const_cast<Field*>(static_cast<const HTTPHeaderFields*>(this)->find(name));
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
  const Field* field = find(name);
  if (!field) return std::nullopt;
  return field->second;
}

void HTTPHeaderFields::set(std::string_view name, std::string value) {
  if (Field* field = find(name)) {
    field->second = std::move(value);
  } else {
    fields_.emplace_back(std::string(name), std::move(value));
  }
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value) {
  if (Field* field = find(name)) {
    field->second.append(", ").append(value);
  } else {
    fields_.emplace_back(std::string(name), std::string(value));
  }
}

bool HTTPHeaderFields::remove(std::string_view name) {
  auto it = std::find_if(fields_.begin(), fields_.end(),
                         [&](const Field& field) { return headerNameEquals(field.first, name); });
  if (it == fields_.end()) return false;
  fields_.erase(it);
  return true;
}

}  // namespace net
