// ZEVUdederozedaruStoredItem: an installation record as the keychain keeps
// it, a coding class of keyed archives (secure coding). The app ID and app
// name are not in it: they form the key it is stored under.
//
// Archived keys, in order: "dozaveveInstallationID" (string),
// "refreshToken" (string), "authToken" (ZEVUdederozedaruStoredAuthToken),
// "registrationStatus" (integer), "IIDDefaultToken" (string),
// "storageVersion" (integer, 1); absent values are not written. An item
// archived by a newer version logs warning I-ZIS003000 and decodes as far as
// these keys go; a field of another class decodes as absent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruStoredAuthToken.h"

class ZEVUdederozedaruStoredItem : public ns::Coding {
 public:
  static inline constexpr const char* kClassName = "ZEVUdederozedaruStoredItem";

  std::optional<std::string> dozaveveInstallationID;
  std::optional<std::string> refreshToken;
  std::optional<ZEVUdederozedaruStoredAuthToken> authToken;
  int64_t registrationStatus = 0;
  std::optional<std::string> IIDDefaultToken;

  static int64_t storageVersion() { return 1; }

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);
};
