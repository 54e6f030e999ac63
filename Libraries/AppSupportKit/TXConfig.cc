#include "Libraries/AppSupportKit/TXConfig.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "Libraries/AppSupportKit/TXConfigResolution.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Network/SynchronousLoad.h"

namespace {

// The kit's lines: warnings asynchronously, errors synchronously.
void logWarning(const char* function, unsigned line, const char* text) {
  LKLog::log(true, LKLogLevelInfo, LKLogFlagWarning, 0, __FILE__, function, line, nullptr, std::string(text));
}
void logError(const char* function, unsigned line, const std::string& text) {
  LKLog::log(false, LKLogLevelInfo, LKLogFlagError, 0, __FILE__, function, line, nullptr, text);
}

// A number, or a string that is wholly a (finite) number after white space.
std::optional<double> numberIn(const ns::Value& value) {
  if (value.isNumber()) return value.doubleValue();
  const std::string* text = value.asString();
  if (!text) return std::nullopt;
  const char* begin = text->c_str();
  char* end = nullptr;
  double number = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(number)) return std::nullopt;
  while (*end == ' ' || *end == '\t' || *end == '\n') ++end;
  if (*end != '\0') return std::nullopt;
  return number;
}

template <class Int>
Int saturated(double number) {
  if (std::isnan(number)) return 0;
  if (number <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
  if (number >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
  return static_cast<Int>(number);
}

std::shared_ptr<const ns::Dictionary> readCache(const std::string& path) {
  std::optional<ns::Dictionary> cached = ns::readDictionaryFile(path);
  if (!cached) return nullptr;
  return std::make_shared<const ns::Dictionary>(std::move(*cached));
}

}  // namespace

TXConfig& TXConfig::sharedInstance() {
  static TXConfig* config = new TXConfig();  // lives as long as the process; its queue may still run
  return *config;
}

TXConfig::TXConfig() : queue_(dispatch::Queue::serial("TXConfigQueue")) {
  prefs_ = readCache(localConfigFile());
  defaults_[combinedKey("app", "configMinFetchInterval")] = ns::Value(kDefaultMinFetchInterval);
}

std::string TXConfig::combinedKey(const std::string& group, const std::string& key) { return group + "." + key; }

std::string TXConfig::localConfigFile() const {
  return ns::Device::current().documentsDirectory() + "/" + kLocalConfigFileName;
}

std::optional<ns::URL> TXConfig::remoteURL() const {
  std::lock_guard lock(mutex_);
  return remoteURL_;
}

void TXConfig::setRemoteURL(std::optional<ns::URL> url) {
  std::lock_guard lock(mutex_);
  remoteURL_ = std::move(url);
}

bool TXConfig::fetching() const {
  std::lock_guard lock(mutex_);
  return fetching_;
}

TXConfig::Prefs TXConfig::prefs() const {
  std::lock_guard lock(mutex_);
  return prefs_;
}

void TXConfig::setPrefs(Prefs prefs) {
  std::lock_guard lock(mutex_);
  prefs_ = std::move(prefs);
}

// --- Fetching ---

void TXConfig::fetchConfigFromServer(std::function<void()> completion) {
  std::optional<ns::URL> url = remoteURL();
  if (!url) return;

  double interval = numberForGroup("app", "configMinFetchInterval").value_or(0);
  std::optional<ns::Date> last = lastFetchTime();
  if (last && ns::Clock::now().timeIntervalSince(*last) < interval) {
    dispatch::Queue::main()->async([this, completion = std::move(completion)] {
      if (completion) completion();
      ns::NotificationCenter::defaultCenter().post(kConfigFetchedNotification, ns::unownedObject(this));
    });
    return;
  }

  {
    std::lock_guard lock(mutex_);
    if (completion) completionBlocks_.push_back(std::move(completion));
    if (fetching_) return;
    fetching_ = true;
  }
  TXKit::BackgroundTaskIdentifier task = TXKit::beginBackgroundTaskWithName("Fetch Config");
  queue_->async([this, url = *url, task] {
    bool succeeded = download(url);
    dispatch::Queue::main()->async([this, succeeded, task] {
      finishFetch(succeeded);
      TXKit::endBackgroundTask(task);
    });
  });
}

void TXConfig::finishFetch(bool succeeded) {
  if (succeeded) setLastFetchTime(ns::Clock::now());
  std::vector<std::function<void()>> completions;
  {
    std::lock_guard lock(mutex_);
    fetching_ = false;
    completions.swap(completionBlocks_);
  }
  for (auto& completion : completions) completion();
  ns::NotificationCenter::defaultCenter().post(kConfigFetchedNotification, ns::unownedObject(this));
}

bool TXConfig::download(const ns::URL& url) {
  std::optional<ns::Dictionary> published = net::dictionaryWithContentsOfURL(url, kDownloadTimeout);
  if (!published) {
    logWarning(__func__, __LINE__, "Failed fetching prefs from server");
    return false;
  }
  auto resolved = std::make_shared<const ns::Dictionary>(
      TXConfigResolution::resolve(*published, TXKit::iPad(), groupSlot()));
  setPrefs(resolved);
  return writeCache(*resolved);
}

bool TXConfig::writeCache(const ns::Dictionary& prefs) {
  ns::Error error;
  std::optional<ns::Data> data = ns::dataFromPropertyList(ns::Value(prefs), ns::PropertyListFormat::Binary, &error);
  if (!data) {
    // The cache on disk no longer matches what is in use: the fetch counts
    // as failed, so the next launch does not trust the stale file for an
    // hour.
    QB_REPORT(error);
    return false;
  }
  if (!ns::FileManager::defaultManager().createFile(localConfigFile(), *data, {}, &error)) {
    logError(__func__, __LINE__, "Failed saving serialized prefs");
    return false;
  }
  return true;
}

// --- Lookups ---

std::optional<ns::Dictionary> TXConfig::group(const std::string& name) const {
  Prefs current = prefs();
  if (!current) return std::nullopt;
  const ns::Value* group = current->find(name);
  if (!group || !group->isDictionary()) return std::nullopt;
  return *group->asDictionary();
}

std::optional<ns::Value> TXConfig::overridingValueForGroup(const std::string& group, const std::string& key) const {
  Prefs current = prefs();
  if (!current) return std::nullopt;
  const ns::Value* groupValue = current->find(group);
  const ns::Value* value = groupValue ? groupValue->find(key) : nullptr;
  if (!value) return std::nullopt;
  return *value;
}

std::optional<ns::Value> TXConfig::defaultValueForGroup(const std::string& group, const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = defaults_.find(combinedKey(group, key));
  if (it == defaults_.end()) return std::nullopt;
  return it->second;
}

void TXConfig::setDefaultValue(const std::string& group, const std::string& key, std::optional<ns::Value> value) {
  std::lock_guard lock(mutex_);
  if (value)
    defaults_[combinedKey(group, key)] = std::move(*value);
  else
    defaults_.erase(combinedKey(group, key));
}

std::optional<ns::Value> TXConfig::valueForGroup(const std::string& group, const std::string& key) const {
  if (auto value = overridingValueForGroup(group, key)) return value;
  return defaultValueForGroup(group, key);
}

ns::Value TXConfig::valueForGroup(const std::string& group, const std::string& key,
                                  const ns::Value& defaultValue) const {
  return valueForGroup(group, key).value_or(defaultValue);
}

std::optional<ns::Value> TXConfig::valuePerSessionForGroup(const std::string& group, const std::string& key) {
  std::string combined = combinedKey(group, key);
  {
    std::lock_guard lock(mutex_);
    if (auto it = perSessionVars_.find(combined); it != perSessionVars_.end()) return it->second;
  }
  std::optional<ns::Value> value = valueForGroup(group, key);
  if (!value) return std::nullopt;
  std::lock_guard lock(mutex_);
  // Another thread may have frozen a value meanwhile; the first one stays.
  return perSessionVars_.emplace(combined, std::move(*value)).first->second;
}

std::optional<double> TXConfig::numberForGroup(const std::string& group, const std::string& key) const {
  if (auto value = overridingValueForGroup(group, key))
    if (auto number = numberIn(*value)) return number;
  if (auto value = defaultValueForGroup(group, key)) return numberIn(*value);
  return std::nullopt;
}

int32_t TXConfig::int32ForGroup(const std::string& group, const std::string& key) const {
  return saturated<int32_t>(numberForGroup(group, key).value_or(0));
}

int64_t TXConfig::integerForGroup(const std::string& group, const std::string& key, int64_t defaultValue) const {
  std::optional<double> number = numberForGroup(group, key);
  return number ? saturated<int64_t>(*number) : defaultValue;
}

float TXConfig::rateDaysUntilPrompt() const {
  return static_cast<float>(numberForGroup("rate", "daysUntilPrompt").value_or(0));
}

bool TXConfig::shouldTriggerGroup(const std::string& group, const std::string& key) {
  std::optional<ns::Value> value = overridingValueForGroup(group, key);
  if (!value || !value->isDate()) value = defaultValueForGroup(group, key);
  const ns::Date* date = value ? value->asDate() : nullptr;
  if (!date) return false;
  // One check-and-stamp at a time, so two callers cannot both fire.
  std::lock_guard lock(triggerMutex_);
  auto defaults = ns::UserDefaults::standardUserDefaults();
  std::string stampKey = kTriggerStampKeyPrefix + group + "." + key;
  std::optional<ns::Date> stamp = defaults->dateForKey(stampKey);
  if (stamp && !(*stamp < *date)) return false;
  defaults->setObject(ns::Value(*date), stampKey);
  defaults->synchronize();
  return true;
}

// --- Persistent state ---

uint64_t TXConfig::groupSlot() {
  std::lock_guard lock(slotMutex_);
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (std::optional<ns::Value> stored = defaults->objectForKey(kGroupSlotKey)) {
    if (!stored->isNumber()) return 0;
    // Only a slot of 0 to 99 selects the published ranges as meant; one
    // outside it (a negative one would read as a huge number) is drawn again.
    int64_t slot = stored->integerValue();
    if (slot >= 0 && slot <= 99) return static_cast<uint64_t>(slot);
  }
  std::random_device random;
  uint64_t slot = static_cast<uint32_t>(random()) % 100;
  defaults->setInteger(static_cast<int64_t>(slot), kGroupSlotKey);
  defaults->synchronize();
  return slot;
}

std::optional<ns::Date> TXConfig::lastFetchTime() const {
  return ns::UserDefaults::standardUserDefaults()->dateForKey(kLastFetchKey);
}

void TXConfig::setLastFetchTime(std::optional<ns::Date> date) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (date)
    defaults->setObject(ns::Value(*date), kLastFetchKey);
  else
    defaults->removeObjectForKey(kLastFetchKey);
  defaults->synchronize();
}

// --- Test hooks ---

void TXConfig::setValue(const std::string& group, const std::string& key, ns::Value value) {
  std::lock_guard lock(mutex_);
  ns::Dictionary updated = prefs_ ? *prefs_ : ns::Dictionary();
  ns::Value& groupValue = updated[group];
  if (!groupValue.isDictionary()) groupValue = ns::Value(ns::Dictionary());
  groupValue.asDictionary()->set(key, std::move(value));
  prefs_ = std::make_shared<const ns::Dictionary>(std::move(updated));
}

void TXConfig::reset() {
  Prefs cached = readCache(localConfigFile());
  std::lock_guard lock(mutex_);
  remoteURL_.reset();
  prefs_ = std::move(cached);
  perSessionVars_.clear();
  defaults_.clear();
  defaults_[combinedKey("app", "configMinFetchInterval")] = ns::Value(kDefaultMinFetchInterval);
}
