// ZEVUdederozedaruIDController: every operation of the installations
// service, each a chain of promises whose steps run on the default queue
// (the main queue).
//
//   get       the stored record (when valid), else a new one: for the
//             default app migrated from the legacy instance ID when both
//             its identifier and token are there, else a new FID; saved,
//             then the change notification. Each get that ends with a
//             record starts a token check in the background.
//   token     the record, registered when it is not yet (back-off
//             permitting), its auth token refreshed when forced or when
//             less than 3600 s are left. A refresh answered HTTP 401 or
//             404 deletes the local record and makes, registers and
//             returns a new installation, once per operation: when the new
//             one fails too, that error is the answer. A registration
//             answered 400, 403 or 404 logs I-ZIS002003 and fails.
//   delete    after whatever operation runs now, the endpoint's record
//             (only when registered; a 404 counts as deleted), then the
//             local record, the legacy traces for the default app, and the
//             change notification.
//
// Concurrent callers share one running operation per kind: a plain token
// request joins a running forced refresh, never the other way round. The
// change notification ("ZOVInstallationIDDidChangeNotification", user info
// {that name: the app's name}) follows a new record, a registration that
// returned another FID, and every local deletion.
//
// The controller keeps no mutable state besides its caches; its operations
// keep it alive until they end.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaruAPIService.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruBackoffController.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDStore.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruIIDTokenStore.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruSingleOperationPromiseCache.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruStore.h"
#include "Libraries/TelemetryFoundation/Promise.h"

class VIDUve;

inline constexpr const char* kZEVUdederozedaruIDDidChangeNotification = "ZOVInstallationIDDidChangeNotification";

class ZEVUdederozedaruIDController : public std::enable_shared_from_this<ZEVUdederozedaruIDController> {
 public:
  using ItemPromise = Promises::Promise<ZEVUdederozedaruItem>;
  using Cache = ZEVUdederozedaruSingleOperationPromiseCache<ZEVUdederozedaruItem>;

  // The keychain storage of keychainServiceWithAppID, the store (with the
  // options' app group), the API service (options' API key and project ID,
  // the app's heartbeat logger), the legacy stores (options' sender ID) and
  // a back-off controller.
  static std::shared_ptr<ZEVUdederozedaruIDController> initWithApp(const VIDUve& app);
  static std::shared_ptr<ZEVUdederozedaruIDController> initWithZororiAppID(
      std::string appID, std::string appName, std::shared_ptr<ZEVUdederozedaruStore> installationsStore,
      std::shared_ptr<ZEVUdederozedaruAPIService> APIService, std::shared_ptr<ZEVUdederozedaruIIDStore> IIDStore,
      std::shared_ptr<ZEVUdederozedaruIIDTokenStore> IIDTokenStore,
      std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol> backoffController);

  // "com.dozaveve.ZEVUdederozedaru.installations", whatever the app ID.
  static std::string keychainServiceWithAppID(const std::string& appID);

  ItemPromise getInstallationItem();
  ItemPromise getAuthTokenForcingRefresh(bool forceRefresh);
  // Fulfils (with the deleted record) once the installation is deleted.
  ItemPromise deleteInstallation();

  const std::string& appID() const { return appID_; }
  const std::string& appName() const { return appName_; }
  const std::shared_ptr<ZEVUdederozedaruStore>& installationsStore() const { return installationsStore_; }
  const std::shared_ptr<ZEVUdederozedaruIIDStore>& IIDStore() const { return IIDStore_; }
  const std::shared_ptr<ZEVUdederozedaruIIDTokenStore>& IIDTokenStore() const { return IIDTokenStore_; }
  const std::shared_ptr<ZEVUdederozedaruAPIService>& APIService() const { return APIService_; }
  const std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol>& backoffController() const {
    return backoffController_;
  }

  // Whether the app is the default app ("__VIDUVE_DEFAULT").
  bool isDefaultApp() const;
  static bool doesRegistrationErrorRequireConfigChange(const ns::Error& error);

  struct Passkey {};
  ZEVUdederozedaruIDController(Passkey, std::string appID, std::string appName,
                               std::shared_ptr<ZEVUdederozedaruStore> installationsStore,
                               std::shared_ptr<ZEVUdederozedaruAPIService> APIService,
                               std::shared_ptr<ZEVUdederozedaruIIDStore> IIDStore,
                               std::shared_ptr<ZEVUdederozedaruIIDTokenStore> IIDTokenStore,
                               std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol> backoffController);

 private:
  void makeCaches();

  ItemPromise createGetInstallationItemPromise();
  ItemPromise getStoredInstallation();
  ItemPromise createAndSaveFID();
  ItemPromise saveInstallation(const ZEVUdederozedaruItem& installation);
  ItemPromise migrateOrGenerateInstallation();
  ZEVUdederozedaruItem createInstallationWithFID(const std::string& FID,
                                                 const std::optional<std::string>& IIDDefaultToken) const;
  ItemPromise registerInstallationIfNeeded(const ZEVUdederozedaruItem& installation);
  ItemPromise installationWithValidAuthTokenForcingRefresh(bool forceRefresh);
  // `mayRegenerate`: whether a refresh answered 401 or 404 may still be
  // answered by a new installation in this operation.
  ItemPromise validAuthTokenInstallation(bool forceRefresh, bool mayRegenerate);
  ItemPromise refreshAuthTokenForInstallation(const ZEVUdederozedaruItem& installation);
  ItemPromise regenerateFIDOnRefreshTokenErrorIfNeeded(const ns::Error& error);
  ItemPromise createDeleteInstallationPromise();
  ItemPromise deleteInstallationLocally(const ZEVUdederozedaruItem& installation);
  ItemPromise sendDeleteInstallationRequestIfNeeded(const ZEVUdederozedaruItem& installation);
  Promises::Promise<ns::Null> deleteExistingIIDIfNeeded();
  std::optional<ItemPromise> mostRecentInstallationOperation();
  void updateBackoffWithSuccess(bool success, const std::optional<ns::Error>& APIError);
  void postFIDDidChangeNotification();

  const std::string appID_;
  const std::string appName_;
  const std::shared_ptr<ZEVUdederozedaruStore> installationsStore_;
  const std::shared_ptr<ZEVUdederozedaruAPIService> APIService_;
  const std::shared_ptr<ZEVUdederozedaruIIDStore> IIDStore_;
  const std::shared_ptr<ZEVUdederozedaruIIDTokenStore> IIDTokenStore_;
  const std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol> backoffController_;
  std::unique_ptr<Cache> getInstallationPromiseCache_;
  std::unique_ptr<Cache> authTokenPromiseCache_;
  std::unique_ptr<Cache> authTokenForcingRefreshPromiseCache_;
  std::unique_ptr<Cache> deleteInstallationPromiseCache_;
};
