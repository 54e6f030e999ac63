// An array: positions holding values, where a position without a value (a
// hole) holds the shared hole marker, which programs never see (readers
// give undefined for it), and named properties that are not indices. Its
// string joins the positions' strings with ",", a hole, undefined and null
// giving empty text; its number is that string read as a number; it is
// always true.
#pragma once

#include <cstddef>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPArrayValue final : public MSRPRuntimeValue, public MSRPHeapObject {
 public:
  // The hole marker: one plain value, made once.
  static const MSRPValueRef& emptyValue();

  // Empty; joins the current heap (MSRPHeap.h).
  MSRPArrayValue() = default;
  // Holds the values in order.
  explicit MSRPArrayValue(MSRPValueList elements);
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

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  // The same array, or another of as many positions, each equal to this
  // one's (two holes are equal).
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

  const MSRPHeapObject* heapObject() const override { return this; }
  void forEachReference(MSRPReferenceVisitor& visitor) const override;
  void dropReferences() override;
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

 private:
  MSRPValueList elements_;
  MSRPPropertyMap propertyMap_;
};
