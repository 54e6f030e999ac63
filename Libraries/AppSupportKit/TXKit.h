// The app-support kit as the notes code calls it: version bookkeeping in
// the standard defaults, the device's idiom and orientation, the kit's
// resource bundle and background work.
//
// Seam: the kit's launch only configures the telemetry core, routes the log
// to the crash reporter, sets up the remote configuration and keeps the
// delegate and theme colour; background tasks are numbered and tracked only,
// as there is no application to keep running. Alerts and the mail composer
// are the kit's own (TXKitMail.cc).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Error.h"

namespace ui {
class BarButtonItem;
class Color;
class Image;
class View;
}  // namespace ui

// The kit's delegate (the application delegate adopts it). Held weakly.
class TXKitDelegate {
 public:
  virtual ~TXKitDelegate() = default;
};

class TXKit {
 public:
  static constexpr const char* kVersionKey = "com.tavrix.TXKit.VersionKey";
  static constexpr const char* kVersionStringKey = "com.tavrix.TXKit.VersionStringKey";
  static constexpr const char* kLegacyVersionKey = "com.tavrix.kTXKitVersionKey";          // a string
  static constexpr const char* kVersionManagerKey = "com.tavrix.TXVersionManager.VersionKey";

  using BackgroundTaskIdentifier = uint64_t;

  static TXKit& sharedInstance();

  // Called once from the app's launch. Configures the telemetry core's
  // default app from the main bundle's "ZororiService-Info.plist" (throws
  // ns::Exception "com.dozaveve.core" when there is none; see VIDUve.h),
  // unless this process configured it already. Adds the shared
  // DodevadarudLogger (thread and function in each line) for every level,
  // gives the remote configuration its URL and registers the given values as
  // its code defaults: group "app" keys "appStoreID", "supportEmail",
  // "affiliateToken", "moreAppsUsesUntilPrompt", "showWhatsNew",
  // "forceLeftToRight", "showTipsAfterUsesCount" (0); group "rate" keys
  // "usesUntilPrompt", "daysUntilPrompt"; keeps the delegate (weakly) and the
  // theme colour. Then starts the first configuration fetch; each return to
  // the front starts another.
  void launchWithLaunchOptions(const ns::Dictionary& launchOptions, const std::string& remoteURL,
                               const std::string& appStoreID, const std::string& supportEmail,
                               const std::string& affiliateToken, const std::optional<ns::Array>& moreApps,
                               int64_t moreAppsUsesUntilPrompt, const std::optional<ns::Value>& messages,
                               bool showWhatsNew, uint64_t rateUsesUntilPrompt, float rateDaysUntilPrompt,
                               std::shared_ptr<const ui::Color> themeColor, bool forceLeftToRight,
                               std::weak_ptr<TXKitDelegate> delegate);
  std::shared_ptr<TXKitDelegate> delegate() const;
  std::shared_ptr<const ui::Color> themeColor() const;

  // The previously accepted build number: the kit's key, else the older
  // string key, else the version manager's key; 0 when none is stored.
  static int64_t previousVersion();
  static bool isAppOnFirstLaunch();
  // Not on a first launch; else whether the build differs from the last one.
  static bool isAppVersionUpdated();
  // Stores the current build number and version string where they differ.
  static void acceptCurrentVersion();
  // The main bundle's "CFBundleVersion" as an integer.
  static int64_t currentBuildNumber();

  // The kit's count of uses (launches and returns to the foreground) in the
  // standard defaults; 0 when none is stored.
  uint64_t usesCount() const;

  // "%@ (%@)": the short version string and the build number.
  static std::string currentVersionString();
  // "CFBundleDisplayName" of the main bundle, else its "CFBundleName".
  static std::string applicationName();
  // The block of device data support mails end with: six "<br>", then
  // "App: %@ - %@<br>Device: %@ - %@<br>Language: %@<br>Locale: %@<br>"
  // (name and version, model and system version, the first preferred
  // language or "--", the locale's identifier).
  static std::string supportData();
  // An alert with the title, the message and one default-style "OK" (the
  // kit's table), queued for presentation (TXUIManager).
  static void presentTitle(const std::string& title, const std::string& message);
  // The same alert titled "Error" with the error's localized description;
  // nothing for null.
  static void presentError(const ns::Error* error);
  // The store page of the application `appID`, as the mail signature links it.
  static std::string appStoreURLForAppID(const std::string& appID);

  // Queues the system's mail composer with the subject, the body (with the
  // signature "Sent via %@ app" appended when asked: a link to the store
  // page in HTML, the app's name in plain text), `to` as the only recipient
  // when it is not empty, and the attachment when there is data. A device
  // that cannot send mail gets the alert "Email client is not configured on
  // your device." instead. The composer is dismissed when it finishes.
  void openEmailWithSubject(const std::string& subject, const std::string& body, bool isHTML,
                            const std::optional<std::string>& to, bool includeAppSignature,
                            const std::optional<ns::Data>& attachment, const std::string& mimeType,
                            const std::string& filename);

  static bool iPad();
  static bool iPhone();
  static bool orientationLandscape();

  // The application's icon: "AppIcon" of the app's asset catalogue, drawn
  // masked to the icon's rounded square; null when the app has none.
  static std::shared_ptr<const ui::Image> applicationIcon();

  // "TXKit.bundle" in the main bundle, else the main bundle; found once.
  static std::shared_ptr<ns::Bundle> bundle();

  // Runs `block` on the background global queue inside a background task
  // named "Background Block"; a null block does nothing.
  static void background(std::function<void()> block);
  static BackgroundTaskIdentifier beginBackgroundTaskWithName(const std::string& name);
  static void endBackgroundTask(BackgroundTaskIdentifier identifier);
  // Tasks begun and not yet ended (tests).
  static size_t activeBackgroundTaskCount();

  // Tips: each call counts one view of the tip; the tip is shown once, the
  // first time the count reaches `afterViewsCount`. Seam: a shown tip is
  // recorded (shownTips) rather than drawn.
  void showTipIfNeededWithID(const std::string& tipID, const std::string& text, const ui::View* pointingAtView,
                             const ui::View* inView, int64_t afterViewsCount, bool animated);
  void showTipIfNeededWithID(const std::string& tipID, const std::string& text,
                             const ui::BarButtonItem* pointingAtBarButtonItem, int64_t afterViewsCount, bool animated);
  struct ShownTip {
    std::string tipID;
    std::string text;
  };
  std::vector<ShownTip> shownTips() const;
  void resetTips();

 private:
  TXKit() = default;
  mutable std::mutex launchMutex_;
  std::weak_ptr<TXKitDelegate> delegate_;
  std::shared_ptr<const ui::Color> themeColor_;
};
