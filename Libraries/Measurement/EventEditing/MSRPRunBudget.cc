#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPHeap.h"

namespace {
bool refuse(ns::Error& error) {
  MSRPSetError(error, MSRPErrorSizeLimit);
  return false;
}

bool spendCurrent(size_t units, ns::Error& error) {
  MSRPRunBudget* budget = MSRPRunBudget::current();
  return budget == nullptr || budget->spend(units, error);
}
}  // namespace

void MSRPRunBudget::countInstruction(ns::Error& error) {
  if (instructions_ >= MSRPInstructionLimit) {
    MSRPSetError(error, MSRPErrorInstructionLimit);
    return;
  }
  ++instructions_;
}

bool MSRPRunBudget::spend(size_t units, ns::Error& error) {
  if (units > MSRPRunAllowance - spent_) return refuse(error);
  spent_ += units;
  return true;
}

MSRPRunBudget* MSRPRunBudget::current() {
  MSRPHeap* heap = MSRPHeap::current();
  return heap == nullptr ? nullptr : &heap->runBudget();
}

bool MSRPAllowString(size_t length, ns::Error& error) {
  if (length > MSRPMaxStringLength) return refuse(error);
  return spendCurrent(length, error);
}

bool MSRPAllowArray(size_t count, size_t previous, ns::Error& error) {
  if (count > MSRPMaxArrayLength) return refuse(error);
  return count <= previous || spendCurrent(count - previous, error);
}

bool MSRPAllowObjects(size_t count, ns::Error& error) { return spendCurrent(count, error); }
