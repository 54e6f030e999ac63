// REVUvevivo: the options that configure the telemetry libraries: the
// contents of the options file "ZororiService-Info.plist" in the app's
// bundles, or values set in code.
//
// Every keyed property reads and writes `optionsDictionary()`; the
// deep-link scheme and the app group live beside it. Once an app takes a
// copy it locks the copy against editing: from then on every setter throws
// ns::Exception "com.dozaveve.core" ("Attempted to modify options after it's
// set on VIDUve. ..."), and copies of locked options are locked too.
//
// The analytics switches ("IS_MEASUREMENT_ENABLED",
// "DOZAVEVE_ANALYTICS_COLLECTION_ENABLED",
// "DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED") are read once per object,
// the main bundle's Info.plist winning over the options, and are kept for
// the object's life whatever is edited later.
//
// Not thread-safe while being edited; once locked it may be read anywhere.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

inline constexpr const char* kREVUvevivoExceptionName = "com.dozaveve.core";
inline constexpr const char* kREVUvevivoFileName = "ZororiService-Info";
inline constexpr const char* kREVUvevivoFileType = "plist";

// Keys of the options dictionary.
inline constexpr const char* kREVUvevivoAPIKey = "API_KEY";
inline constexpr const char* kREVUvevivoClientID = "CLIENT_ID";
inline constexpr const char* kREVUvevivoTrackingID = "TRACKING_ID";
inline constexpr const char* kREVUvevivoZCMSenderID = "ZCM_SENDER_ID";
inline constexpr const char* kREVUvevivoProjectID = "PROJECT_ID";
inline constexpr const char* kREVUvevivoAndroidClientID = "ANDROID_CLIENT_ID";
inline constexpr const char* kREVUvevivoZororiAppID = "ZORORI_APP_ID";
inline constexpr const char* kREVUvevivoDatabaseURL = "DATABASE_URL";
inline constexpr const char* kREVUvevivoStorageBucket = "STORAGE_BUCKET";
inline constexpr const char* kREVUvevivoBundleID = "BUNDLE_ID";
inline constexpr const char* kREVUvevivoIsMeasurementEnabled = "IS_MEASUREMENT_ENABLED";
inline constexpr const char* kREVUvevivoAnalyticsCollectionEnabled = "DOZAVEVE_ANALYTICS_COLLECTION_ENABLED";
inline constexpr const char* kREVUvevivoAnalyticsCollectionDeactivated = "DOZAVEVE_ANALYTICS_COLLECTION_DEACTIVATED";

class REVUvevivo {
 public:
  using Optional = std::optional<std::string>;

  REVUvevivo() = delete;
  // The internal initializer: a copy of `optionsDictionary`, marked as
  // coming from the default options file.
  explicit REVUvevivo(const ns::Dictionary& optionsDictionary);
  // "ZORORI_APP_ID", "ZCM_SENDER_ID" and "BUNDLE_ID" (the main bundle's
  // identifier).
  REVUvevivo(const std::string& zororiAppID, const std::string& ZCMSenderID);
  // The dictionary of the property-list file at `path`; null after the
  // error line "I-COR000013" (no path) or "I-COR000014" (unreadable, or
  // not a dictionary).
  static std::shared_ptr<REVUvevivo> initWithContentsOfFile(const std::optional<std::string>& path);

  REVUvevivo(const REVUvevivo&) = delete;
  REVUvevivo& operator=(const REVUvevivo&) = delete;
  // Same dictionary, scheme, app group, lock and origin; the analytics
  // switches are read afresh.
  std::shared_ptr<REVUvevivo> copy() const;

  // The options of "ZororiService-Info.plist" in the relevant bundles, read
  // once (one shared object), or null after an error line: "I-COR000012"
  // when no bundle has the file, "I-COR000011" when it holds no dictionary.
  static std::shared_ptr<REVUvevivo> defaultOptions();
  static std::optional<ns::Dictionary> defaultOptionsDictionary();
  // The path of "<name>.plist" in the relevant bundles ("I-COR000012" when
  // none has it).
  static std::optional<std::string> plistFilePathWithName(const std::string& name);
  // Forgets the default options: the next call reads the file again.
  static void resetDefaultOptions();

  const ns::Dictionary& optionsDictionary() const { return optionsDictionary_; }

  // Keyed properties; a value that is not a string reads as nothing, and
  // setting nothing removes the key.
  Optional APIKey() const { return stringForKey(kREVUvevivoAPIKey); }
  void setAPIKey(const Optional& value) { setStringForKey(kREVUvevivoAPIKey, value); }
  Optional clientID() const { return stringForKey(kREVUvevivoClientID); }
  void setClientID(const Optional& value) { setStringForKey(kREVUvevivoClientID, value); }
  Optional trackingID() const { return stringForKey(kREVUvevivoTrackingID); }
  void setTrackingID(const Optional& value) { setStringForKey(kREVUvevivoTrackingID, value); }
  Optional ZCMSenderID() const { return stringForKey(kREVUvevivoZCMSenderID); }
  void setZCMSenderID(const Optional& value) { setStringForKey(kREVUvevivoZCMSenderID, value); }
  Optional projectID() const { return stringForKey(kREVUvevivoProjectID); }
  void setProjectID(const Optional& value) { setStringForKey(kREVUvevivoProjectID, value); }
  Optional androidClientID() const { return stringForKey(kREVUvevivoAndroidClientID); }
  void setAndroidClientID(const Optional& value) { setStringForKey(kREVUvevivoAndroidClientID, value); }
  Optional zororiAppID() const { return stringForKey(kREVUvevivoZororiAppID); }
  void setZororiAppID(const Optional& value) { setStringForKey(kREVUvevivoZororiAppID, value); }
  Optional databaseURL() const { return stringForKey(kREVUvevivoDatabaseURL); }
  void setDatabaseURL(const Optional& value) { setStringForKey(kREVUvevivoDatabaseURL, value); }
  Optional storageBucket() const { return stringForKey(kREVUvevivoStorageBucket); }
  void setStorageBucket(const Optional& value) { setStringForKey(kREVUvevivoStorageBucket, value); }
  Optional bundleID() const { return stringForKey(kREVUvevivoBundleID); }
  void setBundleID(const Optional& value) { setStringForKey(kREVUvevivoBundleID, value); }

  const Optional& deepLinkURLScheme() const { return deepLinkURLScheme_; }
  void setDeepLinkURLScheme(const Optional& value);
  const Optional& appGroupID() const { return appGroupID_; }
  void setAppGroupID(const Optional& value);

  bool usingOptionsFromDefaultPlist() const { return usingOptionsFromDefaultPlist_; }
  bool isEditingLocked() const { return editingLocked_; }
  void setEditingLocked(bool locked) { editingLocked_ = locked; }

  // The core version as digits: "10.16.0" is "101600000".
  static const std::string& libraryVersionID();

  // The analytics switches with the main bundle's Info.plist.
  ns::Dictionary analyticsOptionsDictionary() const;
  // The switches with `infoDictionary` as the Info.plist; only the first
  // call of either reads, later ones return what it kept.
  ns::Dictionary analyticsOptionsDictionaryWithInfoDictionary(const ns::Dictionary& infoDictionary) const;
  bool isMeasurementEnabled() const;
  bool isAnalyticsCollectionEnabled() const;
  bool isAnalyticsCollectionDeactivated() const;
  bool isAnalyticsCollectionExplicitlySet() const;

  // Null and other objects are unequal.
  bool isEqual(const REVUvevivo* other) const { return other && isEqualToOptions(*other); }
  bool isEqualToOptions(const REVUvevivo& other) const;
  size_t hash() const;

 private:
  Optional stringForKey(const char* key) const;
  void setStringForKey(const char* key, const Optional& value);
  void checkEditingLocked() const;

  ns::Dictionary optionsDictionary_;
  Optional deepLinkURLScheme_;
  Optional appGroupID_;
  bool usingOptionsFromDefaultPlist_ = false;
  bool editingLocked_ = false;
  mutable std::mutex analyticsMutex_;
  mutable std::optional<ns::Dictionary> analyticsOptionsDictionary_;
};
