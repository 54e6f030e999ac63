#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"

void MSRPRunBudget::countInstruction(ns::Error& error) {
  if (instructions_ >= MSRPInstructionLimit) {
    MSRPSetError(error, MSRPErrorInstructionLimit);
    return;
  }
  ++instructions_;
}
