// The small values that cross the crash reporter's boundaries.
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

// Proof that data collection was allowed when an upload started; every
// upload path takes one. Where a caller has none (collection was not
// allowed) it passes an empty optional, which is not valid.
class DVCRDataCollectionToken {
 public:
  static DVCRDataCollectionToken validToken() { return DVCRDataCollectionToken(); }
  bool isValid() const { return true; }

 private:
  DVCRDataCollectionToken() = default;
};
using DVCROptionalToken = std::optional<DVCRDataCollectionToken>;
inline bool DVCRTokenIsValid(const DVCROptionalToken& token) { return token && token->isValid(); }

// What the application chose for its unsent reports, carried as a number.
enum class DVCRReportAction : int { Send = 0, Delete = 1 };
inline ns::Value DVCRWrappedReportAction(DVCRReportAction action) { return ns::Value(static_cast<int>(action)); }
// The number's integer value.
inline int DVCRReportActionValue(const ns::Value& wrapped) { return static_cast<int>(wrapped.integerValue()); }
