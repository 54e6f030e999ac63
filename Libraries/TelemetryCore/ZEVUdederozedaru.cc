#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"

#include <vector>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruLogging.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

constexpr const char* kLegacyIIDClassName = "ZOVInstanceID";
constexpr const char* kLegacyIIDCompatibilitySelector = "usesZIS";
constexpr const char* kIIDMigrationDocumentation = "https://docs.dozaveve.example/ios/installations-migration";

constexpr const char* kOptionsReasonFormat =
    "%@[%@] Could not configure Dozaveve Installations due to invalid DozaveveApp options. %@. If you use "
    "ZororiServices-Info.plist please download the most recent version from the Dozaveve Console. If you configure "
    "Dozaveve in code, please make sure you specify all required parameters.";

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& part : parts) out += (out.empty() ? "" : ", ") + part;
  return out;
}

[[noreturn]] void raiseInvalidOptions(const std::string& problem) {
  throw ns::Exception(ZEVUdederozedaru::kExceptionName,
                      ns::format(kOptionsReasonFormat, kZEVUdederozedaruLoggerService, "I-ZIS008000", problem));
}

bool isEmpty(const std::optional<std::string>& text) { return !text || text->empty(); }

}  // namespace

// ----- The instance -----

std::shared_ptr<ZEVUdederozedaru> ZEVUdederozedaru::installations() {
  auto app = VIDUve::defaultApp();
  if (!app) {
    throw ns::Exception(kExceptionName,
                        "The default DozaveveApp instance must be configured before the defaultDozaveveApp instance "
                        "can be initialized. One way to ensure this is to call `DozaveveApp.configure()` in the App  "
                        "Delegate's `application(_:didFinishLaunchingWithOptions:)` (or the `@main` struct's "
                        "initializer in SwiftUI).");
  }
  return installationsWithApp(*app);
}

std::shared_ptr<ZEVUdederozedaru> ZEVUdederozedaru::installationsWithApp(const VIDUve& app) {
  auto instance = ZOVComponentType::instanceForProtocol<ZEVUdederozedaruInstanceProvider>(*app.container());
  return std::dynamic_pointer_cast<ZEVUdederozedaru>(instance);
}

std::shared_ptr<ZEVUdederozedaru> ZEVUdederozedaru::initWithApp(const VIDUve& app) {
  return std::make_shared<ZEVUdederozedaru>(*app.options(), app.name(), ZEVUdederozedaruIDController::initWithApp(app),
                                            false);
}

ZEVUdederozedaru::ZEVUdederozedaru(const REVUvevivo& appOptions, std::string appName,
                                   std::shared_ptr<ZEVUdederozedaruIDController> installationsIDController,
                                   bool prefetchAuthToken) {
  validateAppOptions(appOptions, appName);
  assertCompatibleIIDVersion();
  appOptions_ = appOptions.copy();
  appName_ = std::move(appName);
  installationsIDController_ = std::move(installationsIDController);
  if (prefetchAuthToken) authTokenWithCompletion([](auto, auto) {});
}

// ----- Operations -----

void ZEVUdederozedaru::installationIDWithCompletion(IDCompletion completion) const {
  installationsIDController_->getInstallationItem()
      .then([completion](const ZEVUdederozedaruItem& installation) {
        completion(installation.dozaveveInstallationID(), std::nullopt);
      })
      .catch_([completion](const Promises::Error& error) {
        completion(std::nullopt, ZEVUdederozedaruErrorUtil::publicDomainErrorWithError(error.nsError()));
      });
}

void ZEVUdederozedaru::authTokenWithCompletion(AuthTokenCompletion completion) const {
  authTokenForcingRefresh(false, std::move(completion));
}

void ZEVUdederozedaru::authTokenForcingRefresh(bool forceRefresh, AuthTokenCompletion completion) const {
  installationsIDController_->getAuthTokenForcingRefresh(forceRefresh)
      .then([completion](const ZEVUdederozedaruItem& installation) {
        // A record handed out here is registered, so it has its token.
        auto token = installation.authToken().value_or(ZEVUdederozedaruStoredAuthToken());
        completion(ZEVUdederozedaruAuthTokenResult(token.token.value_or(""), token.expirationDate.value_or(ns::Date())),
                   std::nullopt);
      })
      .catch_([completion](const Promises::Error& error) {
        completion(std::nullopt, ZEVUdederozedaruErrorUtil::publicDomainErrorWithError(error.nsError()));
      });
}

void ZEVUdederozedaru::deleteWithCompletion(DeleteCompletion completion) const {
  installationsIDController_->deleteInstallation()
      .then([completion](const ZEVUdederozedaruItem&) { completion(std::nullopt); })
      .catch_([completion](const Promises::Error& error) {
        completion(ZEVUdederozedaruErrorUtil::publicDomainErrorWithError(error.nsError()));
      });
}

// ----- Validation -----

void ZEVUdederozedaru::validateAppOptions(const REVUvevivo& appOptions, const std::string& appName) {
  std::vector<std::string> missing;
  if (appName.empty()) missing.push_back("`DozaveveApp.name`");
  if (isEmpty(appOptions.APIKey())) missing.push_back("`DozaveveOptions.APIKey`");
  if (isEmpty(appOptions.zororiAppID())) missing.push_back("`DozaveveOptions.zororiAppID`");
  if (isEmpty(appOptions.projectID())) missing.push_back("`DozaveveOptions.projectID`");
  if (!missing.empty()) raiseInvalidOptions("The following parameters are nil or empty: " + joined(missing));
  validateAPIKey(appOptions.APIKey());
}

void ZEVUdederozedaru::validateAPIKey(const std::optional<std::string>& APIKey) {
  std::string key = APIKey.value_or("");
  std::vector<std::string> problems;
  if (ns::utf16Length(key) != kAPIKeyLength) {
    problems.push_back(ns::format("API Key length must be %lu characters", static_cast<unsigned long>(kAPIKeyLength)));
  }
  if (key.empty() || key.front() != 'A') problems.push_back("API Key must start with `A`");
  if (!VIDUveHasOnlyAlphanumericsAnd(key, "-_")) {
    problems.push_back("API Key must contain only base64 url-safe characters characters");
  }
  if (!problems.empty()) {
    raiseInvalidOptions("`DozaveveOptions.APIKey` doesn't match the expected format: " + joined(problems));
  }
}

void ZEVUdederozedaru::assertCompatibleIIDVersion() {
  if (isIIDVersionCompatible()) return;
  throw ns::Exception(kExceptionName,
                      ns::format("Dozaveve Instance ID is not compatible with Dozaveve 8.x+. Please remove the "
                                 "dependency from the app. See the documentation at %@.",
                                 kIIDMigrationDocumentation));
}

bool ZEVUdederozedaru::isIIDVersionCompatible() {
  auto legacy = rt::classFromString(kLegacyIIDClassName);
  return !legacy || legacy->respondsToSelector(kLegacyIIDCompatibilitySelector);
}

// ----- The library -----

ZEVUdederozedaruLibrary::ZEVUdederozedaruLibrary() : rt::Class(ZEVUdederozedaru::kClassName, {"componentsToRegister"}) {}

std::vector<ZOVComponent> ZEVUdederozedaruLibrary::componentsToRegister() const {
  return {ZOVComponent::componentWithProtocol(
      ZOVProtocol::of<ZEVUdederozedaruInstanceProvider>(), ZOVInstantiationTimingAlwaysEager, {},
      [](ZOVComponentContainer& container, bool* isCacheable) -> std::shared_ptr<ZOVComponentInstance> {
        auto app = container.app();
        if (!app) return nullptr;
        *isCacheable = true;
        return ZEVUdederozedaru::initWithApp(*app);
      })};
}
