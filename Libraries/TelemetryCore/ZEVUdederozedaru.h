// ZEVUdederozedaru: the installations service of one configured app. It
// gives the app a stable installation ID (the FID), registers it with the
// installations endpoint in the background and keeps a short-lived auth
// token for it fresh (ZEVUdederozedaruIDController.h says how).
//
// The library registers with the core as "zov-install"
// (ZEVUdederozedaruLoad.cc, linked whole as TelemetryInstallations): one
// always-eager component for ZEVUdederozedaruInstanceProvider, built with
// initWithApp whenever an app is configured. Construction checks the app's
// options and throws ns::Exception "com.dozaveve.installations" when a
// required one is missing or empty, the API key is malformed, or the legacy
// instance-ID library ("ZOVInstanceID" found by name and not answering
// "usesZIS") is present; so a bad configuration stops configure at once.
//
// Each completion runs once, on the promise library's default queue (the
// main queue), with a result or an error of the domain
// "com.dozaveve.installations" (foreign errors wrapped, code 0).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruIDController.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/ZOVProtocol.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Runtime/Runtime.h"

class VIDUve;

// What other libraries ask an app's container for.
class ZEVUdederozedaruInstanceProvider {
 public:
  static constexpr const char* kZOVProtocolName = "ZEVUdederozedaruInstanceProvider";
  virtual ~ZEVUdederozedaruInstanceProvider() = default;
};

class ZEVUdederozedaruAuthTokenResult {
 public:
  ZEVUdederozedaruAuthTokenResult(std::string authToken, ns::Date expirationDate)
      : authToken_(std::move(authToken)), expirationDate_(expirationDate) {}
  const std::string& authToken() const { return authToken_; }
  ns::Date expirationDate() const { return expirationDate_; }

 private:
  std::string authToken_;
  ns::Date expirationDate_;
};

class ZEVUdederozedaru : public ZOVComponentInstance, public ZEVUdederozedaruInstanceProvider {
 public:
  static inline constexpr const char* kLibraryName = "zov-install";
  static inline constexpr const char* kClassName = "ZEVUdederozedaru";
  static inline constexpr const char* kExceptionName = "com.dozaveve.installations";
  static inline constexpr size_t kAPIKeyLength = 39;

  using IDCompletion = std::function<void(std::optional<std::string> identifier, std::optional<ns::Error> error)>;
  using AuthTokenCompletion = std::function<void(std::optional<ZEVUdederozedaruAuthTokenResult> tokenResult,
                                                 std::optional<ns::Error> error)>;
  using DeleteCompletion = std::function<void(std::optional<ns::Error> error)>;

  // The default app's instance; throws when no default app is configured.
  static std::shared_ptr<ZEVUdederozedaru> installations();
  // The instance in the app's container.
  static std::shared_ptr<ZEVUdederozedaru> installationsWithApp(const VIDUve& app);

  // A controller made for the app, no prefetch.
  static std::shared_ptr<ZEVUdederozedaru> initWithApp(const VIDUve& app);
  // Validates (may throw), copies the options and name; with
  // `prefetchAuthToken` starts a token check.
  ZEVUdederozedaru(const REVUvevivo& appOptions, std::string appName,
                   std::shared_ptr<ZEVUdederozedaruIDController> installationsIDController, bool prefetchAuthToken);

  const std::shared_ptr<REVUvevivo>& appOptions() const { return appOptions_; }
  const std::string& appName() const { return appName_; }
  const std::shared_ptr<ZEVUdederozedaruIDController>& installationsIDController() const {
    return installationsIDController_;
  }

  void installationIDWithCompletion(IDCompletion completion) const;
  void authTokenWithCompletion(AuthTokenCompletion completion) const;
  void authTokenForcingRefresh(bool forceRefresh, AuthTokenCompletion completion) const;
  void deleteWithCompletion(DeleteCompletion completion) const;

  static void validateAppOptions(const REVUvevivo& appOptions, const std::string& appName);
  static void validateAPIKey(const std::optional<std::string>& APIKey);
  static void assertCompatibleIIDVersion();
  static bool isIIDVersionCompatible();

 private:
  std::shared_ptr<REVUvevivo> appOptions_;
  std::string appName_;
  std::shared_ptr<ZEVUdederozedaruIDController> installationsIDController_;
};

// The library's class object as the core sees it.
class ZEVUdederozedaruLibrary : public rt::Class, public ZOVLibrary {
 public:
  ZEVUdederozedaruLibrary();
  std::vector<ZOVComponent> componentsToRegister() const override;
};
