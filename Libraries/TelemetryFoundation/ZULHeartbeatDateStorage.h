// Tag-to-date stores: the date a heartbeat was last sent for each tag.
//
// ZULHeartbeatDateStorage keeps the dates in one file, "<file name>" in the
// directory "Zorori/VIDUve" under Application Support: a keyed archive
// (ZULSecureCoding) of a dictionary from tag strings to dates, which any
// property-list tool reads. A missing, unreadable or empty file reads as
// no dates; the next write replaces it whole (atomically).
// ZULHeartbeatDateStorageUserDefaults keeps the dictionary under one key of
// a user-defaults object.
//
// Each read-modify-write runs under one lock: a process-wide one for the
// file stores, one for the user-defaults stores. Safe from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/Value.h"

class ZULHeartbeatDateStorage {
 public:
  explicit ZULHeartbeatDateStorage(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& fileName() const { return fileName_; }
  // Made on first use (creating the directory, errors ignored), then kept.
  ns::URL fileURL();

  // Absent when nothing, or something other than a date, is stored for it.
  std::optional<ns::Date> heartbeatDateForTag(const std::string& tag);
  // Whether the file was written.
  bool setHearbeatDate(ns::Date date, const std::string& tag);

 private:
  ns::Dictionary readDictionary();
  bool writeDictionary(const ns::Dictionary& dictionary);

  std::string fileName_;
  std::optional<ns::URL> fileURL_;
};

class ZULHeartbeatDateStorageUserDefaults {
 public:
  ZULHeartbeatDateStorageUserDefaults(std::shared_ptr<ns::UserDefaults> defaults, std::string key)
      : userDefaults_(std::move(defaults)), key_(std::move(key)) {}

  // Absent when nothing, or something other than a date, is stored for it.
  std::optional<ns::Date> heartbeatDateForTag(const std::string& tag);
  // Always true: the defaults write through.
  bool setHearbeatDate(ns::Date date, const std::string& tag);

 private:
  std::shared_ptr<ns::UserDefaults> userDefaults_;
  std::string key_;
};
