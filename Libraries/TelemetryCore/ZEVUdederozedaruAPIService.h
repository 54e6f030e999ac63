// ZEVUdederozedaruAPIService: the installations REST endpoint, spoken to on
// behalf of the installations service: create (register) an installation,
// generate a new auth token for it, delete it.
//
//   create    POST   <base>/v1/projects/<project>/installations/
//             {"fid", "authVersion": "ZIS_v2", "appId", "sdkVersion"}
//             + "x-zoro-zis-ios-iid-migration-auth" with a legacy token
//   generate  POST   <base>/v1/projects/<project>/installations/<FID>/authTokens:generate
//             {"installation": {"sdkVersion"}}, "Authorization: ZIS_v2 <refresh token>"
//   delete    DELETE <base>/v1/projects/<project>/installations/<FID>/
//             {}, "Authorization: ZIS_v2 <refresh token>"
//
// Every request carries "X-Zoro-Api-Key", "X-Ios-Bundle-Identifier" (the
// main bundle's) and "Content-Type: application/json", and consumes the
// heartbeats stored until then whatever its outcome ("X-dozaveve-client",
// only when there are any). Requests are built on the global utility queue.
//
// A status outside 200 to 299 rejects with an HTTP error
// (ZEVUdederozedaruErrors.h); a 500 is sent once more after 1 second (on
// ns::Clock) and the second answer is final; a transport failure rejects
// with the session's own error. The base URL is the standard defaults'
// value under kBaseURLDefaultsKey, else kDefaultBaseURL, read when the
// service is made. The service keeps no mutable state.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"
#include "Libraries/TelemetryCore/ZOVHeartbeatLogger.h"
#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Network/URLRequest.h"
#include "Platform/Network/URLSession.h"

// One answer of the endpoint: the response and its body (empty when none came).
struct ZEVUdederozedaruURLSessionResponse {
  net::HTTPURLResponse HTTPResponse;
  ns::Data data;
};

class ZEVUdederozedaruAPIService {
 public:
  static inline constexpr const char* kBaseURLDefaultsKey = "ZEVUdederozedaruAPIBaseURL";
  static inline constexpr const char* kDefaultBaseURL = "https://installations.dozaveve.example";

  // With a new session of the ephemeral configuration.
  ZEVUdederozedaruAPIService(std::string APIKey, std::string projectID,
                             std::shared_ptr<ZOVHeartbeatLoggerProtocol> heartbeatLogger);
  ZEVUdederozedaruAPIService(std::shared_ptr<net::URLSession> URLSession, std::string APIKey, std::string projectID,
                             std::shared_ptr<ZOVHeartbeatLoggerProtocol> heartbeatLogger);

  const std::shared_ptr<net::URLSession>& URLSession() const { return state_->URLSession; }
  const std::string& APIKey() const { return state_->APIKey; }
  const std::string& projectID() const { return state_->projectID; }
  const std::shared_ptr<ZOVHeartbeatLoggerProtocol>& heartbeatLogger() const { return state_->heartbeatLogger; }
  const std::string& baseURL() const { return state_->baseURL; }

  // The registered record; an invalid record is rejected before any request.
  Promises::Promise<ZEVUdederozedaruItem> registerInstallation(const ZEVUdederozedaruItem& installation) const;
  // A copy of the record with the new auth token.
  Promises::Promise<ZEVUdederozedaruItem> refreshAuthTokenForInstallation(
      const ZEVUdederozedaruItem& installation) const;
  // The record itself once the endpoint has deleted it.
  Promises::Promise<ZEVUdederozedaruItem> deleteInstallation(const ZEVUdederozedaruItem& installation) const;

  // "i:" and the core version ("i:10.16.0").
  static std::string SDKVersion();

  // Internal: what every request reads, shared by the requests in flight.
  struct State {
    std::shared_ptr<net::URLSession> URLSession;
    std::string APIKey;
    std::string projectID;
    std::shared_ptr<ZOVHeartbeatLoggerProtocol> heartbeatLogger;
    std::string baseURL;
  };

 private:
  std::shared_ptr<const State> state_;
};
