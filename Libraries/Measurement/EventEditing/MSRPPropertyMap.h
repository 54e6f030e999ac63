// The names and values behind maps, functions, arrays and scopes, in the
// order the names were first stored. A name can be fixed (a constant) and
// the whole map frozen; writes and removals that meet either are ignored
// without an error, as programs expect of constants.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPPropertyMap {
 public:
  MSRPPropertyMap() = default;
  ~MSRPPropertyMap();
  MSRPPropertyMap(const MSRPPropertyMap&) = delete;
  MSRPPropertyMap& operator=(const MSRPPropertyMap&) = delete;

  bool hasName(const std::u16string& name) const;
  // Stores unless the map is frozen or the name fixed. Null stores undefined.
  void setValue(MSRPValueRef value, const std::u16string& name);
  // The same, and fixes the name.
  void setImmutableValue(MSRPValueRef value, const std::u16string& name);
  // The stored value, or undefined.
  MSRPValueRef valueForName(const std::u16string& name) const;
  // The stored value, or null when the name is absent.
  const MSRPValueRef* find(const std::u16string& name) const;
  // Removes unless the map is frozen or the name fixed.
  void removeValueForName(const std::u16string& name);
  void makeImmutable() { immutable_ = true; }
  bool isImmutable() const { return immutable_; }
  std::vector<std::u16string> allNames() const;
  size_t count() const { return entries_.size(); }

  // For the heap object that holds the map (MSRPHeap.h).
  void forEachReference(MSRPReferenceVisitor& visitor) const;
  void dropReferences();

 private:
  struct Entry {
    std::u16string name;
    MSRPValueRef value;
    bool fixed = false;
  };
  // A small map is searched in order; a larger one keeps an index.
  static constexpr size_t kIndexedSize = 8;
  const Entry* entry(const std::u16string& name) const;
  Entry* entry(const std::u16string& name);
  void store(MSRPValueRef value, const std::u16string& name, bool fix);
  void reindex();
  // An entry holds its name besides its value.
  static size_t entryUnits(const std::u16string& name) { return 1 + name.size(); }

  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, size_t> index_;
  bool immutable_ = false;
  MSRPLiveCharge charge_;
};
