// The scheduler's stored state, its launch bookkeeping, the eligibility rule
// and the user's answers.
#include "Libraries/AppSupportKit/QBRate.h"

#include <mutex>

#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationDelegate.h"

namespace {

constexpr double kSecondsPerDay = 86400;
constexpr double kSecondsPerWeek = 604800;

std::shared_ptr<QBRate>& instanceSlot() {
  static std::shared_ptr<QBRate> instance;
  return instance;
}
std::mutex instanceMutex;

std::shared_ptr<ns::UserDefaults> defaults() { return ns::UserDefaults::standardUserDefaults(); }

void store(const char* key, const std::optional<ns::Value>& value) {
  auto d = defaults();
  if (value) d->setObject(*value, key);
  else d->removeObjectForKey(key);
  d->synchronize();
}

uint64_t storedCount(const char* key) {
  int64_t n = defaults()->integerForKey(key);
  return n > 0 ? static_cast<uint64_t>(n) : 0;
}

// Delegate call, then the notification of the same name.
void notify(const char* name) { ns::NotificationCenter::defaultCenter().post(name); }

// The scheduler exists as soon as the library is loaded and the main queue
// runs, whether or not anyone asks for it.
struct QBRateRegistrar {
  QBRateRegistrar() {
    dispatch::Queue::main()->async([] { QBRate::sharedInstance(); });
  }
} registrar;
}  // namespace

QBRate& QBRate::sharedInstance() {
  std::lock_guard lock(instanceMutex);
  auto& slot = instanceSlot();
  if (!slot) {
    createInstance(slot);
    dispatch::Queue::main()->async([] { QBRate::sharedInstance().applicationLaunched(); });
  }
  return *slot;
}

std::shared_ptr<QBRate> QBRate::sharedPointer() {
  std::lock_guard lock(instanceMutex);
  return instanceSlot();
}

void QBRate::resetForTesting() {
  std::lock_guard lock(instanceMutex);
  auto& slot = instanceSlot();
  if (!slot) {
    createInstance(slot);
  } else {
    // The instance stays where it is (a check in flight still points at
    // it); only its state starts again.
    QBRate& rate = *slot;
    rate.appStoreID_ = 0;
    rate.delegate_.reset();
    rate.delegateSet_ = false;
    rate.visibleAlert_.reset();
    rate.classicAlert_.reset();
    rate.textBundle_.reset();
    rate.checkingForPrompt_ = rate.checkingForAppStoreID_ = false;
    ++rate.generation_;
    rate.settings_ = Settings();
    rate.fillSettings();
  }
}

QBRate::QBRate() { fillSettings(); }

void QBRate::createInstance(std::shared_ptr<QBRate>& slot) {
  slot.reset(new QBRate());
  ns::NotificationCenter::defaultCenter().addObserver(
      ui::kApplicationWillEnterForegroundNotification, nullptr, dispatch::Queue::main(),
      [](const ns::Notification&) { QBRate::sharedInstance().applicationWillEnterForeground(); });
}

uint64_t QBRate::appStoreID() const {
  if (appStoreID_) return appStoreID_;
  return storedCount(kAppStoreIDKey);
}

std::shared_ptr<QBRateDelegate> QBRate::delegate() {
  if (!delegateSet_) {
    delegateSet_ = true;
    delegate_ = std::dynamic_pointer_cast<QBRateDelegate>(ui::Application::shared().delegate());
  }
  return delegate_.lock();
}

void QBRate::setDelegate(std::weak_ptr<QBRateDelegate> delegate) {
  delegate_ = std::move(delegate);
  delegateSet_ = true;
}

void QBRate::verbose(const std::string& line) const {
  if (settings_.verboseLogging) LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr, line);
}

// Stored state.

std::optional<ns::Date> QBRate::firstUsed() const { return defaults()->dateForKey(kFirstUsedKey); }
void QBRate::setFirstUsed(std::optional<ns::Date> date) {
  store(kFirstUsedKey, date ? std::optional<ns::Value>(ns::Value(*date)) : std::nullopt);
}
std::optional<ns::Date> QBRate::lastReminded() const { return defaults()->dateForKey(kLastRemindedKey); }
void QBRate::setLastReminded(std::optional<ns::Date> date) {
  store(kLastRemindedKey, date ? std::optional<ns::Value>(ns::Value(*date)) : std::nullopt);
}
uint64_t QBRate::usesCount() const { return storedCount(kUseCountKey); }
void QBRate::setUsesCount(uint64_t count) { store(kUseCountKey, ns::Value(static_cast<int64_t>(count))); }
uint64_t QBRate::eventCount() const { return storedCount(kEventCountKey); }
void QBRate::setEventCount(uint64_t count) { store(kEventCountKey, ns::Value(static_cast<int64_t>(count))); }

float QBRate::usesPerWeek() const {
  double since = firstUsed() ? ns::Clock::now().timeIntervalSince(*firstUsed()) : 0;
  return static_cast<float>(static_cast<double>(usesCount()) / (since / kSecondsPerWeek));
}

bool QBRate::declinedThisVersion() const {
  return defaults()->stringForKey(kDeclinedVersionKey) == settings_.applicationVersion;
}
void QBRate::setDeclinedThisVersion(bool declined) {
  store(kDeclinedVersionKey, declined ? std::optional<ns::Value>(ns::Value(settings_.applicationVersion)) : std::nullopt);
}
bool QBRate::declinedAnyVersion() const { return !defaults()->stringForKey(kDeclinedVersionKey).value_or("").empty(); }
bool QBRate::ratedVersion(const std::string& version) const {
  return defaults()->stringForKey(kRatedVersionKey) == version;
}
bool QBRate::ratedThisVersion() const { return ratedVersion(settings_.applicationVersion); }
void QBRate::setRatedThisVersion(bool rated) {
  store(kRatedVersionKey, rated ? std::optional<ns::Value>(ns::Value(settings_.applicationVersion)) : std::nullopt);
}
bool QBRate::ratedAnyVersion() const { return !defaults()->stringForKey(kRatedVersionKey).value_or("").empty(); }

void QBRate::incrementUseCount() { setUsesCount(usesCount() + 1); }
void QBRate::incrementEventCount() { setEventCount(eventCount() + 1); }

void QBRate::logEvent(bool deferPrompt) {
  incrementEventCount();
  if (!deferPrompt) promptIfAllCriteriaMet();
}

// Launch bookkeeping.

void QBRate::applicationLaunched() {
  auto lastVersion = defaults()->stringForKey(kLastVersionUsedKey);
  if (!firstUsed() || lastVersion != settings_.applicationVersion) {
    store(kLastVersionUsedKey, ns::Value(settings_.applicationVersion));
    ns::Date now = ns::Clock::now();
    if (!firstUsed() || ratedAnyVersion()) {
      // A new counting period.
      auto d = defaults();
      d->setObject(ns::Value(now), kFirstUsedKey);
      d->setInteger(0, kUseCountKey);
      d->setInteger(0, kEventCountKey);
      d->removeObjectForKey(kLastRemindedKey);
      d->synchronize();
    } else {
      // Who waited long enough before the update is asked about a day after it.
      double waited = (settings_.daysUntilPrompt - 1) * kSecondsPerDay;
      if (now.timeIntervalSince(*firstUsed()) > waited) setFirstUsed(now.addingTimeInterval(-waited));
    }
    if (auto d = delegate()) d->QBRateDidDetectAppUpdate();
    notify("QBRateDidDetectAppUpdate");
  }
  launchBookkeeping();
}

void QBRate::launchBookkeeping() {
  incrementUseCount();
  checkForConnectivityInBackground();
  if (settings_.promptAtLaunch) promptIfAllCriteriaMet();
}

void QBRate::applicationWillEnterForeground() {
  if (ui::Application::shared().applicationState() == ui::ApplicationState::Background) launchBookkeeping();
}

void QBRate::simulateLaunch() { launchBookkeeping(); }

// The eligibility rule: the first failing test answers.
bool QBRate::shouldPromptForRating() const {
  if (settings_.previewMode) {
    LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr,
               std::string("QBRate preview mode is enabled - make sure you disable this for release"));
    return true;
  }
  if (ratedThisVersion()) {
    verbose("QBRate did not prompt for rating because the user has already rated this version");
    return false;
  }
  if (ratedAnyVersion() && !settings_.promptForNewVersionIfUserRated) {
    verbose("QBRate did not prompt for rating because the user has already rated this app, and "
            "promptForNewVersionIfUserRated is disabled");
    return false;
  }
  if (declinedAnyVersion()) {
    verbose("QBRate did not prompt for rating because the user has declined to rate the app");
    return false;
  }
  ns::Date now = ns::Clock::now();
  double sinceFirstUse = firstUsed() ? now.timeIntervalSince(*firstUsed()) : 0;
  if (sinceFirstUse < settings_.daysUntilPrompt * kSecondsPerDay) {
    verbose(ns::format("QBRate did not prompt for rating because the app was first used less than %g days ago",
                       static_cast<double>(settings_.daysUntilPrompt)));
    return false;
  }
  if (usesCount() < settings_.usesUntilPrompt && eventCount() < settings_.eventsUntilPrompt) {
    verbose(ns::format("QBRate did not prompt for rating because the app has only been used %@ times and only %@ "
                       "events have been logged",
                       std::to_string(usesCount()), std::to_string(eventCount())));
    return false;
  }
  if (usesPerWeek() < settings_.usesPerWeekForPrompt) {
    verbose(ns::format("QBRate did not prompt for rating because the app has only been used %g times per week on "
                       "average since it was installed",
                       static_cast<double>(usesPerWeek())));
    return false;
  }
  auto reminded = lastReminded();
  if (reminded && now.timeIntervalSince(*reminded) < settings_.remindPeriod * kSecondsPerDay) {
    verbose(ns::format("QBRate did not prompt for rating because the user last asked to be reminded less than %g "
                       "days ago",
                       static_cast<double>(settings_.remindPeriod)));
    return false;
  }
  return true;
}

void QBRate::promptIfAllCriteriaMet() {
  if (shouldPromptForRating()) promptIfNetworkAvailable();
}

void QBRate::promptIfNetworkAvailable() {
  if (checkingForPrompt_ || checkingForAppStoreID_) return;
  checkingForPrompt_ = true;
  checkForConnectivityInBackground();
}

void QBRate::connectionSucceeded() {
  if (checkingForAppStoreID_) {
    checkingForPrompt_ = checkingForAppStoreID_ = false;
    openRatingsPageInAppStore();
  } else if (checkingForPrompt_) {
    checkingForPrompt_ = false;
    auto d = delegate();
    if (d && !d->QBRateShouldPromptForRating()) {
      verbose("QBRate did not display the rating prompt because the QBRateShouldPromptForRating delegate method "
              "returned NO");
      return;
    }
    promptForRating();
  }
}

void QBRate::connectionError(const ns::Error* error) {
  if (!checkingForPrompt_ && !checkingForAppStoreID_) return;
  checkingForPrompt_ = checkingForAppStoreID_ = false;
  std::string line = error ? "QBRate rating process failed because: " + error->localizedDescription()
                           : std::string("QBRate rating process failed because an unknown error occured");
  LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr, line);
  if (auto d = delegate()) d->QBRateCouldNotConnectToAppStore(error);
  std::shared_ptr<void> object = error ? std::make_shared<ns::Error>(*error) : nullptr;
  ns::NotificationCenter::defaultCenter().post("QBRateCouldNotConnectToAppStore", object);
}

// The answers.

void QBRate::rate() {
  setRatedThisVersion(true);
  auto d = delegate();
  if (d) d->QBRateUserDidAttemptToRateApp();
  notify("QBRateUserDidAttemptToRateApp");
  if (!d || d->QBRateShouldOpenAppStore()) openRatingsPageInAppStore();
}

void QBRate::remindLater() {
  setLastReminded(ns::Clock::now());
  if (auto d = delegate()) d->QBRateUserDidRequestReminderToRateApp();
  notify("QBRateUserDidRequestReminderToRateApp");
}

void QBRate::declineThisVersion() {
  setDeclinedThisVersion(true);
  if (auto d = delegate()) d->QBRateUserDidDeclineToRateApp();
  notify("QBRateUserDidDeclineToRateApp");
}

void QBRate::openRatingsPageInAppStore() {
  if (!settings_.ratingsURL && appStoreID() == 0) {
    // The page opens once the lookup has found the id.
    checkingForAppStoreID_ = true;
    if (!checkingForPrompt_) checkForConnectivityInBackground();
    return;
  }
  ns::URL url = ratingsURL();
  verbose("QBRate will open the App Store ratings page using the following URL: " + url.absoluteString());
  ui::Application::shared().openURL(url.absoluteString());
  if (auto d = delegate()) d->QBRateDidOpenAppStore();
  notify("QBRateDidOpenAppStore");
}
