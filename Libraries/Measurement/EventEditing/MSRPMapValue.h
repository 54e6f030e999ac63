// A map (a program's object): named properties in the order first stored.
// "[object Object]", NaN, YES. Its methods are its function-valued
// properties, then "hasOwnProperty" and "toString" (MSRPPropertyMethods.h).
#pragma once

#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPMapValue : public MSRPRuntimeValue, public MSRPHeapObject {
 public:
  // Empty; joins the current heap (MSRPHeap.h).
  MSRPMapValue() = default;

  bool hasProperty(const std::u16string& name) const { return propertyMap_.hasName(name); }
  void setValue(MSRPValueRef value, const std::u16string& property) { propertyMap_.setValue(std::move(value), property); }
  MSRPValueRef valueForProperty(const std::u16string& name) const { return propertyMap_.valueForName(name); }
  void removeValueForProperty(const std::u16string& name) { propertyMap_.removeValueForName(name); }
  std::vector<std::u16string> allPropertyNames() const { return propertyMap_.allNames(); }
  MSRPPropertyMap& propertyMap() { return propertyMap_; }
  const MSRPPropertyMap& propertyMap() const { return propertyMap_; }

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // The same map, or another map of as many names, each of which it holds
  // with an equal value.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

  const MSRPHeapObject* heapObject() const override { return this; }
  void forEachReference(MSRPReferenceVisitor& visitor) const override { propertyMap_.forEachReference(visitor); }
  void dropReferences() override { propertyMap_.dropReferences(); }
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

 private:
  MSRPPropertyMap propertyMap_;
};
