// Blocks, statement arrays, conditionals, switch, break, continue, return,
// sequences, function definitions and method calls. Lazy: each command
// evaluates its arguments itself, in its own order; bodies are arrays of
// statements (normally quoted with "46") run as statement lists.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPControlCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPControlCommandEvaluator();
};
