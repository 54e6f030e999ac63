// The kit's launch, the lifecycle it observes and what it re-applies after
// every configuration fetch.
#include <mutex>

#include "Libraries/AppSupportKit/DodevadarudLogger.h"
#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/QueryValue.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXLogFormatter.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/Application.h"

namespace {

constexpr double kReminderKeepsMarksSeconds = 604800;

// Every log line, of any level, also goes to the crash reporter's user log.
void routeLogLinesToTheCrashReporter() {
  static std::once_flag once;
  std::call_once(once, [] {
    const auto& logger = DodevadarudLogger::sharedInstance();
    logger->setLogFormatter(std::make_shared<TXLogFormatter>(false, true, true, false));
    LKLog::addLogger(logger, LKLogLevelAll);
  });
}

#define TX_LOG_INFO(text)                                                                          \
  LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr, \
             std::string(text))

// The kit as the scheduler's delegate: the kit lives for the process, the
// owner only lets the scheduler hold it weakly.
std::shared_ptr<QBRateDelegate> kitAsRatingDelegate() {
  static const std::shared_ptr<TXKit> owner(&TXKit::sharedInstance(), [](TXKit*) {});
  return owner;
}

}  // namespace

void TXKit::launchWithLaunchOptions(const ns::Dictionary&, const std::string& remoteURL, const std::string& appStoreID,
                                    const std::string& supportEmail, const std::string& affiliateToken,
                                    const std::string& moreApps, int64_t moreAppsUsesUntilPrompt,
                                    const TXMessages& messages, bool showWhatsNew, uint64_t rateUsesUntilPrompt,
                                    float rateDaysUntilPrompt, std::shared_ptr<const ui::Color> themeColor,
                                    bool /*forceLeftToRight*/, std::weak_ptr<TXKitDelegate> delegate) {
  {
    std::lock_guard lock(launchMutex_);
    delegate_ = std::move(delegate);
  }
  routeLogLinesToTheCrashReporter();
  // The launch runs once per process; only tests play a second launch in
  // the same process, and the app the first one configured stays.
  if (!VIDUve::isDefaultAppConfigured()) VIDUve::configure();
  incrementUsesCount();
  firstUsed();
  {
    std::lock_guard lock(launchMutex_);
    themeColor_ = std::move(themeColor);
  }

  auto& config = TXConfig::sharedInstance();
  config.setRemoteURL(ns::URL::withString(remoteURL));
  config.setDefaultValue("app", "appStoreID", ns::Value(appStoreID));
  config.setDefaultValue("app", "supportEmail", ns::Value(supportEmail));
  config.setDefaultValue("app", "affiliateToken", ns::Value(affiliateToken));
  config.setDefaultValue("app", "moreApps", ns::Value(moreApps));
  config.setDefaultValue("app", "moreAppsUsesUntilPrompt", ns::Value(moreAppsUsesUntilPrompt));
  config.setDefaultValue("app", "showWhatsNewInVersion",
                         showWhatsNew ? std::optional<ns::Value>(ns::Value(currentShortVersionString())) : std::nullopt);
  config.setDefaultValue("rate", "usesUntilPrompt", ns::Value(static_cast<int64_t>(rateUsesUntilPrompt)));
  config.setDefaultValue("rate", "daysUntilPrompt", ns::Value(static_cast<double>(rateDaysUntilPrompt)));
  config.setDefaultValue("app", "showTipsAfterUsesCount", ns::Value(0));

  observeLifecycle();
  setDefaultMessages(messages);

  // A fresh install never sees what's new; an update may show it again.
  if (isAppOnFirstLaunch()) setShowedMessageID(kWhatsNewMessageID, true);
  else if (isAppVersionUpdated()) setShowedMessageID(kWhatsNewMessageID, false);

  configFetchDependentInits();
  auto& rate = QBRate::sharedInstance();
  rate.settings().ratingsURL = ns::URL::withString(
      ratingsURLForAppStoreID(rate.appStoreID(), config.valueForGroup("app", "affiliateToken", ns::Value("")).stringValue()));
  config.fetchConfigFromServer();
}

// Registered once for the process, however often a launch runs.
void TXKit::observeLifecycle() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto& center = ns::NotificationCenter::defaultCenter();
    const auto& main = dispatch::Queue::main();
    center.addObserver(ui::kApplicationWillTerminateNotification, nullptr, main, [](const ns::Notification&) {
      TX_LOG_INFO("ApplicationWillTerminate");
      acceptCurrentVersion();
    });
    center.addObserver(ui::kApplicationWillResignActiveNotification, nullptr, main, [](const ns::Notification&) {
      TX_LOG_INFO("ApplicationWillResignActive");
      acceptCurrentVersion();
    });
    center.addObserver(ui::kApplicationWillEnterForegroundNotification, nullptr, main, [](const ns::Notification&) {
      TX_LOG_INFO("ApplicationWillEnterForeground");
      TXKit::sharedInstance().incrementUsesCount();
      TXConfig::sharedInstance().fetchConfigFromServer();
    });
    center.addObserver(ui::kApplicationDidEnterBackgroundNotification, nullptr, main,
                       [](const ns::Notification&) { TX_LOG_INFO("ApplicationDidEnterBackground"); });
    center.addObserver(TXConfig::kConfigFetchedNotification, &TXConfig::sharedInstance(), main,
                       [](const ns::Notification&) { TXKit::sharedInstance().configFetched(); });
  });
}

void TXKit::configFetched() {
  configFetchDependentInits();
  handleMessaging();
}

void TXKit::configFetchDependentInits() {
  auto& config = TXConfig::sharedInstance();
  auto& rate = QBRate::sharedInstance();
  rate.setDelegate(kitAsRatingDelegate());
  int64_t storeID = config.integerForGroup("app", "appStoreID", 0);
  rate.setAppStoreID(storeID > 0 ? static_cast<uint64_t>(storeID) : 0);
  rate.settings().daysUntilPrompt = config.rateDaysUntilPrompt();
  // Sign-extended: a negative count becomes a threshold no count reaches.
  rate.settings().usesUntilPrompt = static_cast<uint64_t>(static_cast<int64_t>(config.rateUsesUntilPrompt()));
  if (config.rateReset()) {
    auto reminded = rate.lastReminded();
    if (!reminded || ns::Clock::now().timeIntervalSince(*reminded) > kReminderKeepsMarksSeconds) {
      rate.setDeclinedThisVersion(false);
      rate.setRatedThisVersion(false);
    }
  }
  updateMoreApps();
  if (config.appMoreAppsPromptReset()) setShowedMessageID(kMoreAppsMessageID, false);
}

std::string TXKit::ratingsURLForAppStoreID(uint64_t appStoreID, const std::string& affiliateToken) {
  std::string url = ns::format("%@%@?action=write-review", std::string(kWriteReviewAddress), std::to_string(appStoreID));
  if (!affiliateToken.empty()) {
    // The token is configured remotely: as a query value it must not be
    // able to end the value or add parameters of its own.
    std::string token = percentEncodedQueryValue(affiliateToken);
    url += url.find('?') == std::string::npos ? "?" : "&";
    url += ns::format("at=%@&ct=review", token);
  }
  return url;
}

std::shared_ptr<TXKitDelegate> TXKit::delegate() const {
  std::lock_guard lock(launchMutex_);
  return delegate_.lock();
}

std::shared_ptr<const ui::Color> TXKit::themeColor() const {
  std::lock_guard lock(launchMutex_);
  return themeColor_;
}
