// Universally unique identifiers: random version-4 UUIDs with the
// platform's upper-case text form ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
// parsing of that form in either case, and process-wide unique strings for
// temporary names.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

class Uuid {
 public:
  using Bytes = std::array<uint8_t, 16>;

  Uuid() = default;  // the nil UUID, all zero
  explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

  // A new random UUID (version 4, RFC 4122 variant) from the system's
  // cryptographic random source.
  static Uuid random();
  // Parses 8-4-4-4-12 hexadecimal digits of either case; absent otherwise.
  static std::optional<Uuid> fromString(std::string_view text);

  // The 16 bytes in text order (the platform's order).
  const Bytes& bytes() const { return bytes_; }
  // Upper-case hyphenated text.
  std::string uuidString() const;
  int version() const { return bytes_[6] >> 4; }
  bool isNil() const { return *this == Uuid(); }

  auto operator<=>(const Uuid&) const = default;

 private:
  Bytes bytes_{};
};

// A new text unique across processes and time, for temporary file and
// folder names: a random UUID, the process id and a per-process counter,
// e.g. "4C4A5C84-6B0B-4C7A-9F7E-2D2B1D8E9A10-4242-0000000000000001".
std::string globallyUniqueString();

}  // namespace ns
