#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"

namespace {
thread_local int32_t tDepth = 0;
}  // namespace

MSRPNestingGuard::MSRPNestingGuard(ns::Error& error) : entered_(tDepth < MSRPMaxNestingDepth) {
  if (entered_) {
    ++tDepth;
  } else {
    MSRPSetError(error, MSRPErrorNestingTooDeep);
  }
}

MSRPNestingGuard::~MSRPNestingGuard() {
  if (entered_) --tDepth;
}

int32_t MSRPNestingGuard::currentDepth() { return tDepth; }
