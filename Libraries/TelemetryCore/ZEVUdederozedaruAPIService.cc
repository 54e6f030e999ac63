#include "Libraries/TelemetryCore/ZEVUdederozedaruAPIService.h"

#include "Libraries/TelemetryCore/ZEVUdederozedaruDebugRedaction.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruLogging.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Libraries/TelemetryFoundation/ZULURLSessionPromises.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Network/URLError.h"

namespace {

using State = ZEVUdederozedaruAPIService::State;
using StatePtr = std::shared_ptr<const State>;
using Response = ZEVUdederozedaruURLSessionResponse;

constexpr const char* kAPIKeyHeader = "X-Zoro-Api-Key";
constexpr const char* kBundleIdentifierHeader = "X-Ios-Bundle-Identifier";
constexpr const char* kHeartbeatHeader = "X-dozaveve-client";
constexpr const char* kIIDMigrationAuthHeader = "x-zoro-zis-ios-iid-migration-auth";
constexpr const char* kAuthVersion = "ZIS_v2";
constexpr double kRetryPauseSeconds = 1.0;

std::string configuredBaseURL() {
  auto base = ns::UserDefaults::standardUserDefaults()->stringForKey(ZEVUdederozedaruAPIService::kBaseURLDefaultsKey);
  return base && !base->empty() ? *base : ZEVUdederozedaruAPIService::kDefaultBaseURL;
}

// "%@" of a request in the debug lines.
std::string requestDescription(const net::URLRequest& request) {
  return ns::format("<URLRequest> { URL: %@, method: %@ }", request.url().absoluteString(), request.httpMethod());
}

std::string responseDescription(const net::HTTPURLResponse& response) {
  return ns::format("<HTTPURLResponse> { URL: %@ } { Status Code: %d, Headers %@ }", response.url().absoluteString(),
                    response.statusCode(), ZEVUdederozedaruRedactedHeaderFields(response.allHeaderFields()));
}

void setJSONHTTPBody(const ns::Dictionary& body, net::URLRequest& request) {
  request.setValue("application/json", "Content-Type");
  // A body that cannot be encoded stays empty.
  request.setHTTPBody(ns::dataFromJsonObject(ns::Value(body), nullptr).value_or(ns::Data()));
}

Promises::Promise<net::URLRequest> requestWithURL(const StatePtr& state, std::string URLText, std::string method,
                                                  ns::Dictionary body, std::optional<std::string> refreshToken,
                                                  net::HTTPHeaderFields additionalHeaders = {}) {
  return Promises::Promise<net::URLRequest>::do_(
      dispatch::Queue::global(dispatch::Priority::Utility),
      [state, URLText = std::move(URLText), method = std::move(method), body = std::move(body),
       refreshToken = std::move(refreshToken), additionalHeaders = std::move(additionalHeaders)] {
        auto URL = ns::URL::withString(URLText);
        if (!URL) {
          throw Promises::Error(ns::Error(net::kURLErrorDomain, net::kURLErrorBadURL,
                                          {{net::kURLErrorFailingURLStringErrorKey, ns::Value(URLText)}}));
        }
        net::URLRequest request(*URL);
        request.setHTTPMethod(method);
        request.setValue(state->APIKey, kAPIKeyHeader);
        auto bundle = ns::Bundle::mainBundle();
        request.setValue(bundle ? bundle->bundleIdentifier() : std::nullopt, kBundleIdentifierHeader);
        setJSONHTTPBody(body, request);
        if (refreshToken) request.setValue(ns::format("%@ %@", kAuthVersion, *refreshToken), "Authorization");
        // Every request takes the heartbeats stored until now, whatever its outcome.
        if (state->heartbeatLogger) {
          request.setValue(ZOVHeartbeatHeaderValueForPayload(state->heartbeatLogger->flushHeartbeatsIntoPayload()),
                           kHeartbeatHeader);
        }
        for (const auto& [name, value] : additionalHeaders.fields()) request.setValue(value, name);
        return request;
      });
}

Promises::Promise<Response> validateHTTPResponseStatusCode(const Promises::Promise<Response>& answer) {
  return answer.then([](const Response& response) {
    int status = response.HTTPResponse.statusCode();
    if (status < 200 || status > 299) {
      ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001004", "Unexpected API response: %@, body: %@.",
                         responseDescription(response.HTTPResponse),
                         ZEVUdederozedaruRedactedAnswerBody(response.data, status));
      throw Promises::Error(ZEVUdederozedaruErrorUtil::APIErrorWithHTTPResponse(response.HTTPResponse, response.data));
    }
    return response;
  });
}

// One attempt.
Promises::Promise<Response> URLRequestPromise(const StatePtr& state, const net::URLRequest& request) {
  ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001001", "Sending request: %@, body:%@, headers: %@.",
                     requestDescription(request),
                     ZEVUdederozedaruRedactedBody(request.httpBody() ? *request.httpBody() : ns::Data()),
                     ZEVUdederozedaruRedactedHeaderFields(request.allHTTPHeaderFields()));
  using DataResponse = std::shared_ptr<const ZULURLSessionDataResponse>;
  Promises::Promise<DataResponse> task(ZULPromises::zul_dataTaskPromiseWithRequest(*state->URLSession, request));
  auto answer = task.catch_([request](const Promises::Error& error) {
                      ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001002", "Request failed: %@, error: %@.",
                                         requestDescription(request), error.nsError());
                    })
                    .then([request](const DataResponse& answer) {
                      ns::Data data = answer->HTTPBody().value_or(ns::Data());
                      int status = answer->HTTPResponse() ? answer->HTTPResponse()->statusCode() : 0;
                      ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001003",
                                         "Request response received: %@, error: %@, body: %@.",
                                         requestDescription(request), nullptr,
                                         ZEVUdederozedaruRedactedAnswerBody(data, status));
                      if (!answer->HTTPResponse()) {
                        // Only an HTTP answer can be read; anything else is a bad server response.
                        throw Promises::Error(net::makeURLError(net::kURLErrorBadServerResponse, request.url()));
                      }
                      return Response{*answer->HTTPResponse(), std::move(data)};
                    });
  return validateHTTPResponseStatusCode(answer);
}

// A 500 is sent once more after a pause; the second answer is final.
Promises::Promise<Response> sendURLRequest(const StatePtr& state, const net::URLRequest& request) {
  return Promises::retry(
      1, kRetryPauseSeconds,
      [](int64_t, const Promises::Error& error) { return ZEVUdederozedaruErrorUtil::isAPIError(error.nsError(), 500); },
      [state, request] { return URLRequestPromise(state, request); });
}

Promises::Promise<Response> send(const StatePtr& state, const Promises::Promise<net::URLRequest>& request) {
  return request.then([state](const net::URLRequest& built) { return sendURLRequest(state, built); });
}

void logParsing(const Response& response) {
  ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001005", "Parsing server response for %@.",
                     response.HTTPResponse.url().absoluteString());
}

std::string installationsPath(const State& state) {
  return ns::format("%@/v1/projects/%@/installations/", state.baseURL, state.projectID);
}

}  // namespace

ZEVUdederozedaruAPIService::ZEVUdederozedaruAPIService(std::string APIKey, std::string projectID,
                                                       std::shared_ptr<ZOVHeartbeatLoggerProtocol> heartbeatLogger)
    : ZEVUdederozedaruAPIService(net::URLSession::create(net::URLSessionConfiguration::ephemeralSessionConfiguration()),
                                 std::move(APIKey), std::move(projectID), std::move(heartbeatLogger)) {}

ZEVUdederozedaruAPIService::ZEVUdederozedaruAPIService(std::shared_ptr<net::URLSession> URLSession, std::string APIKey,
                                                       std::string projectID,
                                                       std::shared_ptr<ZOVHeartbeatLoggerProtocol> heartbeatLogger)
    : state_(std::make_shared<const State>(State{std::move(URLSession), std::move(APIKey), std::move(projectID),
                                                 std::move(heartbeatLogger), configuredBaseURL()})) {}

std::string ZEVUdederozedaruAPIService::SDKVersion() { return "i:" + ZOVCoreVersionString(); }

Promises::Promise<ZEVUdederozedaruItem> ZEVUdederozedaruAPIService::registerInstallation(
    const ZEVUdederozedaruItem& installation) const {
  ns::Error invalid;
  if (!installation.isValid(&invalid)) {
    return ZEVUdederozedaruErrorUtil::rejectedPromiseWithError<ZEVUdederozedaruItem>(invalid);
  }
  net::HTTPHeaderFields headers;
  if (installation.IIDDefaultToken()) headers.set(kIIDMigrationAuthHeader, *installation.IIDDefaultToken());
  ns::Dictionary body{{"fid", ns::Value(installation.dozaveveInstallationID().value_or(""))},
                      {"authVersion", ns::Value(kAuthVersion)},
                      {"appId", ns::Value(installation.appID())},
                      {"sdkVersion", ns::Value(SDKVersion())}};
  auto request = requestWithURL(state_, installationsPath(*state_), "POST", std::move(body), std::nullopt,
                                std::move(headers));
  return send(state_, request).then([installation](const Response& response) {
    logParsing(response);
    ns::Error error;
    auto registered = installation.registeredInstallationWithJSONData(response.data, ns::Date::now(), &error);
    if (!registered) {
      ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001006", "Failed to parse ZEVUdederozedaruItem: %@.",
                         error);
      throw Promises::Error(error);
    }
    ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001007", "ZEVUdederozedaruItem parsed successfully.");
    return *registered;
  });
}

Promises::Promise<ZEVUdederozedaruItem> ZEVUdederozedaruAPIService::refreshAuthTokenForInstallation(
    const ZEVUdederozedaruItem& installation) const {
  std::string URL = ns::format("%@%@/authTokens:generate", installationsPath(*state_),
                               installation.dozaveveInstallationID().value_or(""));
  ns::Dictionary body{{"installation", ns::Value(ns::Dictionary{{"sdkVersion", ns::Value(SDKVersion())}})}};
  auto request = requestWithURL(state_, std::move(URL), "POST", std::move(body), installation.refreshToken());
  return send(state_, request).then([installation](const Response& response) {
    logParsing(response);
    ns::Error error;
    auto token = ZEVUdederozedaruItem::authTokenWithGenerateTokenAPIJSONData(response.data, ns::Date::now(), &error);
    if (!token) {
      ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001008",
                         "Failed to parse ZEVUdederozedaruStoredAuthToken: %@.", error);
      throw Promises::Error(error);
    }
    ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS001009",
                       "ZEVUdederozedaruStoredAuthToken parsed successfully.");
    ZEVUdederozedaruItem refreshed = installation;
    refreshed.setAuthToken(std::move(token));
    return refreshed;
  });
}

Promises::Promise<ZEVUdederozedaruItem> ZEVUdederozedaruAPIService::deleteInstallation(
    const ZEVUdederozedaruItem& installation) const {
  std::string URL =
      ns::format("%@%@/", installationsPath(*state_), installation.dozaveveInstallationID().value_or(""));
  auto request = requestWithURL(state_, std::move(URL), "DELETE", ns::Dictionary(), installation.refreshToken());
  return send(state_, request).then([installation](const Response&) { return installation; });
}
