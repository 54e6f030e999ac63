// Run-time failures as values (ns::Error) and programming errors as thrown
// exceptions (ns::Exception), with the platform's domain/code/user-info shape.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace ns {

// User-info keys the system reads and writes.
inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* kLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* kUnderlyingErrorKey = "NSUnderlyingError";
inline constexpr const char* kFilePathErrorKey = "NSFilePath";

// Domains of the host layer.
inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";

class Error {
 public:
  Error() = default;
  Error(std::string domain, int64_t code, Dictionary userInfo = {})
      : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}
  // An error whose user info holds only a localized description.
  static Error withDescription(std::string domain, int64_t code, const std::string& description);
  // An error of the POSIX domain for errno `err`, with strerror's text.
  static Error posix(int err, const std::string& path = {});

  const std::string& domain() const { return domain_; }
  int64_t code() const { return code_; }
  const Dictionary& userInfo() const { return userInfo_; }
  Dictionary& userInfo() { return userInfo_; }

  // The description under kLocalizedDescriptionKey, or the platform's
  // generic "The operation couldn’t be completed. (<domain> error <code>.)".
  std::string localizedDescription() const;
  // "Error Domain=<d> Code=<c> \"<localized description>\" UserInfo={...}"
  std::string description() const;

  bool operator==(const Error& other) const = default;

 private:
  std::string domain_;
  int64_t code_ = 0;
  Dictionary userInfo_;
};

// Sets *out when out is not null; the out-parameter convention of the system.
inline void setError(Error* out, Error error) {
  if (out) *out = std::move(error);
}

// A programming error. Carries the call stack at the point it was made.
class Exception : public std::exception {
 public:
  Exception(std::string name, std::string reason, Dictionary userInfo = {});

  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const Dictionary& userInfo() const { return userInfo_; }
  // Return addresses from the thrower outwards, innermost first.
  const std::vector<uintptr_t>& callStackReturnAddresses() const { return addresses_; }
  // The platform's lines, "index image address symbol + offset": first the
  // two frames of raising the exception, then one per return address. A
  // symbol is demangled without its parameter list; where the dynamic
  // linker knows no name (a function the program does not export) the line
  // names the image and the offset into it instead.
  std::vector<std::string> callStackSymbols() const;

  const char* what() const noexcept override { return what_.c_str(); }
  // "<name>: <reason>", as the platform's debug description starts.
  std::string debugDescription() const;

 private:
  std::string name_;
  std::string reason_;
  Dictionary userInfo_;
  std::vector<uintptr_t> addresses_;
  uintptr_t raising_[2] = {};
  std::string what_;
};

// Exception names the host layer raises.
inline constexpr const char* kInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* kInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* kRangeException = "NSRangeException";
inline constexpr const char* kGenericException = "NSGenericException";

}  // namespace ns
