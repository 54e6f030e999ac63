#include "Libraries/CrashReporter/DVCRSettingsDownload.h"

#include <cstdio>

#include "Libraries/CrashReporter/DVCRHost.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRNetworkResponseHandler.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"

DVCRDownloadAndSaveSettingsOperation::DVCRDownloadAndSaveSettingsOperation(
    std::string zororiAppID, std::weak_ptr<DVCRDownloadAndSaveSettingsOperationDelegate> delegate,
    ns::URL settingsURL, std::string settingsDirectoryPath, std::string settingsFilePath,
    std::shared_ptr<DVCRInstallIdentifierModel> installIDModel, std::weak_ptr<DVCRNetworkClient> networkClient,
    DVCRDataCollectionToken token)
    : DVCRNetworkOperation(std::move(zororiAppID), token),
      delegate_(std::move(delegate)),
      settingsURL_(std::move(settingsURL)),
      settingsDirectoryPath_(std::move(settingsDirectoryPath)),
      settingsFilePath_(std::move(settingsFilePath)),
      installIDModel_(std::move(installIDModel)),
      networkClient_(std::move(networkClient)) {}

net::URLRequest DVCRDownloadAndSaveSettingsOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const ns::URL& url) const {
  net::URLRequest request = DVCRNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(url);
  request.setHTTPMethod("GET");
  request.setValue("application/json", "Accept");
  request.setValue(installIDModel_ ? std::optional<std::string>(installIDModel_->installID()) : std::nullopt,
                   "X-Dodevadarud-Installation-ID");
  request.setValue(DVCRHostDeviceModel(), "X-Dodevadarud-Device-Model");
  request.setValue(DVCRHostOSBuildVersion(), "X-Dodevadarud-OS-Build-Version");
  request.setValue(DVCRHostOSDisplayVersion(), "X-Dodevadarud-OS-Display-Version");
  request.setValue(DVCRSDKVersion(), "X-Dodevadarud-API-Client-Version");
  return request;
}

void DVCRDownloadAndSaveSettingsOperation::main() {
  std::shared_ptr<DVCRNetworkClient> client = networkClient_.lock();
  if (!client) {
    complete(DVCRNetworkResponseHandler::errorForCode(DVCRNetworkErrorTaskNotCreated, {}));
    return;
  }
  auto self = std::static_pointer_cast<DVCRDownloadAndSaveSettingsOperation>(shared_from_this());
  client->startDownloadTaskWithRequest(
      mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(settingsURL_), 1, 0,
      [self](std::optional<ns::URL> location, std::optional<net::HTTPURLResponse>, std::optional<ns::Error> error) {
        if (!error && !location) error = ns::Error(ns::kCocoaErrorDomain, ns::kFileReadNoSuchFileError);
        self->complete(error ? error : self->commitDownloadedFile(*location));
      });
}

std::optional<ns::Error> DVCRDownloadAndSaveSettingsOperation::commitDownloadedFile(const ns::URL& location) {
  ns::FileManager& files = ns::FileManager::defaultManager();
  ns::Error error;
  bool ok = false;
  std::string staged = settingsFilePath_ + ".download";
  // A body that is not a JSON object would only be deleted by the next
  // reload, taking the good cache with it: keep the old one instead.
  std::optional<ns::Value> document;
  if (std::optional<ns::Data> data = files.contentsAtPath(location.path())) {
    document = ns::jsonObjectFromData(*data, &error);
    if (document && !document->isDictionary()) {
      error = ns::Error::withDescription(ns::kCocoaErrorDomain, ns::kJsonReadCorruptError,
                                         "The settings document is not a JSON object.");
    }
  } else {
    error = ns::Error(ns::kCocoaErrorDomain, ns::kFileReadNoSuchFileError);
  }
  if (document && document->isDictionary() && files.createDirectory(settingsDirectoryPath_, true, &error)) {
    files.removeItem(staged);
    ok = files.moveItem(location.path(), staged, &error);
    if (ok && std::rename(staged.c_str(), settingsFilePath_.c_str()) != 0) {
      error = ns::Error::posix(errno);
      files.removeItem(staged);
      ok = false;
    }
  }
  if (ok) return std::nullopt;
  DVCRLogErrorMessage("Unable to complete settings download %@", error.localizedDescription());
  return error;
}

void DVCRDownloadAndSaveSettingsOperation::complete(std::optional<ns::Error> error) {
  error_ = error;
  if (auto delegate = delegate_.lock()) delegate->operationDidDownloadAndSaveSettings(*this, error_);
  finishWithError(error_);
}
