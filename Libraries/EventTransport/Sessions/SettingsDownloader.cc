#include "Libraries/EventTransport/Sessions/SettingsDownloader.h"

#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Libraries/EventTransport/ZTCOREndpoints.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/URLComponents.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLSession.h"

namespace {

constexpr double kRequestTimeoutSeconds = 60;

const char* kindName(SettingsDownloaderError::Kind kind) {
  switch (kind) {
    case SettingsDownloaderError::Kind::URLError:
      return "URLError";
    case SettingsDownloaderError::Kind::URLSessionError:
      return "URLSessionError";
    case SettingsDownloaderError::Kind::JSONParseError:
      return "JSONParseError";
    case SettingsDownloaderError::Kind::InstallationIDError:
      return "InstallationIDError";
  }
  return "Unknown";
}

SettingsDownloaderError failure(SettingsDownloaderError::Kind kind, std::string message) {
  return SettingsDownloaderError{kind, std::move(message)};
}

net::URLRequest settingsRequest(const ns::URL& url, const std::string& installationID) {
  net::URLRequest request(url, net::URLRequestCachePolicy::UseProtocolCachePolicy, kRequestTimeoutSeconds);
  request.setHTTPMethod("GET");
  request.setValue("application/json", "Accept");
  request.setValue(installationID, "X-Dodevadarud-Installation-ID");
  request.setValue(ZULAppEnvironmentUtil::deviceSimulatorModel().value_or(""), "X-Dodevadarud-Device-Model");
  request.setValue(ZOVSESSysctlString("kern.osversion").value_or(""), "X-Dodevadarud-OS-Build-Version");
  request.setValue(ZULAppEnvironmentUtil::systemVersion(), "X-Dodevadarud-OS-Display-Version");
  request.setValue(ZOVCoreVersionString(), "X-Dodevadarud-API-Client-Version");
  return request;
}

// What one answer of the server means.
SettingsDownloader::Result resultOfAnswer(const std::optional<ns::Data>& body,
                                          const std::optional<net::HTTPURLResponse>& response,
                                          const std::optional<ns::Error>& error) {
  // A transfer that failed part-way may leave part of a body: never read it.
  if (error || !body) {
    return failure(SettingsDownloaderError::Kind::URLSessionError,
                   error ? error->localizedDescription() : std::string("No answer"));
  }
  // A server that fails answers with an error document, often a JSON
  // object too: taken as settings it would replace the good cache.
  if (response && (response->statusCode() < 200 || response->statusCode() > 299)) {
    return failure(SettingsDownloaderError::Kind::URLSessionError,
                   "The settings server answered with HTTP status " + std::to_string(response->statusCode()));
  }
  std::optional<ns::Value> json = ns::jsonObjectFromData(*body, nullptr);
  if (!json || !json->isDictionary()) {
    return failure(SettingsDownloaderError::Kind::JSONParseError, "Failed to parse JSON to dictionary");
  }
  return std::move(*json->asDictionary());
}

}  // namespace

std::string SettingsDownloaderError::description() const {
  return std::string(kindName(kind)) + "(\"" + message + "\")";
}

SettingsDownloader::SettingsDownloader(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                                       std::shared_ptr<InstallationsProtocol> installations)
    : SettingsDownloader(std::move(appInfo), std::move(installations), ZTCOREndpoints::sessionsSettingsBaseURL()) {}

SettingsDownloader::SettingsDownloader(std::shared_ptr<const ApplicationInfoProtocol> appInfo,
                                       std::shared_ptr<InstallationsProtocol> installations, ns::URL settingsBase)
    : appInfo_(std::move(appInfo)), installations_(std::move(installations)), settingsBase_(std::move(settingsBase)) {}

std::optional<ns::URL> SettingsDownloader::settingsURL() const {
  ns::URLComponents components;
  components.setScheme(settingsBase_.scheme());
  components.setHost(settingsBase_.host());
  components.setPort(settingsBase_.port());
  components.setPath("/api/v2/platforms/" + ZULAppEnvironmentUtil::appleDevicePlatform() + "/zmp/" + appInfo_->appID() +
                     "/settings");
  components.setQueryItems(std::vector<ns::URLQueryItem>{{"build_version", appInfo_->appBuildVersion()},
                                                         {"display_version", appInfo_->appDisplayVersion()}});
  return components.url();
}

void SettingsDownloader::fetch(Completion completion) const {
  std::optional<ns::URL> url = settingsURL();
  if (!url) {
    completion(failure(SettingsDownloaderError::Kind::URLError, "Invalid URL"));
    return;
  }
  installations_->installationID([url = *url, completion](std::variant<std::string, ns::Error> result) {
    if (const ns::Error* error = std::get_if<ns::Error>(&result)) {
      completion(failure(SettingsDownloaderError::Kind::InstallationIDError, error->localizedDescription()));
      return;
    }
    net::URLRequest request = settingsRequest(url, std::get<std::string>(result));
    net::URLSession::shared()
        ->dataTask(request,
                   [completion](std::optional<ns::Data> body, std::optional<net::HTTPURLResponse> response,
                                std::optional<ns::Error> error) {
                     if (!body && !error) return;  // nothing to report
                     completion(resultOfAnswer(body, response, error));
                   })
        ->resume();
  });
}
