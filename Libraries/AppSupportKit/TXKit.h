// The app-support kit as the notes code calls it: version bookkeeping in
// the standard defaults, the device's idiom and orientation, the kit's
// resource bundle and background work.
//
// Seam: the kit's launch only registers its configuration defaults and
// keeps the delegate and theme colour; telemetry, mail and alerts are not
// here yet; background tasks are numbered and tracked only, as there is no
// application to keep running.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Bundle.h"

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

  // Called once from the app's launch. Registers the remote configuration
  // URL and the given values as configuration defaults: group "app" keys
  // "remoteURL", "appStoreID", "supportEmail", "affiliateToken",
  // "moreAppsUsesUntilPrompt", "showWhatsNew", "forceLeftToRight"; group
  // "rate" keys "usesUntilPrompt", "daysUntilPrompt"; keeps the delegate
  // (weakly) and the theme colour. Nothing is fetched yet.
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

  static bool iPad();
  static bool iPhone();
  static bool orientationLandscape();

  // The main bundle's display name, else its bundle name ("" with neither).
  static std::string applicationName();
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
