// How typed promises store their values in the object promise underneath.
//
// Conversion<T>::toObject(value) gives the object form of a value;
// Conversion<T>::fromObject(object) gives the value back, or nothing when
// the object does not convert to T. The rules:
//
//   bool, integers, reals          number values (that remember their kind)
//   std::string, ns::Array, ns::Dictionary, ns::Data, ns::Date
//                                  the matching ns::Value
//   ns::Value                      itself; null reads as the null object
//   ns::Null                       the null object; null reads as it too
//   ns::Error                      the error (so it rejects when fulfilled)
//   std::optional<T>               null when absent; null and the null object
//                                  read as absent unless T takes them
//   std::vector<T>, std::tuple<...> a PRMArray (an ns::Value array reads too)
//   std::shared_ptr<T>             the object itself; null when empty
//   PRMObject                      itself
//   any other type                 a shared copy of the value
//
// typeName<T>() is the type's short name for descriptions ("Int" for
// int64_t, "String", "Double"...), the unqualified name of other types.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMObject.h"

namespace Promises {

template <class T, class Enable = void>
struct Conversion {
  static PRMObject toObject(T value) { return PRMObject(std::make_shared<T>(std::move(value))); }
  static std::optional<T> fromObject(const PRMObject& object) {
    if (auto held = object.object<T>()) return *held;
    return std::nullopt;
  }
};

template <>
struct Conversion<PRMObject> {
  static PRMObject toObject(PRMObject value) { return value; }
  static std::optional<PRMObject> fromObject(const PRMObject& object) { return object; }
};

template <class T>
struct Conversion<T, std::enable_if_t<std::is_arithmetic_v<T>>> {
  static PRMObject toObject(T value) {
    if constexpr (std::is_same_v<T, bool>) {
      return PRMObject(ns::Value(value));
    } else if constexpr (std::is_floating_point_v<T>) {
      return PRMObject(ns::Value(static_cast<double>(value)));
    } else if constexpr (std::is_signed_v<T>) {
      return PRMObject(ns::Value(static_cast<int64_t>(value)));
    } else {
      return PRMObject(ns::Value(static_cast<uint64_t>(value)));
    }
  }
  static std::optional<T> fromObject(const PRMObject& object) {
    const ns::Value* value = object.value();
    if (!value || !value->isNumber()) return std::nullopt;
    if constexpr (std::is_same_v<T, bool>) {
      return value->boolValue();
    } else if constexpr (std::is_floating_point_v<T>) {
      return static_cast<T>(value->doubleValue());
    } else if constexpr (std::is_signed_v<T>) {
      return static_cast<T>(value->integerValue());
    } else {
      return static_cast<T>(value->unsignedValue());
    }
  }
};

// The ns::Value kinds with a C++ type of their own.
template <class T>
inline constexpr bool kIsValueKind = std::is_same_v<T, std::string> || std::is_same_v<T, ns::Array> ||
                                     std::is_same_v<T, ns::Dictionary> || std::is_same_v<T, ns::Data> ||
                                     std::is_same_v<T, ns::Date>;

template <class T>
struct Conversion<T, std::enable_if_t<kIsValueKind<T>>> {
  static PRMObject toObject(T value) { return PRMObject(ns::Value(std::move(value))); }
  static std::optional<T> fromObject(const PRMObject& object) {
    const ns::Value* value = object.value();
    if (!value) return std::nullopt;
    if constexpr (std::is_same_v<T, std::string>) {
      if (auto* s = value->asString()) return *s;
    } else if constexpr (std::is_same_v<T, ns::Array>) {
      if (auto* a = value->asArray()) return *a;
    } else if constexpr (std::is_same_v<T, ns::Dictionary>) {
      if (auto* d = value->asDictionary()) return *d;
    } else if constexpr (std::is_same_v<T, ns::Data>) {
      if (auto* d = value->asData()) return *d;
    } else {
      if (auto* d = value->asDate()) return *d;
    }
    return std::nullopt;
  }
};

template <>
struct Conversion<ns::Value> {
  static PRMObject toObject(ns::Value value) { return PRMObject(std::move(value)); }
  static std::optional<ns::Value> fromObject(const PRMObject& object) {
    if (object.isNull()) return ns::Value(ns::Null{});
    if (const ns::Value* value = object.value()) return *value;
    return std::nullopt;
  }
};

template <>
struct Conversion<ns::Null> {
  static PRMObject toObject(ns::Null) { return PRMObject(ns::Null{}); }
  static std::optional<ns::Null> fromObject(const PRMObject& object) {
    if (object.isNull() || (object.value() && object.value()->isNull())) return ns::Null{};
    return std::nullopt;
  }
};

template <>
struct Conversion<ns::Error> {
  static PRMObject toObject(ns::Error error) { return PRMObject(std::move(error)); }
  static std::optional<ns::Error> fromObject(const PRMObject& object) {
    if (const ns::Error* error = object.error()) return *error;
    return std::nullopt;
  }
};

template <class T>
struct Conversion<std::shared_ptr<T>> {
  static PRMObject toObject(std::shared_ptr<T> object) { return PRMObject(std::move(object)); }
  static std::optional<std::shared_ptr<T>> fromObject(const PRMObject& object) {
    if (object.isNull()) return std::shared_ptr<T>();
    if (auto held = object.object<T>()) return held;
    return std::nullopt;
  }
};

template <class T>
struct Conversion<std::optional<T>> {
  static PRMObject toObject(std::optional<T> value) {
    return value ? Conversion<T>::toObject(std::move(*value)) : PRMObject();
  }
  static std::optional<std::optional<T>> fromObject(const PRMObject& object) {
    if (!object.isNull()) {
      if (auto value = Conversion<T>::fromObject(object)) return std::optional<T>(std::move(*value));
    }
    if (object.isNull() || (object.value() && object.value()->isNull())) return std::optional<T>();
    return std::nullopt;
  }
};

// The entries of an array result: a PRMArray's, or an array value's.
std::optional<PRMArray> arrayEntries(const PRMObject& object);

template <class T>
struct Conversion<std::vector<T>> {
  static PRMObject toObject(std::vector<T> values) {
    PRMArray items;
    items.reserve(values.size());
    for (auto& value : values) items.push_back(Conversion<T>::toObject(std::move(value)));
    return PRMObject::array(std::move(items));
  }
  static std::optional<std::vector<T>> fromObject(const PRMObject& object) {
    auto entries = arrayEntries(object);
    if (!entries) return std::nullopt;
    std::vector<T> values;
    values.reserve(entries->size());
    for (const auto& entry : *entries) {
      auto value = Conversion<T>::fromObject(entry);
      if (!value) return std::nullopt;
      values.push_back(std::move(*value));
    }
    return values;
  }
};

template <class... T>
struct Conversion<std::tuple<T...>> {
  static PRMObject toObject(std::tuple<T...> values) {
    return std::apply(
        [](auto&... value) { return PRMObject::array(PRMArray{Conversion<T>::toObject(std::move(value))...}); },
        values);
  }
  static std::optional<std::tuple<T...>> fromObject(const PRMObject& object) {
    auto entries = arrayEntries(object);
    if (!entries || entries->size() != sizeof...(T)) return std::nullopt;
    return convert(*entries, std::index_sequence_for<T...>{});
  }

 private:
  template <size_t... I>
  static std::optional<std::tuple<T...>> convert(const PRMArray& entries, std::index_sequence<I...>) {
    std::tuple<std::optional<T>...> parts{Conversion<T>::fromObject(entries[I])...};
    if (!(std::get<I>(parts).has_value() && ...)) return std::nullopt;
    return std::tuple<T...>{std::move(*std::get<I>(parts))...};
  }
};

// A demangled name without its namespaces and enclosing classes
// ("Point" for "app::(anonymous namespace)::Point"); template arguments
// stay as they are.
std::string unqualifiedName(const std::string& name);

// Short names of the common types; the unqualified name of others.
template <class T>
std::string typeName() {
  if constexpr (std::is_void_v<T>) return "()";
  else if constexpr (std::is_same_v<T, bool>) return "Bool";
  else if constexpr (std::is_integral_v<T> && std::is_signed_v<T> && sizeof(T) == 8) return "Int";
  else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) return "Int" + std::to_string(8 * sizeof(T));
  else if constexpr (std::is_integral_v<T> && sizeof(T) == 8) return "UInt";
  else if constexpr (std::is_integral_v<T>) return "UInt" + std::to_string(8 * sizeof(T));
  else if constexpr (std::is_same_v<T, double>) return "Double";
  else if constexpr (std::is_same_v<T, float>) return "Float";
  else if constexpr (std::is_same_v<T, std::string>) return "String";
  else return unqualifiedName(PRMDemangledName(typeid(T)));
}

// What an object holds, for messages: "null", "Integer", "String", a C++
// type's name, "ns::Error", "PRMPromise".
std::string objectTypeName(const PRMObject& object);

// A typed promise met an object of another type: a programming error that
// stops the process, naming both types.
[[noreturn]] void conversionFailure(const PRMObject& object, const std::string& valueType);

// The value of `object` as a T, or a stop.
template <class T>
T fromObjectOrStop(const PRMObject& object) {
  auto value = Conversion<T>::fromObject(object);
  if (!value) conversionFailure(object, typeName<T>());
  return std::move(*value);
}

template <class T>
PRMObject toObject(T value) {
  return Conversion<T>::toObject(std::move(value));
}

}  // namespace Promises
