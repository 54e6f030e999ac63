// The lifetime value of purchases: per-currency totals kept as the user
// properties "_ltv_<CURRENCY>" in the measurement database, raised by each
// purchase event the engine writes.
//
// Today no event counts as a purchase and recording always succeeds, so
// the engine's write path runs as it will once purchases are totalled.
#pragma once

#include <memory>

class MSRDatabase;
class MSREvent;

class MSRLifetimeValueRecorder {
 public:
  // Whether the event raises a lifetime value ("_iap" or an e-commerce
  // purchase). NO for now.
  static bool isPurchaseEvent(const MSREvent& event);
  // Adds the event's value to its currency's total inside the caller's
  // transaction; NO when the database refused. YES for now, storing nothing.
  static bool recordLifetimeValueToDatabase(MSRDatabase& database, const MSREvent& event);
};
