// The loops: the general loop ("42"), the loop with a copy of its
// variables per iteration ("63"), for-in ("47", "54", "55") and for-of
// ("64", "65", "66"). A body run consumes break (the loop ends) and
// continue; a return passes out of the loop; an error ends it. Lazy.
#pragma once

#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

class MSRPLoopCommandEvaluator final : public MSRPTableCommandEvaluator {
 public:
  MSRPLoopCommandEvaluator();
};
