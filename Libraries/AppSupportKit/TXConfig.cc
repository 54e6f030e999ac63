#include "Libraries/AppSupportKit/TXConfig.h"

#include "Platform/Foundation/UserDefaults.h"

TXConfig& TXConfig::sharedInstance() {
  static TXConfig config;
  return config;
}

ns::Value TXConfig::valueForGroup(const std::string& group, const std::string& key, const ns::Value& defaultValue) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find({group, key}); it != values_.end()) return it->second;
  if (auto it = defaults_.find({group, key}); it != defaults_.end()) return it->second;
  return defaultValue;
}

void TXConfig::setDefaultValue(const std::string& group, const std::string& key, ns::Value value) {
  std::lock_guard lock(mutex_);
  defaults_[{group, key}] = std::move(value);
}

void TXConfig::setValue(const std::string& group, const std::string& key, ns::Value value) {
  std::lock_guard lock(mutex_);
  values_[{group, key}] = std::move(value);
}

void TXConfig::reset() {
  std::lock_guard lock(mutex_);
  defaults_.clear();
  values_.clear();
}

bool TXConfig::shouldTriggerGroup(const std::string& group, const std::string& key) {
  ns::Value value = valueForGroup(group, key, ns::Value());
  const ns::Date* date = value.asDate();
  if (!date) return false;
  // One check-and-stamp at a time, so two callers cannot both fire.
  std::lock_guard lock(triggerMutex_);
  auto defaults = ns::UserDefaults::standardUserDefaults();
  std::string stampKey = "tavrix.TXConfig.triggerStamp." + group + "." + key;
  std::optional<ns::Date> stamp = defaults->dateForKey(stampKey);
  if (stamp && !(*stamp < *date)) return false;
  defaults->setObject(ns::Value(*date), stampKey);
  defaults->synchronize();
  return true;
}
