// A configuration store over a user-defaults suite (or, without a suite,
// the app's own defaults): "<suite>.plist" under Library/Preferences.
//
// Two faces reach the same domain: the user-defaults object
// (ns::UserDefaults, which also answers registered defaults) or the
// preferences functions (ns::Preferences). The application's Info.plist
// chooses, once per process, under "UseCFPreferencesLibrary": a number
// gives its boolean value, an absent key or any other kind (the string
// "NO" too) chooses the preferences functions. Both write through at once.
//
// A value whose own kind has no property-list form (null; a string with a
// NUL character or a date outside 1933-2069, which the file cannot hold) is
// refused with warning "I-ACS041003"; an empty key with "I-ACS041001"
// (read) or "I-ACS041002" (write). What lies inside an array or dictionary
// is the platform's to judge: it throws ns::Exception
// (kInvalidArgumentException) for anything there it cannot write.
//
// synchronize() also excludes the suite's file from device backups, until
// that has worked once; a preferences synchronisation that fails logs
// error "I-ACS041004".
//
// Thread-safe: the platform's defaults are; the object locks only around
// the backup exclusion.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Storage/MSRConfigStore.h"

class MSRUserDefaults : public MSRConfigStore {
 public:
  // The Info.plist's choice of the preferences functions, read at the first
  // call.
  static bool userPreferenceEnabled();
  // The app's own defaults, made once; its file counts as excluded from
  // backups from the start.
  static std::shared_ptr<MSRUserDefaults> standardUserDefaults();

  // The app's own defaults.
  MSRUserDefaults();
  // A suite; none or an empty name is the app's own defaults.
  explicit MSRUserDefaults(const std::optional<std::string>& suiteName);

  const std::optional<std::string>& suiteName() const { return suiteName_; }
  bool useCFPreferencesLibrary() const { return useCFPreferencesLibrary_; }
  // Switches the face for every later call; the same value changes nothing.
  void setUseCFPreferencesLibrary(bool use) { useCFPreferencesLibrary_ = use; }
  bool isPreferenceFileExcluded() const;

  std::optional<ns::Value> objectForKey(std::string_view key) override;
  void setObject(const std::optional<ns::Value>& object, std::string_view key) override;
  void removeObjectForKey(std::string_view key) override;
  // Removes the whole domain.
  void clearAllData() override;
  void synchronize() override;

 private:
  // The application name the preferences functions take: the suite, or
  // the current application.
  const std::string& appNameRef() const { return appNameRef_; }
  // Writes through the face in use.
  void store(std::string_view key, const std::optional<ns::Value>& value);

  const std::optional<std::string> suiteName_;
  const std::string appNameRef_;
  std::atomic<bool> useCFPreferencesLibrary_;
  mutable std::mutex exclusionMutex_;
  bool isPreferenceFileExcluded_ = false;
};
