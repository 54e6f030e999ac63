#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPHeap.h"

#include <algorithm>

namespace {
bool refuse(ns::Error& error) {
  MSRPSetError(error, MSRPErrorSizeLimit);
  return false;
}

bool spendCurrent(size_t units, ns::Error& error) {
  MSRPHeap* heap = MSRPHeap::current();
  if (heap == nullptr) return true;
  if (units > MSRPLiveSizeCap - std::min(MSRPLiveSizeCap, heap->liveSize()->units())) return refuse(error);
  return heap->runBudget().spend(units, error);
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

MSRPLiveCharge::MSRPLiveCharge() {
  if (MSRPHeap* heap = MSRPHeap::current()) live_ = heap->liveSize();
}

MSRPLiveCharge::MSRPLiveCharge(const MSRPLiveCharge& other) : live_(other.live_) { set(other.units_); }

MSRPLiveCharge& MSRPLiveCharge::operator=(const MSRPLiveCharge& other) {
  if (this != &other) {
    size_t units = other.units_;
    set(0);
    live_ = other.live_;
    set(units);
  }
  return *this;
}
