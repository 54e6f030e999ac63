// Fetching the settings document: the GET request with the settings headers,
// and the commit of a good answer over the cached "settings.json". A new
// document replaces the old one only once it has been read as a JSON object,
// by a rename in the settings directory: on any failure the old cache stays.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRNetworkClient.h"
#include "Libraries/CrashReporter/DVCRNetworkOperation.h"

class DVCRDownloadAndSaveSettingsOperation;

class DVCRDownloadAndSaveSettingsOperationDelegate {
 public:
  virtual ~DVCRDownloadAndSaveSettingsOperationDelegate() = default;
  // On the network client's handler queue; `error` absent on success.
  virtual void operationDidDownloadAndSaveSettings(DVCRDownloadAndSaveSettingsOperation& operation,
                                                   const std::optional<ns::Error>& error) = 0;
};

class DVCRDownloadAndSaveSettingsOperation : public DVCRNetworkOperation {
 public:
  DVCRDownloadAndSaveSettingsOperation(std::string zororiAppID,
                                       std::weak_ptr<DVCRDownloadAndSaveSettingsOperationDelegate> delegate,
                                       ns::URL settingsURL, std::string settingsDirectoryPath,
                                       std::string settingsFilePath,
                                       std::shared_ptr<DVCRInstallIdentifierModel> installIDModel,
                                       std::weak_ptr<DVCRNetworkClient> networkClient, DVCRDataCollectionToken token);

  net::URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const ns::URL& url) const override;
  const std::optional<ns::Error>& error() const { return error_; }

 protected:
  void main() override;

 private:
  // Inside the download's handler: the file is gone once it returns.
  std::optional<ns::Error> commitDownloadedFile(const ns::URL& location);
  void complete(std::optional<ns::Error> error);

  std::weak_ptr<DVCRDownloadAndSaveSettingsOperationDelegate> delegate_;
  ns::URL settingsURL_;
  std::string settingsDirectoryPath_;
  std::string settingsFilePath_;
  std::shared_ptr<DVCRInstallIdentifierModel> installIDModel_;
  std::weak_ptr<DVCRNetworkClient> networkClient_;
  std::optional<ns::Error> error_;
};
