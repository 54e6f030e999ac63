// The lifetime value of purchases: per-currency totals kept as the user
// properties "_ltv_<CURRENCY>" (origin "auto", int64 millionths of the
// currency unit) in the measurement database, raised by each purchase
// event the engine writes and lowered by refunds. At most
// `maxTrackedCurrencies` currencies are kept; a new one beyond that
// replaces the least recently set.
#pragma once

#include <memory>

class MSRDatabase;
class MSREvent;

class MSRLifetimeValueRecorder {
 public:
  // "_iap", or an e-commerce purchase event.
  static bool isPurchaseEvent(const MSREvent& event);
  // "ecommerce_purchase", "purchase" or "refund".
  static bool isEcommercePurchaseEvent(const MSREvent& event);
  // Adds the event's value to its currency's total inside the caller's
  // transaction. YES for an event that is not a purchase, and for one whose
  // currency (22000) or value (22001) cannot be read: it is written but
  // counts for nothing. NO, the stored total untouched, when the amount or
  // the new total leaves the int64 range (22002) or the database refused
  // (22003, 22004, 22005).
  static bool recordLifetimeValueToDatabase(MSRDatabase& database, const MSREvent& event);
};
