#include "Libraries/EventTransport/Sessions/SessionsSettings.h"

namespace {

template <class T>
T firstPresent(const std::optional<T>& local, const std::optional<T>& remote, const std::optional<T>& fallback) {
  return local ? *local : remote ? *remote : *fallback;
}

}  // namespace

SessionsSettings::SessionsSettings(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                                   std::shared_ptr<InstallationsProtocol> installations,
                                   std::shared_ptr<SDKDefaultSettings> sdkDefaults,
                                   std::shared_ptr<LocalOverrideSettings> localOverrides,
                                   std::shared_ptr<RemoteSettings> remoteSettings)
    : appInfo_(std::move(appInfo)),
      installations_(std::move(installations)),
      sdkDefaults_(std::move(sdkDefaults)),
      localOverrides_(std::move(localOverrides)),
      remoteSettings_(std::move(remoteSettings)) {}

std::shared_ptr<SessionsSettings> SessionsSettings::make(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                                                         std::shared_ptr<InstallationsProtocol> installations) {
  auto downloader = std::make_shared<SettingsDownloader>(appInfo, installations);
  auto remote = std::make_shared<RemoteSettings>(appInfo, downloader, std::make_shared<SettingsCache>());
  return std::make_shared<SessionsSettings>(appInfo, installations, std::make_shared<SDKDefaultSettings>(),
                                            std::make_shared<LocalOverrideSettings>(), remote);
}

bool SessionsSettings::sessionsEnabled() const {
  return firstPresent(localOverrides_->sessionsEnabled(), remoteSettings_->sessionsEnabled(),
                      sdkDefaults_->sessionsEnabled());
}

double SessionsSettings::samplingRate() const {
  return firstPresent(localOverrides_->samplingRate(), remoteSettings_->samplingRate(), sdkDefaults_->samplingRate());
}

double SessionsSettings::sessionTimeout() const {
  return firstPresent(localOverrides_->sessionTimeout(), remoteSettings_->sessionTimeout(),
                      sdkDefaults_->sessionTimeout());
}

void SessionsSettings::updateSettings() { remoteSettings_->updateSettings(ns::Date::now()); }
