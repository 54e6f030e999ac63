#include "Libraries/Measurement/Storage/MSRUserDefaults.h"

#include "Libraries/Measurement/Storage/MSRConfigStoreLogging.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/testing/MSRUserDefaultsTesting.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Preferences.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {

constexpr const char* kUseCFPreferencesLibraryKey = "UseCFPreferencesLibrary";

struct PreferenceChoice {
  std::mutex mutex;
  std::optional<bool> enabled;
};

PreferenceChoice& preferenceChoice() {
  static PreferenceChoice* instance = new PreferenceChoice();
  return *instance;
}

// Whether the value's own kind can be kept. Inside an array or dictionary
// the platform judges, as it does on the device.
bool isStorableKind(const ns::Value& value) {
  if (value.isNull()) return false;
  if (value.isArray() || value.isDictionary()) return true;
  return ns::hasPropertyListForm(value);
}

// The user-defaults object is looked up at each use rather than kept: the
// platform keeps one per device, and the process-wide instance outlives a
// device (each test boots its own). Null for a suite the platform refuses.
std::shared_ptr<ns::UserDefaults> userDefaultsOf(const std::optional<std::string>& suiteName) {
  return ns::UserDefaults::withSuiteName(suiteName.value_or(""));
}

}  // namespace

bool MSRUserDefaults::userPreferenceEnabled() {
  PreferenceChoice& choice = preferenceChoice();
  std::lock_guard lock(choice.mutex);
  if (!choice.enabled) {
    const ns::Value* value = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(kUseCFPreferencesLibraryKey);
    choice.enabled = value && value->isNumber() ? value->boolValue() : true;
  }
  return *choice.enabled;
}

std::shared_ptr<MSRUserDefaults> MSRUserDefaults::standardUserDefaults() {
  static const std::shared_ptr<MSRUserDefaults> instance = [] {
    auto defaults = std::make_shared<MSRUserDefaults>();
    defaults->isPreferenceFileExcluded_ = true;
    return defaults;
  }();
  return instance;
}

MSRUserDefaults::MSRUserDefaults() : MSRUserDefaults(std::nullopt) {}

MSRUserDefaults::MSRUserDefaults(const std::optional<std::string>& suiteName)
    : suiteName_(suiteName),
      appNameRef_(suiteName && !suiteName->empty() ? *suiteName : ns::Preferences::kCurrentApplication),
      useCFPreferencesLibrary_(userPreferenceEnabled()) {}

bool MSRUserDefaults::isPreferenceFileExcluded() const {
  std::lock_guard lock(exclusionMutex_);
  return isPreferenceFileExcluded_;
}

std::optional<ns::Value> MSRUserDefaults::objectForKey(std::string_view key) {
  if (key.empty()) {
    MSRConfigStoreLogWarning(41001, "Cannot get object for invalid user default key.");
    return std::nullopt;
  }
  if (useCFPreferencesLibrary_) return ns::Preferences::copyAppValue(key, appNameRef());
  auto defaults = userDefaultsOf(suiteName_);
  return defaults ? defaults->objectForKey(key) : std::nullopt;
}

void MSRUserDefaults::setObject(const std::optional<ns::Value>& object, std::string_view key) {
  if (key.empty()) {
    MSRConfigStoreLogWarning(41002, "Cannot set object for invalid user default key.");
    return;
  }
  if (object && !isStorableKind(*object)) {
    MSRConfigStoreLogWarning(41003,
                             "Cannot set invalid object to user defaults. Must be a string or number or an array. "
                             "Value %@",
                             *object);
    return;
  }
  store(key, object);
}

void MSRUserDefaults::removeObjectForKey(std::string_view key) { store(key, std::nullopt); }

void MSRUserDefaults::store(std::string_view key, const std::optional<ns::Value>& value) {
  if (useCFPreferencesLibrary_) {
    ns::Preferences::setAppValue(key, value, appNameRef());
    return;
  }
  auto defaults = userDefaultsOf(suiteName_);
  if (!defaults) return;
  if (value) {
    defaults->setObject(*value, key);
  } else {
    defaults->removeObjectForKey(key);
  }
}

void MSRUserDefaults::clearAllData() {
  if (useCFPreferencesLibrary_) {
    std::vector<std::string> keys = ns::Preferences::copyKeyList(appNameRef());
    ns::Preferences::setMultiple({}, keys, appNameRef());
    return;
  }
  auto defaults = userDefaultsOf(suiteName_);
  if (!defaults) return;
  const bool hasSuite = suiteName_ && !suiteName_->empty();
  defaults->removePersistentDomainForName(hasSuite ? *suiteName_ : ns::UserDefaults::applicationDomainName());
}

void MSRUserDefaults::synchronize() {
  if (useCFPreferencesLibrary_) {
    if (!ns::Preferences::appSynchronize(appNameRef()))
      MSRConfigStoreLogError(41004, "Cannot synchronize user defaults to disk");
  } else if (auto defaults = userDefaultsOf(suiteName_)) {
    defaults->synchronize();
  }

  std::lock_guard lock(exclusionMutex_);
  if (isPreferenceFileExcluded_) return;
  std::string path = MSRPreferencesPlistPath(suiteName_.value_or(""));
  if (path.empty() || !ns::FileManager::defaultManager().fileExists(path)) return;
  ns::Error error;
  if (MSRExcludeFileFromBackup(path, &error)) {
    isPreferenceFileExcluded_ = true;
  } else {
    MSRConfigStoreLogWarning(41000, "Failed to exclude preferences file from backup. Error code %@",
                             ns::Value(static_cast<long long>(error.code())));
  }
}

void MSRUserDefaultsForgetPreferenceChoiceForTesting() {
  std::lock_guard lock(preferenceChoice().mutex);
  preferenceChoice().enabled.reset();
}
