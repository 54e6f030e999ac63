#include "Platform/Foundation/Value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ns {

// ---- Dictionary ------------------------------------------------------------

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  for (const auto& e : entries) set(e.first, e.second);
}
Dictionary::Dictionary(const Dictionary& other) : entries_(other.entries_), index_(other.index_) {}
Dictionary& Dictionary::operator=(const Dictionary& other) {
  if (this != &other) {
    entries_ = other.entries_;
    index_ = other.index_;
  }
  return *this;
}
Dictionary::~Dictionary() = default;

std::optional<size_t> Dictionary::position(std::string_view key) const {
  if (index_.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].first == key) return i;
    }
    return std::nullopt;
  }
  auto it = index_.find(key);
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

const Value* Dictionary::find(std::string_view key) const {
  auto i = position(key);
  return i ? &entries_[*i].second : nullptr;
}

Value* Dictionary::find(std::string_view key) {
  auto i = position(key);
  return i ? &entries_[*i].second : nullptr;
}

void Dictionary::set(std::string key, Value value) {
  if (auto i = position(key)) {
    entries_[*i].second = std::move(value);
    return;
  }
  if (!index_.empty()) index_.emplace(key, entries_.size());
  entries_.emplace_back(std::move(key), std::move(value));
  if (index_.empty() && entries_.size() > kIndexedSize) reindex();
}

bool Dictionary::remove(std::string_view key) {
  auto i = position(key);
  if (!i) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*i));
  reindex();
  return true;
}

void Dictionary::clear() {
  entries_.clear();
  index_.clear();
}

Value& Dictionary::operator[](std::string_view key) {
  if (Value* v = find(key)) return *v;
  set(std::string(key), Value());
  return entries_.back().second;
}

std::vector<std::string> Dictionary::keys() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.first);
  return out;
}

bool Dictionary::operator==(const Dictionary& other) const {
  if (size() != other.size()) return false;
  for (const auto& [k, v] : entries_) {
    const Value* o = other.find(k);
    if (!o || !(*o == v)) return false;
  }
  return true;
}

void Dictionary::reindex() {
  index_.clear();
  if (entries_.size() <= kIndexedSize) return;
  index_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
}

// ---- string-to-number rules ------------------------------------------------

namespace {

size_t skipSpace(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}

}  // namespace

int64_t integerValueOfString(std::string_view s) {
  size_t i = skipSpace(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Saturate rather than wrap, as the platform does.
  uint64_t magnitude = 0;
  bool overflow = false;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
    unsigned digit = unsigned(s[i] - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      overflow = true;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  if (negative) {
    if (overflow || magnitude > uint64_t(std::numeric_limits<int64_t>::max()) + 1)
      return std::numeric_limits<int64_t>::min();
    return magnitude == uint64_t(std::numeric_limits<int64_t>::max()) + 1 ? std::numeric_limits<int64_t>::min()
                                                                           : -int64_t(magnitude);
  }
  if (overflow || magnitude > uint64_t(std::numeric_limits<int64_t>::max()))
    return std::numeric_limits<int64_t>::max();
  return int64_t(magnitude);
}

double doubleValueOfString(std::string_view s) {
  size_t i = skipSpace(s);
  std::string rest(s.substr(i));
  if (rest.empty()) return 0;
  // strtod reads the longest valid prefix, and 0 when there is none.
  const char* begin = rest.c_str();
  char* end = nullptr;
  double d = std::strtod(begin, &end);
  if (end == begin) return 0;
  return d;
}

bool boolValueOfString(std::string_view s) {
  size_t i = skipSpace(s);
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && s[i] == '0') ++i;
  if (i >= s.size()) return false;
  char c = s[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// ---- Value -----------------------------------------------------------------

Value::Value(unsigned long u) : Value(static_cast<unsigned long long>(u)) {}
Value::Value(unsigned long long u) : storage_(static_cast<int64_t>(u)), isUnsigned_(true) {}

Value::Value(const Value& other) : isFloat_(other.isFloat_), isUnsigned_(other.isUnsigned_) {
  switch (other.type()) {
    case Type::Array:
      storage_ = std::make_unique<Array>(*other.asArray());
      break;
    case Type::Dictionary:
      storage_ = std::make_unique<Dictionary>(*other.asDictionary());
      break;
    case Type::Null: storage_ = Null{}; break;
    case Type::Bool: storage_ = std::get<bool>(other.storage_); break;
    case Type::Integer: storage_ = std::get<int64_t>(other.storage_); break;
    case Type::Real: storage_ = std::get<double>(other.storage_); break;
    case Type::String: storage_ = std::get<std::string>(other.storage_); break;
    case Type::Data: storage_ = std::get<ns::Data>(other.storage_); break;
    case Type::Date: storage_ = std::get<Date>(other.storage_); break;
  }
}

Value& Value::operator=(const Value& other) {
  if (this != &other) {
    Value copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Value::~Value() = default;

Value::NumberKind Value::numberKind() const {
  switch (type()) {
    case Type::Bool: return NumberKind::Bool;
    case Type::Integer: return isUnsigned_ ? NumberKind::UInt : NumberKind::Int;
    case Type::Real: return isFloat_ ? NumberKind::Float : NumberKind::Double;
    default: return NumberKind::None;
  }
}

const Array* Value::asArray() const {
  auto p = std::get_if<std::unique_ptr<Array>>(&storage_);
  return p ? p->get() : nullptr;
}
Array* Value::asArray() {
  auto p = std::get_if<std::unique_ptr<Array>>(&storage_);
  return p ? p->get() : nullptr;
}
const Dictionary* Value::asDictionary() const {
  auto p = std::get_if<std::unique_ptr<Dictionary>>(&storage_);
  return p ? p->get() : nullptr;
}
Dictionary* Value::asDictionary() {
  auto p = std::get_if<std::unique_ptr<Dictionary>>(&storage_);
  return p ? p->get() : nullptr;
}

bool Value::boolValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(storage_);
    case Type::Integer: return std::get<int64_t>(storage_) != 0;
    case Type::Real: return std::get<double>(storage_) != 0;
    case Type::String: return boolValueOfString(std::get<std::string>(storage_));
    default: return false;
  }
}

int64_t Value::integerValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(storage_) ? 1 : 0;
    case Type::Integer: return std::get<int64_t>(storage_);
    case Type::Real: {
      double d = std::get<double>(storage_);
      if (std::isnan(d)) return 0;
      if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
      if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
      return static_cast<int64_t>(d);
    }
    case Type::String: return integerValueOfString(std::get<std::string>(storage_));
    default: return 0;
  }
}

uint64_t Value::unsignedValue() const {
  if (type() == Type::Integer) return static_cast<uint64_t>(std::get<int64_t>(storage_));
  return static_cast<uint64_t>(integerValue());
}

double Value::doubleValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(storage_) ? 1 : 0;
    case Type::Integer:
      return isUnsigned_ ? double(uint64_t(std::get<int64_t>(storage_))) : double(std::get<int64_t>(storage_));
    case Type::Real: return std::get<double>(storage_);
    case Type::String: return doubleValueOfString(std::get<std::string>(storage_));
    default: return 0;
  }
}

namespace {

std::string formatReal(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  // Prefer the shortest text that reads back to the same double.
  for (int precision = 1; precision <= 17; ++precision) {
    char shorter[40];
    std::snprintf(shorter, sizeof shorter, "%.*g", precision, d);
    if (std::strtod(shorter, nullptr) == d) return shorter;
  }
  return buf;
}

}  // namespace

std::string Value::stringValue() const {
  switch (type()) {
    case Type::String: return std::get<std::string>(storage_);
    case Type::Bool: return std::get<bool>(storage_) ? "1" : "0";
    case Type::Integer:
      return isUnsigned_ ? std::to_string(uint64_t(std::get<int64_t>(storage_)))
                         : std::to_string(std::get<int64_t>(storage_));
    case Type::Real: return formatReal(std::get<double>(storage_));
    default: return {};
  }
}

const Value* Value::find(std::string_view key) const {
  const Dictionary* d = asDictionary();
  return d ? d->find(key) : nullptr;
}

bool Value::operator==(const Value& other) const {
  if (isNumber() && other.isNumber()) {
    if (isReal() || other.isReal()) return doubleValue() == other.doubleValue();
    if (isUnsigned_ != other.isUnsigned_) {
      // Differ only when one side is out of the other's range.
      int64_t a = std::holds_alternative<bool>(storage_) ? integerValue() : std::get<int64_t>(storage_);
      int64_t b = std::holds_alternative<bool>(other.storage_) ? other.integerValue()
                                                                : std::get<int64_t>(other.storage_);
      if (a != b) return false;
      return a >= 0;
    }
    return integerValue() == other.integerValue();
  }
  if (type() != other.type()) return false;
  switch (type()) {
    case Type::Null: return true;
    case Type::String: return *asString() == *other.asString();
    case Type::Data: return *asData() == *other.asData();
    case Type::Date: return *asDate() == *other.asDate();
    case Type::Array: return *asArray() == *other.asArray();
    case Type::Dictionary: return *asDictionary() == *other.asDictionary();
    default: return false;
  }
}

std::string Value::description() const {
  switch (type()) {
    case Type::Null: return "<null>";
    case Type::Bool:
    case Type::Integer:
    case Type::Real:
    case Type::String: return stringValue();
    case Type::Data: {
      static const char* hex = "0123456789abcdef";
      std::string out = "{length = " + std::to_string(asData()->size()) + ", bytes = 0x";
      size_t n = 0;
      for (uint8_t b : *asData()) {
        if (n++ == 32) {
          out += "...";
          break;
        }
        out += hex[b >> 4];
        out += hex[b & 15];
      }
      return out + "}";
    }
    case Type::Date: return asDate()->description();
    case Type::Array: {
      std::string out = "(";
      bool first = true;
      for (const auto& v : *asArray()) {
        out += first ? "" : ", ";
        out += v.description();
        first = false;
      }
      return out + ")";
    }
    case Type::Dictionary: {
      std::string out = "{";
      bool first = true;
      for (const auto& [k, v] : *asDictionary()) {
        out += first ? "" : "; ";
        out += k + " = " + v.description();
        first = false;
      }
      return out + "}";
    }
  }
  return {};
}

}  // namespace ns
