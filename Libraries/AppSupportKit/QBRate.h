// The rating-prompt scheduler: decides when the user is asked to rate the
// app in the store, asks, and remembers the answer.
//
// - It counts uses (launches and returns from the background) and events,
//   waits `daysUntilPrompt` after the first use of the counting period, keeps
//   quiet `remindPeriod` days after "Remind Me Later", never asks again after
//   a decline of any version (until the flag is cleared), and asks the store's
//   lookup service whether the app is there and its version the latest.
// - Everything it keeps lives in the standard defaults under the k*Key names
//   below; every write is synchronized.
// - One instance per process. Loading the library queues its creation on the
//   main queue; creation queues the launch bookkeeping there too.
// - Main thread only, except checkForConnectivity, which runs on the global
//   background queue and hands its outcome back to the main queue.
//
// Errors reach the delegate and "QBRateCouldNotConnectToAppStore" only while
// a prompt or a store-page request waits for the check:
//   "QBRateErrorDomain" 1  the store's record is another app's
//                       2  no record while a store id is set
//                       3  the store has a newer version
//   "HTTPResponseErrorDomain" <status>  any answer but a 200 with a body
// plus transport and decoding errors as they come.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ns {
class Bundle;
}
#include "Platform/UIKit/AlertView.h"

namespace ui {
class AlertController;
class ViewController;
}

// Every method is optional; the defaults change nothing (and let the prompt
// and the store page go ahead). Each call but the two questions is followed
// by the notification of the same name, with no object (the error for
// "QBRateCouldNotConnectToAppStore").
class QBRateDelegate {
 public:
  virtual ~QBRateDelegate() = default;
  // `error` is null when the cause is unknown.
  virtual void QBRateCouldNotConnectToAppStore(const ns::Error*) {}
  virtual void QBRateDidDetectAppUpdate() {}
  virtual bool QBRateShouldPromptForRating() { return true; }
  virtual void QBRateDidPromptForRating() {}
  virtual void QBRateUserDidAttemptToRateApp() {}
  virtual void QBRateUserDidDeclineToRateApp() {}
  virtual void QBRateUserDidRequestReminderToRateApp() {}
  virtual bool QBRateShouldOpenAppStore() { return true; }
  virtual void QBRateDidOpenAppStore() {}
};

class QBRate : public ui::AlertViewDelegate {
 public:
  static constexpr const char* kErrorDomain = "QBRateErrorDomain";
  static constexpr const char* kHTTPResponseErrorDomain = "HTTPResponseErrorDomain";
  enum ErrorCode : int64_t { kBundleIdDoesNotMatchAppStore = 1, kApplicationNotFoundOnAppStore = 2,
                             kApplicationIsNotLatestVersion = 3 };

  static constexpr const char* kFirstUsedKey = "QBRateFirstUsed";
  static constexpr const char* kUseCountKey = "QBRateUseCount";
  static constexpr const char* kEventCountKey = "QBRateEventCount";
  static constexpr const char* kLastRemindedKey = "QBRateLastReminded";
  static constexpr const char* kLastVersionUsedKey = "QBRateLastVersionUsed";
  static constexpr const char* kDeclinedVersionKey = "QBRateDeclinedVersion";
  static constexpr const char* kRatedVersionKey = "QBRateRatedVersionChecked";
  static constexpr const char* kAppStoreIDKey = "QBRateAppStoreID";

  // The store's hosts (reserved names; a device maps them where it likes).
  static constexpr const char* kLookupHost = "lookup.store.example";
  static constexpr const char* kReviewHost = "reviews.store.example";
  static constexpr int64_t kGameGenreID = 6014;
  static constexpr double kLookupTimeout = 60;

  // What the application sets; the values are those after creation.
  struct Settings {
    uint64_t appStoreGenreID = 0;
    std::string appStoreCountry;      // the country rule on the device's region
    std::string applicationName;      // "CFBundleDisplayName", else "CFBundleName"
    std::string applicationVersion;   // "CFBundleShortVersionString", else "CFBundleVersion"
    std::string applicationBundleID;  // the main bundle's identifier
    uint64_t usesUntilPrompt = 10;
    uint64_t eventsUntilPrompt = 10;
    float daysUntilPrompt = 10;
    float usesPerWeekForPrompt = 0;
    float remindPeriod = 1;  // days
    // Absent: the localized default.
    std::optional<std::string> messageTitle, message, updateMessage, cancelButtonLabel, remindButtonLabel,
        rateButtonLabel;
    bool useUIAlertControllerIfAvailable = false;
    bool useAllAvailableLanguages = true;
    bool promptForNewVersionIfUserRated = false;
    bool onlyPromptIfLatestVersion = true;
    bool promptAtLaunch = true;
    bool verboseLogging = false;
    // Skips every criterion and store check.
    bool previewMode = false;
    // Absent: the store's review page for appStoreID().
    std::optional<ns::URL> ratingsURL;
  };

  static QBRate& sharedInstance();
  // "150" -> "eu"; "GI" -> "GB"; none, or not two letters -> "us"; else as is.
  static std::string appStoreCountryForRegion(const std::optional<std::string>& region);

  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }

  // The id set, else the one the lookup found ("QBRateAppStoreID"), else 0.
  uint64_t appStoreID() const;
  void setAppStoreID(uint64_t id) { appStoreID_ = id; }
  // Not retained. Unset at the first read: the application delegate, when it
  // adopts the protocol, is taken and kept.
  std::shared_ptr<QBRateDelegate> delegate();
  void setDelegate(std::weak_ptr<QBRateDelegate> delegate);

  // The texts, with "%@" in the title and messages replaced by the name.
  std::string messageTitle() const;
  std::string message() const;  // the update message once any version was rated
  std::string cancelButtonLabel() const;
  std::string rateButtonLabel() const;
  std::string remindButtonLabel() const;
  // The library's text for `key` (QBRate.bundle, in the user's language),
  // which the main bundle's own table may override.
  std::string localizedStringForKey(const std::string& key, const std::string& defaultValue) const;
  ns::URL ratingsURL() const;

  // Stored state.
  std::optional<ns::Date> firstUsed() const;
  void setFirstUsed(std::optional<ns::Date> date);
  std::optional<ns::Date> lastReminded() const;
  void setLastReminded(std::optional<ns::Date> date);
  uint64_t usesCount() const;
  void setUsesCount(uint64_t count);
  uint64_t eventCount() const;
  void setEventCount(uint64_t count);
  float usesPerWeek() const;
  bool declinedThisVersion() const;
  void setDeclinedThisVersion(bool declined);
  bool declinedAnyVersion() const;
  bool ratedVersion(const std::string& version) const;
  bool ratedThisVersion() const;
  void setRatedThisVersion(bool rated);
  bool ratedAnyVersion() const;

  void incrementUseCount();
  void incrementEventCount();
  // Counts an event; checks the criteria unless `deferPrompt`.
  void logEvent(bool deferPrompt);
  bool shouldPromptForRating() const;
  void promptIfAllCriteriaMet();
  void promptIfNetworkAvailable();
  void promptForRating();
  void openRatingsPageInAppStore();
  // The three answers.
  void rate();
  void remindLater();
  void declineThisVersion();

  void applicationLaunched();
  void applicationWillEnterForeground();
  // The kit's launch on demand: a use, the store check and, with
  // promptAtLaunch, the criteria.
  void simulateLaunch();

  void checkForConnectivityInBackground();
  // Blocks for up to kLookupTimeout; any thread but the main one.
  void checkForConnectivity();

  // "results"' last record of the store's answer, read without trusting its
  // shape: absent when the body is not a JSON object with such a record.
  static std::optional<ns::Dictionary> storeRecordFromJSON(const ns::Value& json);
  // A string or a number of the record; absent for other types.
  static std::optional<std::string> valueForKey(const std::string& key, const ns::Dictionary& record);
  // The same read from the answer's text without a parser.
  static std::optional<std::string> valueForKey(const std::string& key, const std::string& text);

  bool isCheckingForPrompt() const { return checkingForPrompt_; }
  bool isCheckingForAppStoreID() const { return checkingForAppStoreID_; }
  // The question on screen, classic or not; null when none.
  std::shared_ptr<ui::AlertController> visibleAlert() const;
  // The alert's answer, by button index.
  void didDismissAlertWithButtonAtIndex(int64_t index);
  void alertViewDidDismissWithButtonIndex(ui::AlertView& alertView, int64_t buttonIndex) override;

  // Tests: a freshly created instance (no checks pending, settings from the
  // current device and main bundle), its creation bookkeeping not run.
  static void resetForTesting();

 private:
  QBRate();
  // The one instance and its observer, registered once for the process.
  static void createInstance(std::shared_ptr<QBRate>& slot);
  // The instance's owner, for work that must keep it alive.
  static std::shared_ptr<QBRate> sharedPointer();
  void fillSettings();
  void connectionSucceeded();
  void connectionError(const ns::Error* error);
  void setAppStoreIDOnMainThread(const std::string& trackId);
  std::optional<ns::Error> lookUpInStore();
  // On the main queue: the check's outcome.
  void finishCheck(std::optional<ns::Error> error);
  void verbose(const std::string& line) const;
  void launchBookkeeping();
  int64_t cancelButtonIndex() const;
  int64_t remindButtonIndex() const;

  Settings settings_;
  // Read by the check on its background queue.
  std::atomic<uint64_t> appStoreID_{0};
  std::weak_ptr<QBRateDelegate> delegate_;
  bool delegateSet_ = false;
  // The alert controller shown, or the classic alert.
  std::shared_ptr<ui::ViewController> visibleAlert_;
  std::shared_ptr<ui::AlertView> classicAlert_;
  mutable std::shared_ptr<ns::Bundle> textBundle_;
  bool checkingForPrompt_ = false;
  bool checkingForAppStoreID_ = false;
  // A check started before a reset answers nothing after it.
  uint64_t generation_ = 0;
};
