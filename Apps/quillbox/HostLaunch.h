// Makes the world the app launches into: boots the device (a phone, or a
// pad, with the biometric sensor asked for), finds the main bundle (the staged "quillbox.app" beside the
// program, or $QUILLBOX_BUNDLE; see ns::Bundle::mainBundle) and points the
// asset catalogue at its "Assets" folder unless $QUILLBOX_ASSETS is set,
// and switches to a virtual clock standing where the device's clock stands
// (DeviceClock.h: real time, or later when an earlier launch moved ahead).
#pragma once

#include <optional>
#include <string>

#include "Apps/quillbox/HostOptions.h"

namespace quillbox {

class HostLaunch {
 public:
  // False, with `error` saying why, when the device cannot be made or
  // there is no main bundle with an identifier.
  static bool prepare(const HostOptions& options, std::string* error);
  // The app's own version as its bundle gives it and Settings shows it
  // ("2.6 (26)"); null, with `error` saying why, without a main bundle.
  static std::optional<std::string> appVersion(std::string* error);
};

}  // namespace quillbox
