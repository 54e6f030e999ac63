// What the cached remote settings were fetched for, and when: stored beside
// them as a JSON object {"createdAt": <seconds since 1 January 2001>,
// "zororiAppID": ..., "appVersion": "<display version> (<build version>)"}.
// The cache counts as stale once the app ID or version differs or it has
// outlived its duration (RemoteSettings.h).
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

struct CacheKey {
  ns::Date createdAt;
  std::string zororiAppID;
  std::string appVersion;

  // "2.4 (118)" for display version 2.4 and build 118.
  static std::string appVersionFrom(const std::string& displayVersion, const std::string& buildVersion);

  // The JSON object's bytes; absent with `error` set when they cannot be
  // written (a date that is not a finite number).
  std::optional<ns::Data> encoded(ns::Error* error) const;
  // Absent with `error` set for anything but a JSON object with a number
  // "createdAt" and string "zororiAppID" and "appVersion".
  static std::optional<CacheKey> decode(const ns::Data& data, ns::Error* error);

  bool operator==(const CacheKey&) const = default;
};
