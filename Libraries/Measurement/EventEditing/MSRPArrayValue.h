// An array: positions holding values, where a position without a value (a
// hole) holds the shared hole marker, which programs never see (readers
// give undefined for it), and named properties that are not indices. Its
// string joins the positions' strings with ",", a hole, undefined and null
// giving empty text; its number is that string read as a number; it is
// always true.
//
// One array holds at most MSRPMaxArrayLength positions, and what grows it
// spends the run's allowance (MSRPRunBudget.h): a growth past either fails
// with error 20 before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPFunctionValue;

class MSRPArrayValue final : public MSRPRuntimeValue, public MSRPHeapObject {
 public:
  // The hole marker: one plain value, made once.
  static const MSRPValueRef& emptyValue();

  // Empty; joins the current heap (MSRPHeap.h).
  MSRPArrayValue() = default;
  // Holds the values in order.
  explicit MSRPArrayValue(MSRPValueList elements);
  // A new array of the values, when the run may make it (error 20, null).
  static std::shared_ptr<MSRPArrayValue> make(MSRPValueList elements, ns::Error& error);
  ~MSRPArrayValue() override;

  // Positions, holes included.
  size_t count() const { return elements_.size(); }
  // Every position, holes as undefined.
  MSRPValueList allElements() const;
  // The positions' texts joined by `separator` ("" for no positions); the
  // first failing conversion gives "" and its error. Nested arrays are one
  // nesting level each (MSRPNestingGuard.h).
  std::u16string stringValueWithSeparator(const std::u16string& separator, ns::Error& error) const;
  MSRPPropertyMap& propertyMap() { return propertyMap_; }
  const MSRPPropertyMap& propertyMap() const { return propertyMap_; }
  // The positions as they are, holes as the hole marker.
  const MSRPValueList& positions() const { return elements_; }

  // Shorter drops the positions from `length` on; longer appends holes.
  bool setLength(uint64_t length, ns::Error& error);

  // Property access by key value: "length" (a string key), an index key
  // (MSRPIsArrayIndexValue) or another key, whose text names a property of
  // the property map. Reading and writing take the key's text first.
  bool hasProperty(const MSRPRuntimeValue& key, ns::Error& error) const;
  MSRPValueRef valueForProperty(const MSRPRuntimeValue& key, ns::Error& error) const;
  // "length" takes an index value (else error 11); an index past the end
  // grows the array with holes.
  void setValue(MSRPValueRef value, const MSRPRuntimeValue& key, ns::Error& error);
  // An index below the count becomes a hole; another key leaves the map.
  void removeValueForProperty(const MSRPRuntimeValue& key, ns::Error& error);
  // String values: the property map's names, then the index of every
  // position that is not a hole, ascending.
  MSRPValueList allPropertyNames() const;

  // A new array of the positions in [location, location + length), both
  // clamped into the array (holes stay holes).
  std::shared_ptr<MSRPArrayValue> subarrayWithRange(int64_t location, int64_t length, ns::Error& error) const;
  // Removes `deleteCount` positions from `start` (both clamped into the
  // array), inserts `values` there, and gives the removed positions.
  MSRPValueList spliceFrom(int64_t start, int64_t deleteCount, const MSRPValueList& values, ns::Error& error);
  // Appends an array's positions (holes included) or any other value as
  // one element; a control value is error 10.
  bool concat(const MSRPValueRef& value, ns::Error& error);
  void reverse();
  // The removed position, undefined for a hole or an empty array.
  MSRPValueRef removeFirstElement();
  MSRPValueRef removeLastElement();
  // Add the values at the end, or at the front in their order; the count.
  size_t appendElements(const MSRPValueList& values, ns::Error& error);
  size_t prependElements(const MSRPValueList& values, ns::Error& error);
  // The first position from `index` on (the last from `index` down) that
  // is strictly equal to `value`, or -1; holes never match.
  int64_t indexOfValue(const MSRPRuntimeValue& value, int64_t index, ns::Error& error) const;
  int64_t lastIndexOfValue(const MSRPRuntimeValue& value, int64_t index, ns::Error& error) const;
  // Sorts by the function (null: by text), holes last, undefined before
  // them. The sort works on a copy of the positions and writes it back when
  // it ends, so a comparator that answers at random or changes the array
  // cannot make it read outside its range; a comparator's first error stops
  // further calls and is reported at the end.
  void sortUsingFunctionValue(const std::shared_ptr<MSRPFunctionValue>& function,
                              const std::shared_ptr<MSRPScope>& scope, ns::Error& error);

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  // A function-valued property, else a method of MSRPArrayCommandEvaluator.
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // The same array, or another of as many positions, each equal to this
  // one's (two holes are equal).
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

  const MSRPHeapObject* heapObject() const override { return this; }
  void forEachReference(MSRPReferenceVisitor& visitor) const override;
  void dropReferences() override;
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

 private:
  MSRPValueList elements_;
  // Positions held alive (MSRPRunBudget.h).
  MSRPLiveCharge charge_;
  MSRPPropertyMap propertyMap_;
};
