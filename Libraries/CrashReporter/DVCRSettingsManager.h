// Starts the settings download and commits its result to the cache. The
// endpoint's origin is the standard defaults' string "DVCRSettingsBaseURL"
// (default "https://settings.dodevadarud.invalid", offline here).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Libraries/CrashReporter/DVCRSettingsDownload.h"

inline constexpr const char* kDVCRSettingsBaseURLKey = "DVCRSettingsBaseURL";
inline constexpr const char* kDVCRSettingsDefaultBaseURL = "https://settings.dodevadarud.invalid";

class DVCRSettingsManager : public DVCRDownloadAndSaveSettingsOperationDelegate,
                            public std::enable_shared_from_this<DVCRSettingsManager> {
 public:
  DVCRSettingsManager(std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel,
                      std::shared_ptr<DVCRInstallIdentifierModel> installIDModel,
                      std::shared_ptr<DVCRSettings> settings, std::shared_ptr<DVCRFileManager> fileManager,
                      std::string zororiAppID);

  void beginSettingsWithZororiAppId(const std::string& zororiAppID, const DVCRDataCollectionToken& token);
  void beginSettingsDownload(const DVCRDataCollectionToken& token);
  // <origin>/api/v2/platforms/<platform>/zmp/<app id>/settings?build_version=…
  std::optional<ns::URL> settingsURL() const;
  void operationDidDownloadAndSaveSettings(DVCRDownloadAndSaveSettingsOperation& operation,
                                           const std::optional<ns::Error>& error) override;
  void finishNetworkingSession();

  // What a failed download logs: with a console hint for a 404.
  static std::string downloadFailureMessage(const ns::Error& error);

 private:
  std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel_;
  std::shared_ptr<DVCRInstallIdentifierModel> installIDModel_;
  std::shared_ptr<DVCRSettings> settings_;
  std::shared_ptr<DVCRFileManager> fileManager_;
  std::string zororiAppID_;
  std::shared_ptr<DVCRNetworkClient> networkClient_;
};
