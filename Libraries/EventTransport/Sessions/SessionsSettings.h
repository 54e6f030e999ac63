// The effective sessions settings: for each, the local override
// (Info.plist) when it has a value, else the downloaded value, else the
// default, read afresh at every call.
//
//   sessions enabled  "DozaveveSessionsEnabled", "sessions_enabled", true
//   sampling rate     "DozaveveSessionsSampingRate", "sampling_rate", 1.0
//   session timeout   "DozaveveSessionsTimeout", "session_timeout_seconds", 1,800 s
//
// updateSettings downloads the remote settings when their cache is stale.
#pragma once

#include <memory>

#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"
#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"
#include "Libraries/EventTransport/Sessions/LocalOverrideSettings.h"
#include "Libraries/EventTransport/Sessions/RemoteSettings.h"
#include "Libraries/EventTransport/Sessions/SettingsProtocol.h"

class SessionsSettings : public SettingsProtocol {
 public:
  SessionsSettings(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                   std::shared_ptr<InstallationsProtocol> installations,
                   std::shared_ptr<SDKDefaultSettings> sdkDefaults,
                   std::shared_ptr<LocalOverrideSettings> localOverrides,
                   std::shared_ptr<RemoteSettings> remoteSettings);
  // The sources the app uses: the remote settings over the standard user
  // defaults and the configured settings endpoint.
  static std::shared_ptr<SessionsSettings> make(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                                                std::shared_ptr<InstallationsProtocol> installations);

  bool sessionsEnabled() const override;
  double samplingRate() const override;
  double sessionTimeout() const override;
  // The remote settings' update at the current time.
  void updateSettings() override;

  const std::shared_ptr<RemoteSettings>& remoteSettings() const { return remoteSettings_; }

 private:
  std::shared_ptr<const ApplicationInfoProtocol> appInfo_;
  std::shared_ptr<InstallationsProtocol> installations_;
  std::shared_ptr<SDKDefaultSettings> sdkDefaults_;
  std::shared_ptr<LocalOverrideSettings> localOverrides_;
  std::shared_ptr<RemoteSettings> remoteSettings_;
};
