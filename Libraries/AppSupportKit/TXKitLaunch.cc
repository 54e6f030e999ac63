#include <mutex>

#include "Libraries/AppSupportKit/DodevadarudLogger.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXLogFormatter.h"
#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Platform/UIKit/Application.h"

namespace {

// Every log line, of any level, also goes to the crash reporter's user log.
void routeLogLinesToTheCrashReporter() {
  static std::once_flag once;
  std::call_once(once, [] {
    const auto& logger = DodevadarudLogger::sharedInstance();
    logger->setLogFormatter(std::make_shared<TXLogFormatter>(false, true, true, false));
    LKLog::addLogger(logger, LKLogLevelAll);
  });
}

// Each return to the front fetches the configuration again (the interval
// check decides whether anything is downloaded). Registered once for the
// process, however often a launch runs.
void fetchConfigOnEachReturnToTheFront() {
  static std::once_flag once;
  std::call_once(once, [] {
    ns::NotificationCenter::defaultCenter().addObserver(ui::kApplicationWillEnterForegroundNotification, nullptr,
                                                        dispatch::Queue::main(), [](const ns::Notification&) {
                                                          TXConfig::sharedInstance().fetchConfigFromServer();
                                                        });
  });
}

}  // namespace

void TXKit::launchWithLaunchOptions(const ns::Dictionary&, const std::string& remoteURL, const std::string& appStoreID,
                                    const std::string& supportEmail, const std::string& affiliateToken,
                                    const std::optional<ns::Array>&, int64_t moreAppsUsesUntilPrompt,
                                    const std::optional<ns::Value>&, bool showWhatsNew, uint64_t rateUsesUntilPrompt,
                                    float rateDaysUntilPrompt, std::shared_ptr<const ui::Color> themeColor,
                                    bool forceLeftToRight, std::weak_ptr<TXKitDelegate> delegate) {
  {
    std::lock_guard lock(launchMutex_);
    delegate_ = std::move(delegate);
    themeColor_ = std::move(themeColor);
  }
  // The launch runs once per process; only tests play a second launch in
  // the same process, and the app the first one configured stays.
  if (!VIDUve::isDefaultAppConfigured()) VIDUve::configure();
  routeLogLinesToTheCrashReporter();
  auto& config = TXConfig::sharedInstance();
  config.setRemoteURL(ns::URL::withString(remoteURL));
  config.setDefaultValue("app", "appStoreID", ns::Value(appStoreID));
  config.setDefaultValue("app", "supportEmail", ns::Value(supportEmail));
  config.setDefaultValue("app", "affiliateToken", ns::Value(affiliateToken));
  config.setDefaultValue("app", "moreAppsUsesUntilPrompt", ns::Value(moreAppsUsesUntilPrompt));
  config.setDefaultValue("app", "showWhatsNew", ns::Value(showWhatsNew));
  config.setDefaultValue("app", "forceLeftToRight", ns::Value(forceLeftToRight));
  config.setDefaultValue("rate", "usesUntilPrompt", ns::Value(static_cast<int64_t>(rateUsesUntilPrompt)));
  config.setDefaultValue("rate", "daysUntilPrompt", ns::Value(static_cast<double>(rateDaysUntilPrompt)));
  config.setDefaultValue("app", "showTipsAfterUsesCount", ns::Value(0));
  fetchConfigOnEachReturnToTheFront();
  config.fetchConfigFromServer();
}

std::shared_ptr<TXKitDelegate> TXKit::delegate() const {
  std::lock_guard lock(launchMutex_);
  return delegate_.lock();
}

std::shared_ptr<const ui::Color> TXKit::themeColor() const {
  std::lock_guard lock(launchMutex_);
  return themeColor_;
}
