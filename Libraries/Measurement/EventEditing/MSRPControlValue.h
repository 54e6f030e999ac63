// A control value carries "break", "continue" or "return" (with its data)
// out of a statement list to the loop or call that consumes it. The break
// and continue values are shared instances, known by identity; a return is
// known by its type. As a value it has no string, number or boolean
// (errors 5, 4, 3).
#pragma once

#include <string>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPControlValue final : public MSRPRuntimeValue, public MSRPHeapObject {
 public:
  static const MSRPValueRef& breakValue();
  static const MSRPValueRef& continueValue();
  static MSRPValueRef returnValueWithData(MSRPValueRef data);

  // Null data stores undefined. Joins the current heap (MSRPHeap.h): a
  // program can store a return value in a map that it carries.
  MSRPControlValue(std::u16string type, MSRPValueRef data);
  ~MSRPControlValue() override;

  const std::u16string& type() const { return type_; }
  const MSRPValueRef& data() const { return data_; }
  bool isReturn() const { return type_ == u"return"; }

  // Another control value of the same type with equal data.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

  const MSRPHeapObject* heapObject() const override { return this; }
  void forEachReference(MSRPReferenceVisitor& visitor) const override { MSRPVisitValue(visitor, data_); }
  void dropReferences() override;
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

 private:
  struct Shared {};
  // The shared break and continue values belong to no heap.
  MSRPControlValue(Shared, std::u16string type);

  std::u16string type_;
  MSRPValueRef data_;
};
