// What a promise resolves with, and what its callbacks take and return.
//
// Every rule of the promise library turns on which of five kinds a result
// is, so the kinds are explicit:
//
//   null     nothing: a promise may be fulfilled with nothing
//   value    a plain ns::Value; an ns::Null inside it is the null *object*
//            that arrays hold in place of nothing ("<null>"), not null
//   object   any shared object of a C++ type, kept with its type; an array
//            of results (PRMArray) is one
//   error    an ns::Error: returned from a callback it rejects
//   promise  another promise: returned from a callback it is followed
//
// A PRMObject is immutable and cheap to copy: copies share what they hold.
//
//   PRMObject(42), PRMObject("text"), PRMObject(ns::Null{})   values
//   PRMObject(), PRMObject(nullptr)                           null
//   PRMObject(std::make_shared<Record>(...))                  an object
//   PRMObject(ns::Error(domain, code))                        an error
//   PRMObject(PRMPromise::pendingPromise())                   a promise
#pragma once

#include <concepts>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Value.h"

class PRMPromise;
class PRMObject;

// An array of results: what `all`, `any` and the two-object adapters
// fulfil with, in input order.
using PRMArray = std::vector<PRMObject>;

class PRMObject {
 public:
  enum class Kind { Null, Value, Object, Error, Promise };

  PRMObject() = default;
  PRMObject(std::nullptr_t) {}
  PRMObject(ns::Value value);
  // Anything an ns::Value is made from (numbers, text, ns::Null, arrays...).
  template <class T>
    requires(std::constructible_from<ns::Value, T &&> && !std::same_as<std::decay_t<T>, std::nullptr_t> &&
             !std::same_as<std::decay_t<T>, ns::Value> && !std::same_as<std::decay_t<T>, PRMObject>)
  PRMObject(T&& value) : PRMObject(ns::Value(std::forward<T>(value))) {}
  PRMObject(ns::Error error);
  // A shared object; a promise becomes the promise kind, a null pointer null.
  template <class T>
  PRMObject(std::shared_ptr<T> object);

  // An array of results.
  static PRMObject array(PRMArray items);

  Kind kind() const { return static_cast<Kind>(storage_.index()); }
  bool isNull() const { return kind() == Kind::Null; }
  bool isValue() const { return kind() == Kind::Value; }
  bool isObject() const { return kind() == Kind::Object; }
  bool isError() const { return kind() == Kind::Error; }
  bool isPromise() const { return kind() == Kind::Promise; }

  // Each is null when the result is of another kind.
  const ns::Value* value() const;
  const ns::Error* error() const;
  std::shared_ptr<PRMPromise> promise() const;
  // The object when it was made from a std::shared_ptr<T> of exactly T.
  template <class T>
  std::shared_ptr<T> object() const;
  const PRMArray* array() const;
  // The object's C++ type (null for the other kinds).
  const std::type_info* objectType() const;

  // The description "%@" prints: "(null)" for null; a value's, an error's or
  // a promise's own; an object's description() when it has one, else
  // "<Type: 0x...>"; an array as "(a, b)".
  std::string description() const;

  // Values and errors by contents, arrays element by element, other
  // objects and promises by identity.
  bool operator==(const PRMObject& other) const;

 private:
  struct Object {
    std::shared_ptr<void> pointer;
    const std::type_info* type;
    std::string (*describe)(const void*);
  };
  template <class T>
  static std::string describe(const void* object);
  static std::string describeByType(const std::type_info& type, const void* object);

  std::variant<std::monostate, std::shared_ptr<const ns::Value>, Object, std::shared_ptr<const ns::Error>,
               std::shared_ptr<PRMPromise>>
      storage_;
};

// The demangled name of a C++ type ("Record", "ns::Value"); the mangled
// name when demangling fails.
std::string PRMDemangledName(const std::type_info& type);

template <class T>
PRMObject::PRMObject(std::shared_ptr<T> object) {
  if (!object) return;
  if constexpr (std::is_base_of_v<PRMPromise, T>) {
    storage_ = std::shared_ptr<PRMPromise>(std::move(object));
  } else {
    using Plain = std::remove_cv_t<T>;
    storage_ = Object{std::const_pointer_cast<Plain>(std::move(object)), &typeid(Plain), &describe<Plain>};
  }
}

template <class T>
std::shared_ptr<T> PRMObject::object() const {
  using Plain = std::remove_cv_t<T>;
  const auto* box = std::get_if<Object>(&storage_);
  if (!box || *box->type != typeid(Plain)) return nullptr;
  return std::static_pointer_cast<Plain>(box->pointer);
}

template <class T>
std::string PRMObject::describe(const void* object) {
  if constexpr (ns::Describable<T>) {
    return static_cast<const T*>(object)->description();
  } else {
    return describeByType(typeid(T), object);
  }
}
