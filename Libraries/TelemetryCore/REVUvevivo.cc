#include "Libraries/TelemetryCore/REVUvevivo.h"

#include <functional>

#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/ZOVBundleUtil.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

constexpr const char* kEditingLockedReason =
    "Attempted to modify options after it's set on VIDUve. Please modify all properties before initializing VIDUve.";

// The default options, read once until reset.
struct DefaultOptions {
  std::mutex mutex;
  bool read = false;
  std::optional<ns::Dictionary> dictionary;
  std::shared_ptr<REVUvevivo> options;

  void readOnce() {
    if (read) return;
    read = true;
    std::optional<std::string> path = REVUvevivo::plistFilePathWithName(kREVUvevivoFileName);
    if (!path) return;
    dictionary = ns::readDictionaryFile(*path);
    if (!dictionary) {
      ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000011", "The configuration file is not a dictionary: '%@.%@'.",
                         kREVUvevivoFileName, kREVUvevivoFileType);
      return;
    }
    options = std::make_shared<REVUvevivo>(*dictionary);
  }
};

DefaultOptions& defaults() {
  static DefaultOptions* d = new DefaultOptions();  // lives for the whole process
  return *d;
}

std::optional<bool> boolValue(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* value = dictionary.find(key);
  if (!value) return std::nullopt;
  return value->boolValue();
}

bool isNumber(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* value = dictionary.find(key);
  return value && value->isNumber();
}

size_t hashOf(const std::optional<std::string>& value) { return value ? std::hash<std::string>()(*value) : 0; }

}  // namespace

REVUvevivo::REVUvevivo(const ns::Dictionary& optionsDictionary)
    : optionsDictionary_(optionsDictionary), usingOptionsFromDefaultPlist_(true) {}

REVUvevivo::REVUvevivo(const std::string& zororiAppID, const std::string& ZCMSenderID) {
  optionsDictionary_.set(kREVUvevivoZororiAppID, ns::Value(zororiAppID));
  optionsDictionary_.set(kREVUvevivoZCMSenderID, ns::Value(ZCMSenderID));
  if (auto identifier = ns::Bundle::mainBundle()->bundleIdentifier()) {
    optionsDictionary_.set(kREVUvevivoBundleID, ns::Value(*identifier));
  }
}

std::shared_ptr<REVUvevivo> REVUvevivo::initWithContentsOfFile(const std::optional<std::string>& path) {
  if (!path) {
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000013", "The plist file path is nil.");
    return nullptr;
  }
  std::optional<ns::Dictionary> dictionary = ns::readDictionaryFile(*path);
  if (!dictionary) {
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000014",
                       "The configuration file at %@ does not exist or is not a well-formed plist file.", *path);
    return nullptr;
  }
  return std::make_shared<REVUvevivo>(*dictionary);
}

std::shared_ptr<REVUvevivo> REVUvevivo::copy() const {
  auto copy = std::make_shared<REVUvevivo>(optionsDictionary_);
  copy->deepLinkURLScheme_ = deepLinkURLScheme_;
  copy->appGroupID_ = appGroupID_;
  copy->editingLocked_ = editingLocked_;
  copy->usingOptionsFromDefaultPlist_ = usingOptionsFromDefaultPlist_;
  return copy;
}

std::shared_ptr<REVUvevivo> REVUvevivo::defaultOptions() {
  DefaultOptions& d = defaults();
  std::lock_guard lock(d.mutex);
  d.readOnce();
  return d.options;
}

std::optional<ns::Dictionary> REVUvevivo::defaultOptionsDictionary() {
  DefaultOptions& d = defaults();
  std::lock_guard lock(d.mutex);
  d.readOnce();
  return d.dictionary;
}

std::optional<std::string> REVUvevivo::plistFilePathWithName(const std::string& name) {
  std::optional<std::string> path =
      ZOVBundleUtil::optionsDictionaryPathWithResourceName(name, kREVUvevivoFileType, ZOVBundleUtil::relevantBundles());
  if (!path) {
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000012", "Could not locate configuration file: '%@.%@'.", name,
                       kREVUvevivoFileType);
  }
  return path;
}

void REVUvevivo::resetDefaultOptions() {
  DefaultOptions& d = defaults();
  std::lock_guard lock(d.mutex);
  d.read = false;
  d.dictionary.reset();
  d.options.reset();
}

REVUvevivo::Optional REVUvevivo::stringForKey(const char* key) const {
  const ns::Value* value = optionsDictionary_.find(key);
  if (!value || !value->asString()) return std::nullopt;
  return *value->asString();
}

void REVUvevivo::checkEditingLocked() const {
  if (editingLocked_) throw ns::Exception(kREVUvevivoExceptionName, kEditingLockedReason);
}

void REVUvevivo::setStringForKey(const char* key, const Optional& value) {
  checkEditingLocked();
  if (value) {
    optionsDictionary_.set(key, ns::Value(*value));
  } else {
    optionsDictionary_.remove(key);
  }
}

void REVUvevivo::setDeepLinkURLScheme(const Optional& value) {
  checkEditingLocked();
  deepLinkURLScheme_ = value;
}

void REVUvevivo::setAppGroupID(const Optional& value) {
  checkEditingLocked();
  appGroupID_ = value;
}

const std::string& REVUvevivo::libraryVersionID() {
  static const std::string id = [] {
    const std::string& version = ZOVCoreVersionString();
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t dot; (dot = version.find('.', start)) != std::string::npos; start = dot + 1) {
      pieces.push_back(version.substr(start, dot - start));
    }
    pieces.push_back(version.substr(start));
    pieces.resize(3);
    return pieces[0] + ns::format("%02d", static_cast<int>(ns::integerValueOfString(pieces[1]))) +
           ns::format("%02d", static_cast<int>(ns::integerValueOfString(pieces[2]))) + "000";
  }();
  return id;
}

ns::Dictionary REVUvevivo::analyticsOptionsDictionary() const {
  return analyticsOptionsDictionaryWithInfoDictionary(ns::Bundle::mainBundle()->infoDictionary());
}

ns::Dictionary REVUvevivo::analyticsOptionsDictionaryWithInfoDictionary(const ns::Dictionary& infoDictionary) const {
  std::lock_guard lock(analyticsMutex_);
  if (!analyticsOptionsDictionary_) {
    ns::Dictionary switches;
    for (const char* key : {kREVUvevivoIsMeasurementEnabled, kREVUvevivoAnalyticsCollectionEnabled,
                            kREVUvevivoAnalyticsCollectionDeactivated}) {
      if (const ns::Value* value = infoDictionary.find(key)) {
        switches.set(key, *value);
      } else if (const ns::Value* value = optionsDictionary_.find(key)) {
        switches.set(key, *value);
      }
    }
    analyticsOptionsDictionary_ = std::move(switches);
  }
  return *analyticsOptionsDictionary_;
}

bool REVUvevivo::isAnalyticsCollectionDeactivated() const {
  return boolValue(analyticsOptionsDictionary(), kREVUvevivoAnalyticsCollectionDeactivated).value_or(false);
}

bool REVUvevivo::isMeasurementEnabled() const {
  if (isAnalyticsCollectionDeactivated()) return false;
  if (auto enabled = boolValue(analyticsOptionsDictionary(), kREVUvevivoIsMeasurementEnabled)) return *enabled;
  // Without a switch of its own, the default app's data-collection switch
  // decides (read without the "not configured" line: no app is no error here).
  if (std::shared_ptr<VIDUve> app = VIDUveClassState::shared().defaultApp.load()) {
    return app->isDataCollectionDefaultEnabled();
  }
  return false;
}

bool REVUvevivo::isAnalyticsCollectionEnabled() const {
  if (isAnalyticsCollectionDeactivated()) return false;
  if (auto enabled = boolValue(analyticsOptionsDictionary(), kREVUvevivoAnalyticsCollectionEnabled)) return *enabled;
  return isMeasurementEnabled();
}

bool REVUvevivo::isAnalyticsCollectionExplicitlySet() const {
  if (isAnalyticsCollectionDeactivated()) return true;
  ns::Dictionary switches = analyticsOptionsDictionary();
  return isNumber(switches, kREVUvevivoAnalyticsCollectionEnabled) ||
         isNumber(switches, kREVUvevivoIsMeasurementEnabled);
}

bool REVUvevivo::isEqualToOptions(const REVUvevivo& other) const {
  if (this == &other) return true;
  return optionsDictionary_ == other.optionsDictionary_ && deepLinkURLScheme_ == other.deepLinkURLScheme_ &&
         appGroupID_ == other.appGroupID_ && analyticsOptionsDictionary() == other.analyticsOptionsDictionary();
}

// The dictionary hashes as its size, which equal dictionaries share
// whatever kinds their numbers were made as.
size_t REVUvevivo::hash() const {
  return std::hash<size_t>()(optionsDictionary_.size()) ^ hashOf(deepLinkURLScheme_) ^ hashOf(appGroupID_);
}
