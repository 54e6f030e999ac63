// printf-style formatting of the system's texts, with "%@" for objects:
//   ns::format("%@:%d | %s", error, line, name)
//
// Conversions: d i u o x X f F e E g G a A c C s S p @ %, with flags
// (- + space # 0), width and precision (numbers or *), length modifiers
// (hh h l ll q L z t j) and positions ("%1$@", "%2$d"). Widths and
// precisions of text count UTF-16 units and never split a character.
//
// Arguments are type-checked at run time, never trusted: a numeric
// conversion given text prints 0, a text conversion given a number prints
// the number, a missing argument prints 0 or "(null)", "%n" writes nothing.
// The argument's own type fixes its width, so %x of an int -1 is "ffffffff"
// and of an int64_t -1 is sixteen f's; "hh" and "h" narrow further.
//
// "%@" takes strings, numbers, ns::Value, ns::Error, anything with a
// `description()` (by reference, pointer or shared_ptr; null prints
// "(null)") and std::optional of those. Call it qualified, ns::format, so
// that std::format is never picked up by argument-dependent lookup.
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

template <class T>
concept Describable = requires(const T& t) {
  { t.description() } -> std::convertible_to<std::string>;
};

// One argument of a format, captured by value.
class FormatArg {
 public:
  enum class Kind { Missing, Signed, Unsigned, Real, Text, Null, Pointer };

  FormatArg() = default;
  template <std::integral T>
  FormatArg(T v) : bits_(sizeof(T) * 8) {
    if constexpr (std::is_signed_v<T>) {
      kind_ = Kind::Signed;
      signed_ = v;
    } else {
      kind_ = Kind::Unsigned;
      unsigned_ = v;
    }
  }
  template <class E>
    requires std::is_enum_v<E>
  FormatArg(E v) : FormatArg(static_cast<std::underlying_type_t<E>>(v)) {}
  template <std::floating_point T>
  FormatArg(T v) : kind_(Kind::Real), real_(static_cast<double>(v)) {}
  FormatArg(const char* s) : kind_(s ? Kind::Text : Kind::Null), text_(s ? s : "") {}
  FormatArg(std::string_view s) : kind_(Kind::Text), text_(s) {}
  FormatArg(const std::string& s) : kind_(Kind::Text), text_(s) {}
  FormatArg(std::u16string_view s);
  FormatArg(const std::u16string& s) : FormatArg(std::u16string_view(s)) {}
  FormatArg(const char16_t* s) : FormatArg(s ? FormatArg(std::u16string_view(s)) : FormatArg(nullptr)) {}
  FormatArg(std::nullptr_t) : kind_(Kind::Null) {}
  FormatArg(const Value& v);
  FormatArg(const Error& e) : kind_(Kind::Text), text_(e.description()) {}
  template <Describable T>
  FormatArg(const T& object) : kind_(Kind::Text), text_(object.description()) {}
  template <class T>
  FormatArg(const T* p) : kind_(p ? Kind::Pointer : Kind::Null), pointer_(reinterpret_cast<uintptr_t>(p)) {
    if constexpr (Describable<T> || std::is_same_v<T, Value> || std::is_same_v<T, Error> ||
                  std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
      if (p) text_ = FormatArg(*p).text_;
    }
  }
  template <class T>
  FormatArg(const std::shared_ptr<T>& p) : FormatArg(static_cast<const T*>(p.get())) {}
  template <class T, class D>
  FormatArg(const std::unique_ptr<T, D>& p) : FormatArg(static_cast<const T*>(p.get())) {}
  template <class T>
  FormatArg(const std::optional<T>& v) : FormatArg(v ? FormatArg(*v) : FormatArg(nullptr)) {}

  Kind kind() const { return kind_; }
  int bits() const { return bits_; }
  int64_t signedValue() const;
  uint64_t unsignedValue() const;  // two's complement at the argument's width
  double realValue() const;
  // The text "%@" and "%s" print.
  std::string text() const;

 private:
  Kind kind_ = Kind::Missing;
  int bits_ = 64;
  int64_t signed_ = 0;
  uint64_t unsigned_ = 0;
  double real_ = 0;
  uintptr_t pointer_ = 0;
  std::string text_;  // for Text, and a pointed-to object's description
};

std::string formatArgs(std::string_view format, std::span<const FormatArg> args);
// The same text written over `out`, whose storage is reused: a caller that
// formats over and over into one string allocates only when a text is
// longer than every one before.
void formatArgsInto(std::string& out, std::string_view format, std::span<const FormatArg> args);

template <class... Args>
std::string format(std::string_view fmt, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return formatArgs(fmt, {});
  } else {
    const FormatArg list[] = {FormatArg(args)...};
    return formatArgs(fmt, std::span<const FormatArg>(list, sizeof...(Args)));
  }
}

template <class... Args>
void formatInto(std::string& out, std::string_view fmt, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    formatArgsInto(out, fmt, {});
  } else {
    const FormatArg list[] = {FormatArg(args)...};
    formatArgsInto(out, fmt, std::span<const FormatArg>(list, sizeof...(Args)));
  }
}

}  // namespace ns
