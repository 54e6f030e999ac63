// ZEVUdederozedaruStoredAuthToken: an installation's auth token as the
// keychain keeps it, a coding class of keyed archives (secure coding).
//
// Archived keys, in order: "status" (integer: 0 made empty, 1 a token from
// the endpoint), "token" (string), "expirationDate" (date) and
// "storageVersion" (integer, 1); an absent value is simply not written. A
// token archived by a newer version (2 or more) logs warning I-ZIS004000 and
// decodes as far as the keys above go. It is a value: copies are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/KeyedArchiveCoding.h"

namespace ns {
class KeyedUnarchiver;
}

// Registers the installations' archived classes (the stored item and the
// stored auth token) with the keyed archives, once per process. Their files
// do it as they are loaded, before main(), so a new process can read the
// record an earlier one stored before it makes any object of its own.
void ZEVUdederozedaruRegisterArchivedClasses();

class ZEVUdederozedaruStoredAuthToken : public ns::Coding {
 public:
  static inline constexpr const char* kClassName = "ZEVUdederozedaruStoredAuthToken";

  int64_t status = 0;
  std::optional<std::string> token;
  std::optional<ns::Date> expirationDate;

  static int64_t storageVersion() { return 1; }

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

  bool operator==(const ZEVUdederozedaruStoredAuthToken& other) const {
    return status == other.status && token == other.token && expirationDate == other.expirationDate;
  }
};
