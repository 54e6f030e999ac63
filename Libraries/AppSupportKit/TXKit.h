// The app-support kit as the notes code calls it: its launch and the
// application's lifecycle, version and use bookkeeping in the standard
// defaults, the device's idiom and orientation, the kit's resource bundle
// and background work.
//
// Launched once from the app's launch handler, the kit then runs by itself:
// it counts the launch and every return to the front, accepts the running
// version whenever the app resigns active or terminates, and after every
// configuration fetch (a skipped one too) re-applies the configured values
// to the rating scheduler (QBRate.h) and the more-apps list. Main thread
// only, unless an operation says otherwise.
//
// After each fetch the kit may put one popup in front of the user (what's
// new, a message, the maker's other apps; TXKitMessages.cc). Alerts, popups
// and the composers go through the presentation queue
// (TXUIManager.h); background tasks are the application's (TXKitBackground.cc).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXMessage.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/MessageComposeViewController.h"

class QBPopTipView;

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

// The kit is the rating scheduler's delegate: it answers the scheduler's
// wish to prompt with NO and shows its own rating popup instead
// (TXRateViewController.h). It is also the delegate of the composers it
// opens.
class TXKit : public QBRateDelegate,
              public ui::MailComposeViewControllerDelegate,
              public ui::MessageComposeViewControllerDelegate {
 public:
  static constexpr const char* kVersionKey = "com.tavrix.TXKit.VersionKey";
  static constexpr const char* kVersionStringKey = "com.tavrix.TXKit.VersionStringKey";
  static constexpr const char* kLegacyVersionKey = "com.tavrix.kTXKitVersionKey";          // a string
  static constexpr const char* kVersionManagerKey = "com.tavrix.TXVersionManager.VersionKey";
  static constexpr const char* kUsesCountKey = "com.tavrix.TXKit.usesCount";
  static constexpr const char* kFirstUsedKey = "com.tavrix.TXKit.firstUsed";
  static constexpr const char* kShowedKeyPrefix = "com.tavrix.TXPrefs.Showed.";
  static constexpr const char* kWhatsNewMessageID = "TXWhatsNew";
  static constexpr const char* kMoreAppsMessageID = "TXMoreApps";
  // The store's write-review page, before the store id.
  static constexpr const char* kWriteReviewAddress = "itms-apps://apps.store.example/app/id";

  using BackgroundTaskIdentifier = uint64_t;

  static TXKit& sharedInstance();

  // Called once from the app's launch, on the main thread:
  //  1. keeps the delegate (weakly) and the theme colour;
  //  2. adds the shared DodevadarudLogger (thread and function in each line)
  //     for every level, so lifecycle lines reach the crash reporter;
  //  3. configures the telemetry core's default app from the main bundle's
  //     "ZororiService-Info.plist" (throws ns::Exception "com.dozaveve.core"
  //     when there is none; see VIDUve.h), unless done already;
  //  4. counts a use and stamps the first-use date on the first launch;
  //  5. gives the remote configuration its URL and the code defaults: group
  //     "app" keys "appStoreID", "supportEmail", "affiliateToken", "moreApps",
  //     "moreAppsUsesUntilPrompt", "showWhatsNewInVersion" (the short version
  //     when `showWhatsNew`, else none), "showTipsAfterUsesCount" (0); group
  //     "rate" keys "usesUntilPrompt", "daysUntilPrompt";
  //  6. observes the lifecycle once per process (see the class comment);
  //  7. keeps `messages`; a first launch marks what's new as shown, an update
  //     clears that mark;
  //  8. applies the configuration (configFetchDependentInits), gives the
  //     scheduler the write-review page (ratingsURLForAppStoreID) and starts
  //     the first configuration fetch.
  // `forceLeftToRight` is accepted but changes nothing: this platform lays
  // out in one direction only.
  void launchWithLaunchOptions(const ns::Dictionary& launchOptions, const std::string& remoteURL,
                               const std::string& appStoreID, const std::string& supportEmail,
                               const std::string& affiliateToken, const std::string& moreApps,
                               int64_t moreAppsUsesUntilPrompt, const TXMessages& messages, bool showWhatsNew,
                               uint64_t rateUsesUntilPrompt, float rateDaysUntilPrompt,
                               std::shared_ptr<const ui::Color> themeColor, bool forceLeftToRight,
                               std::weak_ptr<TXKitDelegate> delegate);
  // After every fetch: configFetchDependentInits, then handleMessaging.
  void configFetched();
  // The configured store id and thresholds go to the scheduler; "rate"/
  // "reset" clears the rated and declined marks unless the user asked to be
  // reminded within the last 7 days; the more-apps list is rebuilt;
  // "app"/"moreAppsPromptReset" clears the more-apps popup's mark.
  void configFetchDependentInits();
  // The scheduler's question: opens the kit's rating popup and answers NO,
  // so the scheduler shows nothing of its own.
  bool QBRateShouldPromptForRating() override;
  // Unless a kit popup is on screen: queues a new rating popup (animation
  // type 2; its dismissal clears isShowingMessage), then, while it is still
  // to show, tells the scheduler's delegate and posts
  // "QBRateDidPromptForRating".
  void openRatingPrompt();
  // The popup sequence after a fetch (TXKitMessages.cc): what's new, else
  // the first due message, else the more-apps popup. Every popup shares
  // isShowingMessage, so at most one kit popup is on screen.
  void handleMessaging();
  // Once per version named by "app"/"showWhatsNewInVersion": the store's
  // record of the app; when its "version" is this version, the what's-new
  // card with its "releaseNotes". "TXWhatsNew" is marked either way; a
  // failed lookup leaves it unmarked and goes on with the messages.
  void handleWhatsNew();
  // The first due message (see messages()), then handleMoreAppsPopup. A
  // message with an image shows as a card, else as an alert with "OK".
  // Due: "enable" not NO, never shown, its condition holds, the uses count
  // reaches "usesUntilPrompt" (read as unsigned, so a negative one never
  // does), and it has an image, a title or a message.
  void handleMessages();
  // The code-given messages overlaid, field by field, by the configuration
  // group "messages": a string field becomes its translation in the main
  // bundle's table "TXKit"; a language dictionary its text for the user's
  // languages (else "en", else its first text), unless none and the code
  // gave one; "actions" a list of strings by position, as the message card
  // reads them (an action that is a language dictionary becomes its text,
  // one of any other type is dropped); "image" an image: data decoded,
  // a string naming an image of the main bundle, anything else none.
  // Other values are copied.
  TXMessages messages() const;
  // The text under the key the user's preferred languages choose among the
  // dictionary's keys (else the first key); none when that is no string.
  static std::optional<std::string> localizedStringFromDictionary(const ns::Dictionary& dictionary);
  // Adds or replaces one code-given message.
  void addMessageID(const std::string& messageID, TXMessage message);
  // Once ("TXMoreApps"), when "app"/"moreAppsUsesUntilPrompt" is not
  // negative and reached and the list is not empty: the more-apps popup.
  void handleMoreAppsPopup();
  // Rebuilds the more-apps list (TXKitMoreApps.cc) from "app"/"moreApps":
  // store ids separated by ",", a "+" at either end of one marks it for a
  // badge; a number counts as its decimal text. The store's records (cached
  // up to 7 days) and their icons (cached up to 7 days under
  // "<id>-artwork", else downloaded, else the older cached one) make the
  // entries; of overlapping rebuilds only the newest publishes, and a
  // lookup answering after a newer rebuild was asked starts nothing.
  void updateMoreApps();
  // The rebuild's passes: without artworks the first (icons gathered, then
  // the second pass when the run is still the newest), with them the
  // second (entries published).
  void updateMoreApps(const std::vector<ns::Dictionary>& apps,
                      const std::optional<std::map<std::string, std::shared_ptr<const ui::Image>>>& artworks,
                      const std::vector<std::string>& badgeApps);
  // The store's write-review page for the id, with the campaign and the
  // token (percent-encoded) when the token is not empty.
  static std::string ratingsURLForAppStoreID(uint64_t appStoreID, const std::string& affiliateToken);

  // Uses: launches and returns to the front (0 when none is stored).
  void incrementUsesCount();
  uint64_t usesCount() const;
  // The first-use date; the first call stores now.
  ns::Date firstUsed();
  // Whether the popup, message or tip `messageID` was shown.
  static bool showedMessageID(const std::string& messageID);
  static void setShowedMessageID(const std::string& messageID, bool showed);

  // A kit popup, alert, tip or rating prompt is on screen.
  bool isShowingMessage() const;
  void setShowingMessage(bool showing);
  // One entry of the more-apps list: the store id, the app's cleaned name,
  // its masked icon, and "1" when it carries a badge.
  struct MoreApp {
    std::string appStoreID;
    std::string name;
    std::shared_ptr<const ui::Image> artwork;
    std::optional<std::string> badge;
  };
  std::vector<MoreApp> moreApps() const;
  void setMoreApps(std::vector<MoreApp> apps);
  // The generation of the newest rebuild.
  uint64_t moreAppsStamp() const;
  TXMessages defaultMessages() const;
  void setDefaultMessages(TXMessages messages);

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
  static int64_t currentVersion();
  static std::string currentShortVersionString();
  // "%@ (%@)": the short version string and the build number.
  static std::string currentVersionString();
  // The accepted version string; "" when none.
  static std::string previousVersionString();
  static bool launchedForScreenshots() { return false; }
  // "CFBundleDisplayName" of the main bundle, else its "CFBundleName".
  static std::string applicationName();
  // The block of device data support mails end with: six "<br>", then
  // "App: %@ - %@<br>Device: %@ - %@<br>Language: %@<br>Locale: %@<br>"
  // (name and version, platformString and system version, the first
  // preferred language or "--", the locale's identifier).
  static std::string supportData();
  // The display name of the device's model ("iPhone 13 Pro"); the machine
  // identifier itself when the kit does not know it.
  static std::string platformString();
  // An alert with the title, the message and one default-style "OK" (the
  // kit's table), queued for presentation (TXUIManager).
  static void presentTitle(const std::string& title, const std::string& message);
  // The same alert titled with the app's "Error" and the error's localized
  // description; nothing for null.
  static void presentError(const ns::Error* error);

  // Queues the system's mail composer with the subject, the body (with the
  // signature "Sent via %@ app" appended when asked: a link to the store
  // page in HTML, the app's name in plain text), `to` as the only recipient
  // when it is not empty, and the attachment when there is data. A device
  // that cannot send mail gets the alert "Email client is not configured on
  // your device." instead. The composer is dismissed when it finishes.
  // The alert's "Cancel" clears isShowingMessage.
  void openEmailWithSubject(const std::string& subject, const std::string& body, bool isHTML,
                            const std::optional<std::string>& to, bool includeAppSignature,
                            const std::optional<ns::Data>& attachment, const std::string& mimeType,
                            const std::string& filename);
  // Queues the text-message composer with the body (and "\n\n" and the
  // app's "Sent via %@ app" with its name when asked); nothing on a device
  // that cannot send text messages.
  void openTextMessageWithBody(const std::string& body, bool includeAppSignature);
  // Each composer is dismissed through the queue once it has finished.
  void mailComposeControllerDidFinish(ui::MailComposeViewController& controller, ui::MailComposeResult result,
                                      const ns::Error* error) override;
  void messageComposeViewControllerDidFinish(ui::MessageComposeViewController& controller,
                                             ui::MessageComposeResult result) override;
  // Whether the device has an iCloud identity.
  bool iCloudAvailable() const;

  static bool iPad();
  static bool iPhone();
  // Portrait or upside down; landscape left or right (face up or down and
  // an unknown orientation are neither).
  static bool orientationPortrait();
  static bool orientationLandscape();

  // The application's icon: the last of the main bundle's primary icon
  // files, masked with the kit's image "maskIcon"; null when there is none.
  static std::shared_ptr<const ui::Image> applicationIcon();

  // "TXKit.bundle" in the main bundle, else the main bundle; found once.
  static std::shared_ptr<ns::Bundle> bundle();
  // The kit bundle's image `name` ("<name>@2x.png": the kit ships its
  // images drawn for scale 2); null when the bundle has none.
  static std::shared_ptr<const ui::Image> imageNamed(const std::string& name);
  // The kit bundle's text for `key` in its table "TXKit"; "" when none.
  static std::string localizedString(const std::string& key);

  // Runs `block` on the background global queue inside a background task
  // named "Background Block"; a null block does nothing.
  static void background(std::function<void()> block);
  // Application background tasks (any thread). Without a handler the task
  // ends itself when its time runs out, logging "Ending background task %lu
  // ("%@") automatically after expiration!"; with one, the handler runs.
  static BackgroundTaskIdentifier beginBackgroundTask();
  static BackgroundTaskIdentifier beginBackgroundTaskWithName(const std::string& name);
  static BackgroundTaskIdentifier beginBackgroundTaskWithName(const std::string& name,
                                                              std::function<void()> expirationHandler);
  static void endBackgroundTask(BackgroundTaskIdentifier identifier);
  // The kit's tasks begun and not yet ended (tests, the host's wait).
  static size_t activeBackgroundTaskCount();

  // Tips. Each tip counts the views of its screen in the standard default
  // "com.tavrix.viewsCount.<tip id>"; its shown state is the showed flag of
  // the tip id (showedMessageID).
  static constexpr const char* kTipViewsCountKeyFormat = "com.tavrix.viewsCount.%@";
  // Counts one view of the tip's screen, unless the tip was shown already
  // (then NO at once). Due when the count has reached `viewsCount`,
  // "app"/"showTipsAfterUsesCount" is not negative and at most the uses
  // count, and no kit popup is showing.
  bool shouldShowTipID(const std::string& tipID, int64_t viewsCount);
  // When due: marks the tip shown and a popup showing, and 0.1 s later
  // shows a flat yellow bubble (QBPopTipView) with `text` as its title,
  // pointing at the view, dismissed by a tap anywhere. It lies over the
  // topmost controller's view, or over `inView` on a pad in portrait whose
  // topmost controller is a split view. Should the view or the container
  // have left every window by then, the tip is skipped and the popup flag
  // cleared, so that other popups are not blocked.
  void showTipIfNeededWithID(const std::string& tipID, const std::string& text, const ui::View* pointingAtView,
                             const ui::View* inView, int64_t afterViewsCount, bool animated);
  // The same pointing at the item's view (items here have one when it is a
  // custom view), its superview's superview proposed as the container.
  void showTipIfNeededWithID(const std::string& tipID, const std::string& text,
                             const ui::BarButtonItem* pointingAtBarButtonItem, int64_t afterViewsCount, bool animated);
  // The kit's tips tell it here when a person dismissed them.
  void popTipViewWasDismissedByUser(QBPopTipView& popTipView);

 private:
  TXKit() = default;
  void observeLifecycle();
  // A new rebuild's generation.
  uint64_t nextMoreAppsStamp();
  // Shows one due message; the dismissal clears isShowingMessage.
  void showMessage(const TXMessage& message);

  mutable std::mutex launchMutex_;
  std::weak_ptr<TXKitDelegate> delegate_;
  std::shared_ptr<const ui::Color> themeColor_;
  bool isShowingMessage_ = false;
  std::vector<MoreApp> moreApps_;
  uint64_t moreAppsStamp_ = 0;
  TXMessages defaultMessages_;
};
