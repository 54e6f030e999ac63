// Configuring an app: the checks, the second-configure rule, the core
// configuration and the announcement.
#include "Libraries/TelemetryCore/VEDEvevuduzazado.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveEntryPoint.h"
#include "Libraries/TelemetryCore/ZOVBundleUtil.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/Application.h"

namespace {

[[noreturn]] void raise(const std::string& reason) { throw ns::Exception(kVIDUveExceptionName, reason); }

}  // namespace

void VIDUve::configure() {
  std::shared_ptr<REVUvevivo> options = REVUvevivo::defaultOptions();
  if (!options) {
    raise(
        ns::format("`DozaveveApp.configure()` could not find a valid ZororiService-Info.plist in your project. "
                   "Please download one from %@.",
                   kVIDUveConsoleAddress));
  }
  configureWithOptions(options);
}

void VIDUve::configureWithOptions(const std::shared_ptr<REVUvevivo>& options) {
  if (!options) raise("Options is nil. Please pass a valid options.");
  configureWithName(std::string(kVIDUveDefaultAppName), options);
}

void VIDUve::configureWithName(const std::optional<std::string>& name, const std::shared_ptr<REVUvevivo>& options) {
  if (!name || !options) raise("Neither name nor options can be nil.");
  if (name->empty()) raise("Name cannot be empty.");

  VIDUveClassState& state = VIDUveClassState::shared();
  if (*name == kVIDUveDefaultAppName) {
    if (std::shared_ptr<VIDUve> existing = state.defaultApp.load()) {
      VIDUveConfiguring::appWasConfiguredTwice(existing, options);
      return;
    }
    ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000001", "Configuring the default app.");
  } else {
    if (!VIDUveHasOnlyAlphanumericsAnd(*name, "-_")) {
      raise("App name can only contain alphanumeric, hyphen (-), and underscore (_) characters");
    }
    std::shared_ptr<VIDUve> existing;
    {
      std::lock_guard lock(state.lock);
      if (state.apps) {
        auto found = state.apps->find(*name);
        if (found != state.apps->end()) existing = found->second;
      }
    }
    if (existing) {
      VIDUveConfiguring::appWasConfiguredTwice(existing, options);
      return;
    }
    ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000002", "Configuring app named %@", *name);
  }

  VIDUveRegisterOptionalLibraries();

  std::lock_guard lock(state.lock);
  std::shared_ptr<VIDUve> app = initInstanceWithName(*name, *options);
  if (app->isDefaultApp()) state.defaultApp.store(app);
  VIDUveConfiguring::addAppToAppDictionary(app);
  app->container()->instantiateEagerComponents();
  VIDUveConfiguring::sendNotificationsToSDKs(app);
}

void VIDUveConfiguring::appWasConfiguredTwice(const std::shared_ptr<VIDUve>& app,
                                              const std::shared_ptr<REVUvevivo>& options) {
  if (!ZULAppEnvironmentUtil::isAppExtension()) {
    if (app->isDefaultApp()) raise("Default app has already been configured.");
    raise(ns::format("App named %@ has already been configured.", app->name()));
  }
  if (options->isEqual(app->options_.get())) {
    ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000035", "Ignoring second `configure` call in an extension.");
    return;
  }
  raise(ns::format("App named %@ has already been configured.", app->name()));
}

void VIDUveConfiguring::addAppToAppDictionary(const std::shared_ptr<VIDUve>& app) {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  if (!state.apps) state.apps.emplace();
  if (!configureCore(app)) {
    raise(
        "Configuration fails. It may be caused by an invalid ZORORI_APP_ID in ZororiService-Info.plist or set in "
        "the customized options.");
  }
  (*state.apps)[app->name()] = app;
}

bool VIDUveConfiguring::configureCore(const std::shared_ptr<VIDUve>& app) {
  checkExpectedBundleID(*app->options_);
  if (!VIDUve::isAppIDValid(*app->options_)) return false;

  if (app->isDefaultApp()) {
    std::shared_ptr<rt::Class> measurement = rt::classFromString(kVOZIzizuzoveClassName);
    auto entryPoint = rt::classAs<VOZIzizuzoveEntryPoint>(measurement);
    if (entryPoint && measurement->respondsToSelector(kVOZIzizuzoveStartSelector)) {
      entryPoint->startWithConfiguration(VEDEvevuduzazado::sharedInstance()->analyticsConfiguration(), app->options());
    }
  }
  observeDidBecomeActive(app);
  return true;
}

void VIDUveConfiguring::observeDidBecomeActive(const std::shared_ptr<VIDUve>& app) {
  std::weak_ptr<VIDUve> weakApp = app;
  auto& center = ns::NotificationCenter::defaultCenter();
  center.removeObserver(app->didBecomeActiveObserver_);
  app->didBecomeActiveObserver_ = center.addObserver(ui::kApplicationDidBecomeActiveNotification, nullptr, nullptr,
                                                     [weakApp](const ns::Notification&) {
                                                       if (std::shared_ptr<VIDUve> strongApp = weakApp.lock())
                                                         strongApp->appDidBecomeActive();
                                                     });
}

void VIDUveConfiguring::checkExpectedBundleID(const REVUvevivo& options) {
  std::optional<std::string> expected = options.bundleID();
  if (!expected || ZOVBundleUtil::hasBundleIdentifierPrefix(*expected, ZOVBundleUtil::relevantBundles())) return;
  ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000008",
                     "The project's Bundle ID is inconsistent with either the Bundle ID in '%@.%@', or the Bundle ID "
                     "in the options if you are using a customized options. To ensure that everything can be "
                     "configured correctly, you may need to make the Bundle IDs consistent. To continue with this "
                     "plist file, you may change your app's bundle identifier to '%@'. Or you can download a new "
                     "configuration file that matches your bundle identifier from %@ and replace the current one.",
                     kREVUvevivoFileName, kREVUvevivoFileType, *expected, kVIDUveConsoleAddress);
}

void VIDUveConfiguring::sendNotificationsToSDKs(const std::shared_ptr<VIDUve>& app) {
  ns::Dictionary userInfo;
  userInfo.set(kVIDUveAppNameKey, ns::Value(app->name()));
  userInfo.set(kVIDUveAppIsDefaultAppKey, ns::Value(app->isDefaultApp()));
  if (std::optional<std::string> appID = app->options_->zororiAppID())
    userInfo.set(kVIDUveZororiAppIDKey, ns::Value(*appID));
  ns::NotificationCenter::defaultCenter().post(kVIDUveAppReadyToConfigureSDKNotification,
                                               ns::unownedObject(VIDUve::classObject()), std::move(userInfo));

  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  // A copy: a library may register another while it is being told.
  std::vector<std::shared_ptr<ZOVLibrary>> libraries = state.librariesToConfigure;
  for (const auto& library : libraries) library->configureWithApp(app);
}
