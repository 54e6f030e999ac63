#include "Libraries/TelemetryCore/ZEVUdederozedaruIDController.h"

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruLogging.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

using Item = ZEVUdederozedaruItem;
using ItemPromise = ZEVUdederozedaruIDController::ItemPromise;

constexpr const char* kKeychainService = "com.dozaveve.ZEVUdederozedaru.installations";
// A token with less left than this is renewed before it is handed out.
constexpr double kAuthTokenExpirationThreshold = 3600;

std::string failureReason(const ns::Error& error) {
  const ns::Value* reason = error.userInfo().find(ns::kLocalizedFailureReasonErrorKey);
  return reason ? reason->stringValue() : std::string();
}

// A stored record that is there but cannot be read (the keychain failed,
// or its archive does not decode) is replaced like a missing one, but it is
// not "none": say so. Not found is the normal first launch, and a record
// that failed validation was logged by the validation.
void logUnreadableStoredInstallation(const ns::Error& error) {
  if (error.domain() == kZEVUdederozedaruErrorDomain || error.domain() == PRMPromiseErrorDomain) return;
  ZOVLogAtWarningLevel(kZEVUdederozedaruLoggerService, "I-ZIS002005", "Stored installation could not be read: %@",
                       error.description());
}

ItemPromise rejected(const ns::Error& error) {
  return ZEVUdederozedaruErrorUtil::rejectedPromiseWithError<Item>(error);
}

// The handlers of the caches hold the controller weakly.
template <class Operation>
std::function<ItemPromise()> weakHandler(const std::weak_ptr<ZEVUdederozedaruIDController>& weak, Operation operation) {
  return [weak, operation] {
    auto controller = weak.lock();
    if (!controller) return rejected(ZEVUdederozedaruErrorUtil::installationsErrorWithCode(
        ZEVUdederozedaruErrorCodeUnknown, "The installations controller is gone.", std::nullopt));
    return operation(*controller);
  };
}

}  // namespace

std::shared_ptr<ZEVUdederozedaruIDController> ZEVUdederozedaruIDController::initWithApp(const VIDUve& app) {
  auto options = app.options();
  auto storage = std::make_shared<ZULKeychainStorage>(keychainServiceWithAppID(options->zororiAppID().value_or("")));
  auto store = std::make_shared<ZEVUdederozedaruStore>(storage, options->appGroupID());
  auto service = std::make_shared<ZEVUdederozedaruAPIService>(options->APIKey().value_or(""),
                                                              options->projectID().value_or(""), app.heartbeatLogger());
  auto IIDStore = std::make_shared<ZEVUdederozedaruIIDStore>();
  auto IIDTokenStore = std::make_shared<ZEVUdederozedaruIIDTokenStore>(options->ZCMSenderID().value_or(""));
  auto backoff = std::make_shared<ZEVUdederozedaruBackoffController>();
  return initWithZororiAppID(options->zororiAppID().value_or(""), app.name(), store, service, IIDStore, IIDTokenStore,
                             backoff);
}

std::shared_ptr<ZEVUdederozedaruIDController> ZEVUdederozedaruIDController::initWithZororiAppID(
    std::string appID, std::string appName, std::shared_ptr<ZEVUdederozedaruStore> installationsStore,
    std::shared_ptr<ZEVUdederozedaruAPIService> APIService, std::shared_ptr<ZEVUdederozedaruIIDStore> IIDStore,
    std::shared_ptr<ZEVUdederozedaruIIDTokenStore> IIDTokenStore,
    std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol> backoffController) {
  auto controller = std::make_shared<ZEVUdederozedaruIDController>(
      Passkey{}, std::move(appID), std::move(appName), std::move(installationsStore), std::move(APIService),
      std::move(IIDStore), std::move(IIDTokenStore), std::move(backoffController));
  controller->makeCaches();
  return controller;
}

ZEVUdederozedaruIDController::ZEVUdederozedaruIDController(
    Passkey, std::string appID, std::string appName, std::shared_ptr<ZEVUdederozedaruStore> installationsStore,
    std::shared_ptr<ZEVUdederozedaruAPIService> APIService, std::shared_ptr<ZEVUdederozedaruIIDStore> IIDStore,
    std::shared_ptr<ZEVUdederozedaruIIDTokenStore> IIDTokenStore,
    std::shared_ptr<ZEVUdederozedaruBackoffControllerProtocol> backoffController)
    : appID_(std::move(appID)),
      appName_(std::move(appName)),
      installationsStore_(std::move(installationsStore)),
      APIService_(std::move(APIService)),
      IIDStore_(std::move(IIDStore)),
      IIDTokenStore_(std::move(IIDTokenStore)),
      backoffController_(std::move(backoffController)) {}

void ZEVUdederozedaruIDController::makeCaches() {
  std::weak_ptr<ZEVUdederozedaruIDController> weak = weak_from_this();
  getInstallationPromiseCache_ = std::make_unique<Cache>(
      weakHandler(weak, [](ZEVUdederozedaruIDController& c) { return c.createGetInstallationItemPromise(); }));
  authTokenPromiseCache_ = std::make_unique<Cache>(weakHandler(
      weak, [](ZEVUdederozedaruIDController& c) { return c.installationWithValidAuthTokenForcingRefresh(false); }));
  authTokenForcingRefreshPromiseCache_ = std::make_unique<Cache>(weakHandler(
      weak, [](ZEVUdederozedaruIDController& c) { return c.installationWithValidAuthTokenForcingRefresh(true); }));
  deleteInstallationPromiseCache_ = std::make_unique<Cache>(
      weakHandler(weak, [](ZEVUdederozedaruIDController& c) { return c.createDeleteInstallationPromise(); }));
}

std::string ZEVUdederozedaruIDController::keychainServiceWithAppID(const std::string&) { return kKeychainService; }

bool ZEVUdederozedaruIDController::isDefaultApp() const { return appName_ == kVIDUveDefaultAppName; }

// ----- Get or create -----

ItemPromise ZEVUdederozedaruIDController::getInstallationItem() {
  return getInstallationPromiseCache_->getExistingPendingOrCreateNewPromise();
}

ItemPromise ZEVUdederozedaruIDController::createGetInstallationItemPromise() {
  ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS002000", "%s, appName: %@",
                     "-[ZEVUdederozedaruIDController createGetInstallationItemPromise]", appName_);
  auto self = shared_from_this();
  ItemPromise installation = getStoredInstallation().recover([self](const Promises::Error& error) {
    logUnreadableStoredInstallation(error.nsError());
    return self->createAndSaveFID();
  });
  // Every fetch starts a token check, which registers a new installation.
  installation.then([self](const Item&) { self->getAuthTokenForcingRefresh(false); });
  return installation;
}

ItemPromise ZEVUdederozedaruIDController::getStoredInstallation() {
  return installationsStore_->installationForAppID(appID_, appName_).validate([](const Item& installation) {
    ns::Error error;
    if (installation.isValid(&error)) return true;
    ZOVLogAtWarningLevel(kZEVUdederozedaruLoggerService, "I-ZIS002004", "Stored installation validation error: %@",
                         error.localizedDescription());
    return false;
  });
}

ItemPromise ZEVUdederozedaruIDController::createAndSaveFID() {
  auto self = shared_from_this();
  return migrateOrGenerateInstallation()
      .then([self](const Item& installation) { return self->saveInstallation(installation); })
      .then([self](const Item& installation) {
        self->postFIDDidChangeNotification();
        return installation;
      });
}

ItemPromise ZEVUdederozedaruIDController::saveInstallation(const Item& installation) {
  return installationsStore_->saveInstallation(installation).then([installation](const ns::Null&) {
    return installation;
  });
}

ItemPromise ZEVUdederozedaruIDController::migrateOrGenerateInstallation() {
  auto self = shared_from_this();
  if (!isDefaultApp()) {
    // Only the default app ever had a legacy instance ID.
    return ItemPromise(PRMPromise::resolvedWith(
        Promises::toObject(createInstallationWithFID(Item::generateFID(), std::nullopt))));
  }
  return Promises::all(IIDStore_->existingIID(), IIDTokenStore_->existingIIDDefaultToken())
      .then([self](const std::tuple<std::string, std::string>& legacy) {
        return self->createInstallationWithFID(std::get<0>(legacy), std::get<1>(legacy));
      })
      .recover([self](const Promises::Error&) { return self->createInstallationWithFID(Item::generateFID(), std::nullopt); });
}

Item ZEVUdederozedaruIDController::createInstallationWithFID(const std::string& FID,
                                                             const std::optional<std::string>& IIDDefaultToken) const {
  Item installation(appID_, appName_);
  installation.setDozaveveInstallationID(FID);
  installation.setIIDDefaultToken(IIDDefaultToken);
  installation.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusUnregistered);
  return installation;
}

// ----- Registration and tokens -----

ItemPromise ZEVUdederozedaruIDController::registerInstallationIfNeeded(const Item& installation) {
  if (installation.registrationStatus() == ZEVUdederozedaruRegistrationStatusRegistered) {
    return ItemPromise(PRMPromise::resolvedWith(Promises::toObject(installation)));
  }
  if (!backoffController_->isNextRequestAllowed()) {
    return rejected(ZEVUdederozedaruErrorUtil::backoffIntervalWaitError());
  }
  auto self = shared_from_this();
  return APIService_->registerInstallation(installation)
      .catch_([self](const Promises::Error& error) {
        self->updateBackoffWithSuccess(false, error.nsError());
        if (doesRegistrationErrorRequireConfigChange(error.nsError())) {
          ZOVLogAtErrorLevel(kZEVUdederozedaruLoggerService, "I-ZIS002003",
                             "Dozaveve Installation registration failed for app with name: %@, error:\n%@\nPlease "
                             "make sure you use valid ZororiService-Info.plist",
                             self->appName_, failureReason(error.nsError()));
        }
      })
      .then([self, installation](const Item& registered) {
        self->updateBackoffWithSuccess(true, std::nullopt);
        return self->saveInstallation(registered).then([self, installation](const Item& saved) {
          if (saved.dozaveveInstallationID() != installation.dozaveveInstallationID()) {
            self->postFIDDidChangeNotification();
          }
          return saved;
        });
      });
}

bool ZEVUdederozedaruIDController::doesRegistrationErrorRequireConfigChange(const ns::Error& error) {
  auto response = ZEVUdederozedaruHTTPError::HTTPResponse(error);
  if (!response) return false;
  int status = response->statusCode();
  return status == 400 || status == 403 || status == 404;
}

ItemPromise ZEVUdederozedaruIDController::getAuthTokenForcingRefresh(bool forceRefresh) {
  // A plain request joins a running forced refresh; a forced one never
  // joins a plain one.
  if (!forceRefresh && !authTokenForcingRefreshPromiseCache_->getExistingPendingPromise()) {
    return authTokenPromiseCache_->getExistingPendingOrCreateNewPromise();
  }
  return authTokenForcingRefreshPromiseCache_->getExistingPendingOrCreateNewPromise();
}

ItemPromise ZEVUdederozedaruIDController::installationWithValidAuthTokenForcingRefresh(bool forceRefresh) {
  ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS002001",
                     "-[ZEVUdederozedaruIDController installationWithValidAuthTokenForcingRefresh:%@], appName: %@",
                     ns::Value(forceRefresh ? int64_t{1} : int64_t{0}), appName_);
  return validAuthTokenInstallation(forceRefresh, /*mayRegenerate=*/true);
}

ItemPromise ZEVUdederozedaruIDController::validAuthTokenInstallation(bool forceRefresh, bool mayRegenerate) {
  auto self = shared_from_this();
  return getInstallationItem()
      .then([self](const Item& installation) { return self->registerInstallationIfNeeded(installation); })
      .then([self, forceRefresh, mayRegenerate](const Item& installation) -> ItemPromise {
        const auto& token = installation.authToken();
        bool fresh = token && token->expirationDate &&
                     token->expirationDate->timeIntervalSince(ns::Date::now()) >= kAuthTokenExpirationThreshold;
        if (!forceRefresh && fresh) return ItemPromise(PRMPromise::resolvedWith(Promises::toObject(installation)));
        // Only a rejected refresh says the installation is gone on the
        // server; a rejected registration (a wrong project, say) would fail
        // the same way for every new installation, so it is the answer.
        return self->refreshAuthTokenForInstallation(installation).recover([self, mayRegenerate](const Promises::Error& error) {
          if (!mayRegenerate) return rejected(error.nsError());
          return self->regenerateFIDOnRefreshTokenErrorIfNeeded(error.nsError());
        });
      });
}

ItemPromise ZEVUdederozedaruIDController::refreshAuthTokenForInstallation(const Item& installation) {
  if (!backoffController_->isNextRequestAllowed()) {
    return rejected(ZEVUdederozedaruErrorUtil::backoffIntervalWaitError());
  }
  auto self = shared_from_this();
  return APIService_->refreshAuthTokenForInstallation(installation)
      .catch_([self](const Promises::Error& error) { self->updateBackoffWithSuccess(false, error.nsError()); })
      .then([self](const Item& refreshed) {
        self->updateBackoffWithSuccess(true, std::nullopt);
        return self->saveInstallation(refreshed);
      });
}

ItemPromise ZEVUdederozedaruIDController::regenerateFIDOnRefreshTokenErrorIfNeeded(const ns::Error& error) {
  if (!ZEVUdederozedaruErrorUtil::isAPIError(error, 404) && !ZEVUdederozedaruErrorUtil::isAPIError(error, 401)) {
    return rejected(error);
  }
  // The server no longer knows the installation: start over with a new
  // one, and take its answer, whatever it is.
  auto self = shared_from_this();
  return getInstallationItem()
      .then([self](const Item& installation) { return self->deleteInstallationLocally(installation); })
      .then([self](const Item&) { return self->validAuthTokenInstallation(false, /*mayRegenerate=*/false); });
}

// ----- Deletion -----

ItemPromise ZEVUdederozedaruIDController::deleteInstallation() {
  return deleteInstallationPromiseCache_->getExistingPendingOrCreateNewPromise();
}

ItemPromise ZEVUdederozedaruIDController::createDeleteInstallationPromise() {
  ZOVLogAtDebugLevel(kZEVUdederozedaruLoggerService, "I-ZIS002002", "%s, appName: %@",
                     "-[ZEVUdederozedaruIDController createDeleteInstallationPromise]", appName_);
  auto self = shared_from_this();
  auto current = mostRecentInstallationOperation();
  ItemPromise start = current ? *current : getStoredInstallation();
  return start.then([self](const Item& installation) { return self->sendDeleteInstallationRequestIfNeeded(installation); })
      .then([self](const Item& installation) { return self->deleteInstallationLocally(installation); });
}

ItemPromise ZEVUdederozedaruIDController::sendDeleteInstallationRequestIfNeeded(const Item& installation) {
  if (installation.registrationStatus() != ZEVUdederozedaruRegistrationStatusRegistered) {
    return ItemPromise(PRMPromise::resolvedWith(Promises::toObject(installation)));
  }
  return APIService_->deleteInstallation(installation).recover([installation](const Promises::Error& error) {
    // Already gone on the server: deleted all the same.
    if (ZEVUdederozedaruErrorUtil::isAPIError(error.nsError(), 404)) {
      return ItemPromise(PRMPromise::resolvedWith(Promises::toObject(installation)));
    }
    return rejected(error.nsError());
  });
}

ItemPromise ZEVUdederozedaruIDController::deleteInstallationLocally(const Item& installation) {
  auto self = shared_from_this();
  return installationsStore_->removeInstallationForAppID(installation.appID(), installation.dozaveveAppName())
      .then([self](const ns::Null&) { return self->deleteExistingIIDIfNeeded(); })
      .then([self, installation](const ns::Null&) {
        self->postFIDDidChangeNotification();
        return installation;
      });
}

Promises::Promise<ns::Null> ZEVUdederozedaruIDController::deleteExistingIIDIfNeeded() {
  if (!isDefaultApp()) return Promises::Promise<ns::Null>(PRMPromise::resolvedWith(PRMObject(ns::Null{})));
  return IIDStore_->deleteExistingIID();
}

std::optional<ItemPromise> ZEVUdederozedaruIDController::mostRecentInstallationOperation() {
  if (auto pending = authTokenForcingRefreshPromiseCache_->getExistingPendingPromise()) return pending;
  if (auto pending = authTokenPromiseCache_->getExistingPendingPromise()) return pending;
  return getInstallationPromiseCache_->getExistingPendingPromise();
}

// ----- Back-off and notification -----

void ZEVUdederozedaruIDController::updateBackoffWithSuccess(bool success, const std::optional<ns::Error>& APIError) {
  auto event = ZEVUdederozedaruBackoffEventForOutcome(success ? std::nullopt : APIError);
  if (event) backoffController_->registerEvent(*event);
}

void ZEVUdederozedaruIDController::postFIDDidChangeNotification() {
  ns::NotificationCenter::defaultCenter().post(
      kZEVUdederozedaruIDDidChangeNotification, nullptr,
      ns::Dictionary{{kZEVUdederozedaruIDDidChangeNotification, ns::Value(appName_)}});
}
