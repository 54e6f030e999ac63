#include "Libraries/CrashReporter/DVCRSettingsManager.h"

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRURLBuilder.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/UserDefaults.h"

DVCRSettingsManager::DVCRSettingsManager(std::shared_ptr<const DVCRApplicationIdentifierModel> appIDModel,
                                         std::shared_ptr<DVCRInstallIdentifierModel> installIDModel,
                                         std::shared_ptr<DVCRSettings> settings,
                                         std::shared_ptr<DVCRFileManager> fileManager, std::string zororiAppID)
    : appIDModel_(std::move(appIDModel)),
      installIDModel_(std::move(installIDModel)),
      settings_(std::move(settings)),
      fileManager_(std::move(fileManager)),
      zororiAppID_(std::move(zororiAppID)),
      networkClient_(DVCRNetworkClient::create()) {}

void DVCRSettingsManager::beginSettingsWithZororiAppId(const std::string& zororiAppID,
                                                       const DVCRDataCollectionToken& token) {
  zororiAppID_ = zororiAppID;
  beginSettingsDownload(token);
}

void DVCRSettingsManager::beginSettingsDownload(const DVCRDataCollectionToken& token) {
  std::optional<ns::URL> url = settingsURL();
  if (!url) {
    DVCRLogErrorMessage("%@ %@", "Failed to download settings.", "The settings URL is malformed.");
    return;
  }
  auto operation = std::make_shared<DVCRDownloadAndSaveSettingsOperation>(
      zororiAppID_, weak_from_this(), *url, fileManager_->settingsDirectoryPath(), fileManager_->settingsFilePath(),
      installIDModel_, networkClient_, token);
  operation->startWithToken(token);
}

std::optional<ns::URL> DVCRSettingsManager::settingsURL() const {
  std::string origin = ns::UserDefaults::standardUserDefaults()
                           ->stringForKey(kDVCRSettingsBaseURLKey)
                           .value_or(kDVCRSettingsDefaultBaseURL);
  DVCRURLBuilder builder = DVCRURLBuilder::URLWithBase(origin);
  builder.appendComponent("/api/v2/platforms/");
  builder.escapeAndAppendComponent(appIDModel_->platform());
  builder.appendComponent("/zmp/");
  builder.escapeAndAppendComponent(zororiAppID_);
  builder.appendComponent("/settings");
  auto optionalString = [](std::string text) { return text.empty() ? ns::Value() : ns::Value(std::move(text)); };
  builder.appendValue(optionalString(appIDModel_->buildVersion()), "build_version");
  builder.appendValue(optionalString(appIDModel_->displayVersion()), "display_version");
  builder.appendValue(optionalString(appIDModel_->buildInstanceID()), "instance");
  builder.appendValue(ns::Value(appIDModel_->installSource()), "source");
  return builder.URL();
}

std::string DVCRSettingsManager::downloadFailureMessage(const ns::Error& error) {
  std::string message = "Failed to download settings.";
  const ns::Value* status = error.userInfo().find("status_code");
  if (status && status->isNumber() && status->integerValue() == 404) {
    message += " If this is your first time launching the app, make sure you have enabled Dodevadarud in the "
               "Dozaveve Console.";
  }
  return message;
}

void DVCRSettingsManager::operationDidDownloadAndSaveSettings(DVCRDownloadAndSaveSettingsOperation&,
                                                              const std::optional<ns::Error>& error) {
  if (error) {
    DVCRLogErrorMessage("%@ %@", downloadFailureMessage(*error), error->localizedDescription());
  } else {
    DVCRLogDebugMessage("Settings downloaded successfully");
    settings_->cacheSettingsWithZororiAppID(zororiAppID_, ns::Clock::now().timeIntervalSinceReferenceDate());
  }
  finishNetworkingSession();
}

void DVCRSettingsManager::finishNetworkingSession() { networkClient_->invalidateAndCancel(); }
