// The classes keyed archives can decode, by archived class name.
//
// Code that defines a coding class registers it once (at start-up or from a
// function-local static) with a decode function; the unarchiver looks the
// name up and checks the class and its superclasses against the allowed
// classes of a secure decode. The built-in classes (strings, numbers, data,
// dates, null, arrays, dictionaries) are known without registering.
// Safe to use from any thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/Foundation/KeyedArchiveCoding.h"

namespace ns {

class KeyedUnarchiver;

struct KeyedArchiveClass {
  // Reads an object from the unarchiver's current object. Returns null when
  // the object cannot be made (the archive then yields nil; a decode
  // function reports why through KeyedUnarchiver::failWithError).
  using Decode = std::function<std::shared_ptr<Coding>(KeyedUnarchiver&)>;

  std::string name;
  std::vector<std::string> superclassNames = {"NSObject"};  // nearest first
  Decode decode;
  bool supportsSecureCoding = true;
};

class KeyedArchiveRegistry {
 public:
  static KeyedArchiveRegistry& shared();

  // Adds or replaces the class under its name.
  void registerClass(KeyedArchiveClass cls);
  std::optional<KeyedArchiveClass> find(const std::string& name) const;

  // The class itself and its superclasses, nearest first: the registered
  // ones', the built-in ones', or just the name for an unknown class.
  std::vector<std::string> lineage(const std::string& name) const;
  // Whether `name` is one of `allowed` or derives from one of them.
  bool isAllowed(const std::string& name, const std::vector<std::string>& allowed) const;

 private:
  mutable std::shared_mutex mutex_;
  std::unordered_map<std::string, KeyedArchiveClass> classes_;
};

}  // namespace ns
