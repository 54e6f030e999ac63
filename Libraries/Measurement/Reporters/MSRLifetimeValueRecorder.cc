#include "Libraries/Measurement/Reporters/MSRLifetimeValueRecorder.h"

#include <cmath>
#include <limits>
#include <optional>

#include "Libraries/Measurement/Core/MSREvent.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Platform/Foundation/Date.h"

namespace {

constexpr const char* kLifetimeValuePrefix = "_ltv_";

// Characters, not bytes: a three-letter code in any script is a currency
// code by length; the name rule of user properties judges the rest.
size_t characterCount(const std::string& text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

std::string upperCased(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The integer part of `value` when it lies inside the int64 range; none for
// NaN and for anything at or beyond 2^63 either way (a double cannot hold
// INT64_MAX, so the bound is exclusive).
std::optional<int64_t> int64FromDouble(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (std::isnan(value) || value >= kLimit || value < -kLimit) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace

bool MSRLifetimeValueRecorder::isEcommercePurchaseEvent(const MSREvent& event) {
  const std::string& name = event.name();
  return name == "ecommerce_purchase" || name == "purchase" || name == "refund";
}

bool MSRLifetimeValueRecorder::isPurchaseEvent(const MSREvent& event) {
  return event.name() == "_iap" || isEcommercePurchaseEvent(event);
}

bool MSRLifetimeValueRecorder::recordLifetimeValueToDatabase(MSRDatabase& database, const MSREvent& event) {
  if (!isPurchaseEvent(event)) return true;
  auto log = MSRMeasurement::monitor();
  const auto& parameters = event.parameters();

  auto currencyEntry = parameters.find("currency");
  std::optional<std::string> currency =
      currencyEntry == parameters.end() ? std::nullopt : currencyEntry->second.stringValue();
  if (!currency || characterCount(*currency) != 3) {
    log->logWithLevel(1, 22000, "Cannot record transaction with invalid currency code");
    return true;
  }

  auto valueEntry = parameters.find("value");
  if (valueEntry == parameters.end() || !(valueEntry->second.isDouble() || valueEntry->second.isInt64())) {
    log->logWithLevel(1, 22001, "Cannot record transaction with invalid transaction value",
                      MSRLogContext(valueEntry == parameters.end() ? std::string("(nil)")
                                                                   : valueEntry->second.description()));
    return true;
  }
  const MSRValue& value = valueEntry->second;

  auto outOfBounds = [&] {
    log->logWithLevel(1, 22002, "Cannot record transaction with value that is out of bounds",
                      MSRLogContext(value.description()));
    return false;
  };
  std::optional<int64_t> amount;
  if (isEcommercePurchaseEvent(event)) {
    double micros = value.isDouble() ? value.doubleValue() : static_cast<double>(value.int64Value());
    amount = int64FromDouble(std::round(micros * 1000000.0));
    if (amount && event.name() == "refund") {
      if (*amount == std::numeric_limits<int64_t>::min()) return outOfBounds();
      amount = -*amount;
    }
  } else {
    amount = value.isInt64() ? std::optional<int64_t>(value.int64Value()) : int64FromDouble(value.doubleValue());
  }
  if (!amount) return outOfBounds();

  const std::string name = kLifetimeValuePrefix + upperCased(*currency);
  ns::Error error;
  auto all = database.allLifetimeValueUserAttributes(&error);
  if (!all) {
    log->logWithLevel(1, 22003, "Failed to query all Lifetime Value User properties. Error", MSRLogContext(error));
    return false;
  }
  std::shared_ptr<MSRUserAttribute> existing;
  for (const auto& attribute : *all) {
    if (attribute && attribute->name() == name) existing = attribute;
  }
  int64_t total = *amount;
  if (existing) {
    // The total is checked before anything changes, so a refused amount
    // leaves the stored one as it was.
    if (__builtin_add_overflow(existing->value().int64Value(), *amount, &total)) return outOfBounds();
  } else if (!all->empty() &&
             static_cast<int64_t>(all->size()) >= MSRMeasurement::remoteConfig()->maxTrackedCurrencies()) {
    const std::string& oldest = all->back()->name();
    if (!database.deleteUserAttributeWithName(oldest, &error)) {
      log->logWithLevel(1, 22004, "Unable to delete Lifetime Value User property. Name, error", MSRLogContext(oldest),
                        MSRLogContext(error));
      return false;
    }
  }

  auto attribute = MSRUserAttribute::initWithOrigin("auto", name, MSRValue::initWithInt64(total),
                                                    ns::Date::now().timeIntervalSince1970());
  if (!attribute || !database.updateUserAttribute(attribute, &error)) {
    log->logWithLevel(1, 22005, "Unable to upsert Lifetime Value User Attribute in database. Name, error",
                      MSRLogContext(name), MSRLogContext(error));
    return false;
  }
  log->logWithLevel(7, 22006, "Lifetime value has been updated in database");
  return true;
}
