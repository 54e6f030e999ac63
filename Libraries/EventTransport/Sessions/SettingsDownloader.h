// Downloads the sessions settings of this app from the settings endpoint:
//
//   GET <base>/api/v2/platforms/<ios|ipados>/zmp/<app ID>/settings
//       ?build_version=<build>&display_version=<display>
//
// The base's scheme, host and port are configuration (ZTCOREndpoints.h,
// "SessionsSettingsBase"); the request carries "Accept: application/json",
// the installation ID, the device model, the OS build and display versions
// and the core's version, times out after 60 s and goes through the
// process's shared URL session.
//
// The result is the body's top-level JSON object, and only from a 2xx
// answer: an error document of a failing server must never pass for
// settings. Every other outcome is a SettingsDownloaderError.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

struct SettingsDownloaderError {
  enum class Kind { URLError, URLSessionError, JSONParseError, InstallationIDError };
  Kind kind;
  std::string message;

  // The case and its message, as the failure line prints them:
  // URLSessionError("Could not connect to the server.").
  std::string description() const;
  bool operator==(const SettingsDownloaderError&) const = default;
};

class SettingsDownloader {
 public:
  using Result = std::variant<ns::Dictionary, SettingsDownloaderError>;
  using Completion = std::function<void(Result)>;

  SettingsDownloader(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                     std::shared_ptr<InstallationsProtocol> installations);
  // For tests: another settings endpoint.
  SettingsDownloader(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                     std::shared_ptr<InstallationsProtocol> installations, ns::URL settingsBase);

  // The completion runs once, on the queue of whoever answered last (the
  // installations service, or the URL session's delegate queue).
  void fetch(Completion completion) const;

  // The settings URL; absent when the parts make none.
  std::optional<ns::URL> settingsURL() const;

 private:
  std::shared_ptr<const ApplicationInfoProtocol> appInfo_;
  std::shared_ptr<InstallationsProtocol> installations_;
  ns::URL settingsBase_;
};
