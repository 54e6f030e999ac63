// The settings of the notes code, shared by Quillbox and Jotshare through
// their application group.
//
// Seam: only the group identifier exists so far; the group defaults, the
// keychain items and the note text attributes come with the settings work.
#pragma once

#include <optional>
#include <string>

class NTSettings {
 public:
  // The application group Quillbox shares with Jotshare, chosen by the main
  // bundle's identifier; absent when the identifier has no known prefix.
  static std::optional<std::string> groupIdentifier();
  // The rule itself: "tavrix.Pennalo..." -> "group.tavrix.Pennalo",
  // "tavrix.Notes..." -> "group.tavrix.Notes", anything else none.
  static std::optional<std::string> groupIdentifierForBundleIdentifier(const std::string& bundleIdentifier);
};
