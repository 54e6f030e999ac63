#include "Platform/Foundation/Json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <vector>

namespace ns {
namespace {

// Deeper nesting is refused: values are freed and written recursively.
constexpr size_t kMaxDepth = 512;

Error readError(const std::string& debugDescription) {
  Dictionary info{{kLocalizedDescriptionKey,
                   Value("The data couldn\u2019t be read because it isn\u2019t in the correct format.")},
                  {"NSDebugDescription", Value(debugDescription)}};
  return Error(kCocoaErrorDomain, kJsonReadCorruptError, std::move(info));
}

Error writeError(const std::string& reason) {
  Dictionary info{{kLocalizedDescriptionKey, Value(reason)}, {"NSDebugDescription", Value(reason)}};
  return Error(kCocoaErrorDomain, kJsonWriteInvalidError, std::move(info));
}

// ---- reading: nlohmann's event parser builds Values directly ---------------

class ValueBuilder {
 public:
  using number_integer_t = int64_t;
  using number_unsigned_t = uint64_t;
  using number_float_t = double;
  using string_t = std::string;
  using binary_t = nlohmann::json::binary_t;

  bool null() { return add(Value()); }
  bool boolean(bool b) { return add(Value(b)); }
  bool number_integer(int64_t i) { return add(Value(i)); }
  bool number_unsigned(uint64_t u) {
    if (u <= uint64_t(std::numeric_limits<int64_t>::max())) return add(Value(int64_t(u)));
    return add(Value(u));
  }
  bool number_float(double d, const std::string&) { return add(Value(d)); }
  bool string(std::string& s) { return add(Value(std::move(s))); }
  bool binary(binary_t&) { return fail("binary values are not JSON"); }
  bool start_object(size_t) { return open(Value(Dictionary{})); }
  bool key(std::string& k) {
    stack_.back().key = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(size_t) { return open(Value(Array{})); }
  bool end_array() { return close(); }
  bool parse_error(size_t, const std::string&, const nlohmann::detail::exception& e) {
    // nlohmann's text begins with its own "[json.exception...] " tag.
    std::string what = e.what();
    if (auto end = what.find("] "); what.rfind("[json.exception", 0) == 0 && end != std::string::npos)
      what = what.substr(end + 2);
    return fail(what);
  }

  std::optional<Value> take() { return std::move(root_); }
  const std::string& failure() const { return failure_; }

 private:
  struct Frame {
    Value container;
    std::string key;
  };

  bool add(Value v) {
    if (stack_.empty()) {
      root_ = std::move(v);
      return true;
    }
    Frame& top = stack_.back();
    if (Array* a = top.container.asArray()) {
      a->push_back(std::move(v));
    } else {
      top.container.asDictionary()->set(std::move(top.key), std::move(v));
      top.key.clear();
    }
    return true;
  }
  bool open(Value container) {
    if (stack_.size() >= kMaxDepth) return fail("nesting too deep");
    stack_.push_back(Frame{std::move(container), {}});
    return true;
  }
  bool close() {
    Value done = std::move(stack_.back().container);
    stack_.pop_back();
    return add(std::move(done));
  }
  bool fail(std::string why) {
    failure_ = std::move(why);
    return false;
  }

  std::vector<Frame> stack_;
  std::optional<Value> root_;
  std::string failure_;
};

// ---- writing ---------------------------------------------------------------

bool validUtf8(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    uint8_t c = uint8_t(s[i]);
    size_t len;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      uint8_t cc = uint8_t(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

class Writer {
 public:
  explicit Writer(JsonWritingOptions options) : options_(options) {}

  bool write(const Value& v, size_t depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    switch (v.type()) {
      case Value::Type::Null: out_ += "null"; return true;
      case Value::Type::Bool: out_ += v.boolValue() ? "true" : "false"; return true;
      case Value::Type::Integer: out_ += v.stringValue(); return true;
      case Value::Type::Real: return real(v);
      case Value::Type::String: return string(*v.asString());
      case Value::Type::Data: return fail("Invalid type in JSON write (data)");
      case Value::Type::Date: return fail("Invalid type in JSON write (date)");
      case Value::Type::Array: return array(*v.asArray(), depth);
      case Value::Type::Dictionary: return dictionary(*v.asDictionary(), depth);
    }
    return fail("Invalid type in JSON write");
  }

  std::string& text() { return out_; }
  const std::string& failure() const { return failure_; }

 private:
  bool real(const Value& v) {
    double d = v.doubleValue();
    if (!std::isfinite(d)) return fail("Invalid number value (" + v.stringValue() + ") in JSON write");
    char buffer[64];
    // Shortest text that reads back to the same number; a float made as a
    // float is written as the float it was (0.1f as 0.1).
    auto result = v.numberKind() == Value::NumberKind::Float
                      ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(d))
                      : std::to_chars(buffer, buffer + sizeof buffer, d);
    std::string text(buffer, result.ptr);
    // Keep it a real when read back.
    if (text.find_first_of(".eE") == std::string::npos) text += ".0";
    out_ += text;
    return true;
  }

  bool string(const std::string& s) {
    if (!validUtf8(s)) return fail("Invalid string (not UTF-8) in JSON write");
    out_ += '"';
    for (char ch : s) {
      auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '/': out_ += options_.withoutEscapingSlashes ? "/" : "\\/"; break;
        case '\b': out_ += "\\b"; break;
        case '\f': out_ += "\\f"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out_ += "\\u00";
            out_ += hex[c >> 4];
            out_ += hex[c & 15];
          } else {
            out_ += ch;
          }
      }
    }
    out_ += '"';
    return true;
  }

  bool array(const Array& a, size_t depth) {
    if (a.empty()) {
      out_ += "[]";
      return true;
    }
    out_ += '[';
    bool first = true;
    for (const Value& item : a) {
      if (!first) out_ += ',';
      first = false;
      newline(depth + 1);
      if (!write(item, depth + 1)) return false;
    }
    newline(depth);
    out_ += ']';
    return true;
  }

  bool dictionary(const Dictionary& d, size_t depth) {
    if (d.empty()) {
      out_ += "{}";
      return true;
    }
    std::vector<const Dictionary::Entry*> entries;
    for (const auto& e : d) entries.push_back(&e);
    if (options_.sortedKeys)
      std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
    out_ += '{';
    bool first = true;
    for (const auto* e : entries) {
      if (!first) out_ += ',';
      first = false;
      newline(depth + 1);
      if (!string(e->first)) return false;
      out_ += options_.prettyPrinted ? " : " : ":";
      if (!write(e->second, depth + 1)) return false;
    }
    newline(depth);
    out_ += '}';
    return true;
  }

  void newline(size_t depth) {
    if (!options_.prettyPrinted) return;
    out_ += '\n';
    out_.append(depth * 2, ' ');
  }

  bool fail(std::string why) {
    failure_ = std::move(why);
    return false;
  }

  JsonWritingOptions options_;
  std::string out_;
  std::string failure_;
};

}  // namespace

std::optional<Value> jsonObjectFromString(std::string_view text, Error* error, JsonReadingOptions options) {
  ValueBuilder builder;
  bool ok = nlohmann::json::sax_parse(text.begin(), text.end(), &builder);
  std::optional<Value> value = ok ? builder.take() : std::nullopt;
  if (!value) {
    setError(error, readError(builder.failure().empty() ? "no value" : builder.failure()));
    return std::nullopt;
  }
  if (!options.fragmentsAllowed && !value->isArray() && !value->isDictionary()) {
    setError(error, readError("JSON text did not start with array or object and option to allow fragments not set."));
    return std::nullopt;
  }
  return value;
}

std::optional<Value> jsonObjectFromData(const Data& data, Error* error, JsonReadingOptions options) {
  return jsonObjectFromString(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error,
                              options);
}

std::optional<std::string> jsonStringFromObject(const Value& value, Error* error, JsonWritingOptions options) {
  if (!options.fragmentsAllowed && !value.isArray() && !value.isDictionary()) {
    setError(error, writeError("Invalid top-level type in JSON write"));
    return std::nullopt;
  }
  Writer writer(options);
  if (!writer.write(value, 0)) {
    setError(error, writeError(writer.failure()));
    return std::nullopt;
  }
  return std::move(writer.text());
}

std::optional<Data> dataFromJsonObject(const Value& value, Error* error, JsonWritingOptions options) {
  auto text = jsonStringFromObject(value, error, options);
  if (!text) return std::nullopt;
  return Data(text->begin(), text->end());
}

bool isValidJsonObject(const Value& value) { return jsonStringFromObject(value, nullptr).has_value(); }

}  // namespace ns
