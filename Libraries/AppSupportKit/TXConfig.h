// The kit's remote configuration as the notes code reads it: a value per
// group and key, an overriding value first, else the configuration's
// default, else the caller's default.
//
// Seam: nothing is fetched yet; values come from setDefaultValue and
// setValue (the launch's registered defaults, tests).
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "Platform/Foundation/Value.h"

class TXConfig {
 public:
  static TXConfig& sharedInstance();

  ns::Value valueForGroup(const std::string& group, const std::string& key, const ns::Value& defaultValue) const;
  void setDefaultValue(const std::string& group, const std::string& key, ns::Value value);
  void setValue(const std::string& group, const std::string& key, ns::Value value);
  void reset();

  // The date trigger: YES when the configuration holds a date for the group
  // and key and the stamp stored for them (standard defaults) is missing or
  // earlier; the date then becomes the stamp. Thread-safe.
  bool shouldTriggerGroup(const std::string& group, const std::string& key);

 private:
  TXConfig() = default;
  using Key = std::pair<std::string, std::string>;
  mutable std::mutex mutex_;
  std::map<Key, ns::Value> defaults_;
  std::map<Key, ns::Value> values_;
  std::mutex triggerMutex_;
};
