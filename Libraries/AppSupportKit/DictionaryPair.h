// A mutable dictionary used as a pair: its values under "first" and
// "second". Setting nothing removes the key, so reading it then gives null.
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

namespace Pair {

inline constexpr const char* kFirstKey = "first";
inline constexpr const char* kSecondKey = "second";

inline const ns::Value* first(const ns::Dictionary& pair) { return pair.find(kFirstKey); }
inline const ns::Value* second(const ns::Dictionary& pair) { return pair.find(kSecondKey); }

inline void setFirst(ns::Dictionary& pair, std::optional<ns::Value> value) {
  if (value) pair.set(kFirstKey, std::move(*value));
  else pair.remove(kFirstKey);
}
inline void setSecond(ns::Dictionary& pair, std::optional<ns::Value> value) {
  if (value) pair.set(kSecondKey, std::move(*value));
  else pair.remove(kSecondKey);
}

}  // namespace Pair
