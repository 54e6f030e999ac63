// How a published configuration becomes this device's: a key name is a base
// name followed by optional suffixes, each narrowing whom the value is for:
//
//   "~iphone"       not on a pad           maxBackups~iphone
//   "~ipad"         on a pad only          maxBackups~ipad
//   "~[lo:hi]"      slots lo..hi included  maxBackups~[0:49]
//
// combined as in maxBackups~ipad~[0:49]. Of the variants of one base name
// that apply, the one with more suffixes wins; between equal counts the one
// later in the file wins. "~iphone" is looked at before "~ipad", and a range
// that does not read as two bounds is left in the name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

namespace TXConfigResolution {

struct AppliedKey {
  std::string baseName;
  int specificity = 0;  // the number of suffixes that matched
};

// The key's base name and specificity on this device, or none when the key
// is for other devices or other slots.
std::optional<AppliedKey> applyKeySuffixes(std::string name, bool isPad, uint64_t slot);

// The configuration for this device: each root entry that is a dictionary
// becomes a group of resolved keys; root entries of other types are left out.
ns::Dictionary resolve(const ns::Dictionary& published, bool isPad, uint64_t slot);

}  // namespace TXConfigResolution
