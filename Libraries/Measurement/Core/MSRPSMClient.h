// The on-device conversion library's lookup client, as the engine uses it.
// The library is linked separately, or not at all: its class registers
// itself in the runtime under "MSRPrivateSetMembershipClient", and the
// engine finds it by that name, as the class object below. Quillbox ships
// no such class, so lookups answer "dependency not linked".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Runtime/Runtime.h"

inline constexpr const char* kMSRPrivateSetMembershipClientClassName = "MSRPrivateSetMembershipClient";

// One lookup's client, made for one e-mail address or phone number.
class MSRPSMClient {
 public:
  static constexpr int64_t kInputTypePhoneNumber = 2;

  virtual ~MSRPSMClient() = default;
  // The lookup's URL for this retry; none when it cannot be made.
  virtual std::optional<std::string> PSMRequestURLWithRetryCount(int64_t retryCount) = 0;
  // kInputTypePhoneNumber for a phone number.
  virtual int64_t inputType() const = 0;
  // The matched value of an answer; empty when there is no match.
  virtual std::string parsedPSMValueFromResponse(const ns::Data& response) = 0;
  // Optional: a key that marks debug lookups; none when the client has none.
  virtual std::optional<std::string> debugKey() const { return std::nullopt; }
};

// The class object registered under kMSRPrivateSetMembershipClientClassName.
class MSRPSMClientClass {
 public:
  virtual ~MSRPSMClientClass() = default;
  virtual std::shared_ptr<MSRPSMClient> initWithEmailAddress(const std::string& emailAddress,
                                                             const std::string& appID) = 0;
  virtual std::shared_ptr<MSRPSMClient> initWithPhoneNumber(const std::string& phoneNumber,
                                                            const std::string& appID) = 0;
};
