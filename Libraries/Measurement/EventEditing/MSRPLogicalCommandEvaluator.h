// "and" ("1") and "or" ("30"), which evaluate their second argument only
// when the first does not decide, and "not" ("28"). Lazy.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPLogicalCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPLogicalCommandEvaluator();
};
