// The outcome of one input of `Promises::any`: a value or an error.
//
// Two Maybes are equal when both hold equal values, or both hold errors
// whose ns::Error forms are equal; a value never equals an error.
#pragma once

#include <concepts>
#include <optional>
#include <utility>
#include <variant>

#include "Libraries/TelemetryFoundation/PromiseConversion.h"
#include "Libraries/TelemetryFoundation/PromiseError.h"

namespace Promises {

template <class Value>
class Maybe {
 public:
  Maybe(Value value) : storage_(std::in_place_index<0>, std::move(value)) {}
  Maybe(Error error) : storage_(std::in_place_index<1>, std::move(error)) {}

  std::optional<Value> value() const {
    if (storage_.index() == 0) return std::get<0>(storage_);
    return std::nullopt;
  }
  std::optional<Error> error() const {
    if (storage_.index() == 1) return std::get<1>(storage_);
    return std::nullopt;
  }
  // The value's object form, or the error as an ns::Error.
  PRMObject object() const {
    if (storage_.index() == 0) return toObject<Value>(std::get<0>(storage_));
    return PRMObject(std::get<1>(storage_).nsError());
  }

  bool operator==(const Maybe& other) const
    requires std::equality_comparable<Value>
  {
    if (storage_.index() != other.storage_.index()) return false;
    if (storage_.index() == 0) return std::get<0>(storage_) == std::get<0>(other.storage_);
    return std::get<1>(storage_) == std::get<1>(other.storage_);
  }

 private:
  std::variant<Value, Error> storage_;
};

// An entry of `any`'s array: an error becomes `error`, anything else the
// converted value.
template <class T>
struct Conversion<Maybe<T>> {
  static PRMObject toObject(Maybe<T> maybe) { return maybe.object(); }
  static std::optional<Maybe<T>> fromObject(const PRMObject& object) {
    if (const ns::Error* error = object.error()) return Maybe<T>(Error(*error));
    if (auto value = Conversion<T>::fromObject(object)) return Maybe<T>(std::move(*value));
    return std::nullopt;
  }
};

}  // namespace Promises
