// Arithmetic: "0" adds numbers or joins texts (when either operand is a
// string or an object), "37", "26", "10", "25" (fmod) and "27" on numbers,
// and the identities "34", "35", "32", "33". Eager.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPMathCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPMathCommandEvaluator();
};
