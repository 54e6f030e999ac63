// The bitwise commands ("56" to "62"): both operands as numbers through
// MSRPToInt32, the result a signed 32-bit number, but for the unsigned
// shift ("61"), whose result is in 0 to 4294967295. Eager.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPBitwiseCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPBitwiseCommandEvaluator();
};
