#include "Libraries/TelemetryFoundation/PromiseError.h"

#include "Libraries/TelemetryFoundation/PRMPromise.h"

namespace Promises {

ns::Error toNSError(PromiseError error) {
  return ns::Error(PRMPromiseErrorDomain, error == PromiseError::timedOut ? PRMPromiseErrorCodeTimedOut
                                                                          : PRMPromiseErrorCodeValidationFailure);
}

std::optional<PromiseError> promiseErrorFrom(const ns::Error& error) {
  if (error.domain() != PRMPromiseErrorDomain) return std::nullopt;
  if (error.code() == PRMPromiseErrorCodeTimedOut) return PromiseError::timedOut;
  if (error.code() == PRMPromiseErrorCodeValidationFailure) return PromiseError::validationFailure;
  return std::nullopt;
}

const char* nameOf(PromiseError error) {
  return error == PromiseError::timedOut ? "timedOut" : "validationFailure";
}

Error::Error(ns::Error error) : error_(std::move(error)), what_(description()) {}

Error::Error(PromiseError error) : Error(toNSError(error)) {}

std::string Error::description() const {
  if (auto typed = promiseError()) return nameOf(*typed);
  return error_.description();
}

}  // namespace Promises
