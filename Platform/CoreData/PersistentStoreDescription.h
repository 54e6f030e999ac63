// How a container opens one store: its file (a path), its type and options.
// Automatic migration with an inferred mapping is on unless switched off,
// and is passed to the store as the two migration options.
#pragma once

#include <string>

#include "Platform/CoreData/StoreOptions.h"
#include "Platform/Foundation/Value.h"

namespace cd {

class PersistentStoreDescription {
 public:
  PersistentStoreDescription() = default;
  explicit PersistentStoreDescription(std::string url) : url_(std::move(url)) {}
  static PersistentStoreDescription persistentStoreDescriptionWithURL(std::string url) {
    return PersistentStoreDescription(std::move(url));
  }

  const std::string& url() const { return url_; }
  void setURL(std::string url) { url_ = std::move(url); }
  const std::string& type() const { return type_; }
  void setType(std::string type) { type_ = std::move(type); }
  const std::string& configuration() const { return configuration_; }

  const ns::Dictionary& options() const { return options_; }
  void setOption(ns::Value value, const std::string& key) { options_.set(key, std::move(value)); }

  bool shouldMigrateStoreAutomatically() const { return migrate_; }
  void setShouldMigrateStoreAutomatically(bool migrate) { migrate_ = migrate; }
  bool shouldInferMappingModelAutomatically() const { return infer_; }
  void setShouldInferMappingModelAutomatically(bool infer) { infer_ = infer; }

  // The options handed to the store: the migration switches, then options().
  ns::Dictionary effectiveOptions() const {
    ns::Dictionary all;
    all.set(kMigratePersistentStoresAutomaticallyOption, ns::Value(migrate_));
    all.set(kInferMappingModelAutomaticallyOption, ns::Value(infer_));
    for (const auto& [key, value] : options_) all.set(key, value);
    return all;
  }

 private:
  std::string url_;
  std::string type_ = kSQLiteStoreType;
  std::string configuration_;
  ns::Dictionary options_;
  bool migrate_ = true;
  bool infer_ = true;
};

}  // namespace cd
