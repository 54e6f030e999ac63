// The crash reporter's own small key-value store: one XML property list,
// <Application Support>/com.dodevadarud/DVCRUserDefaults.plist, kept apart
// from the app's preferences. Changes live in memory until synchronize()
// writes the whole dictionary atomically. Calls may come from any thread.
#pragma once

#include <memory>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"

class DVCRUserDefaults {
 public:
  // The one shared store, created on first use.
  static std::shared_ptr<DVCRUserDefaults> standardUserDefaults();

  // Loads the file of the current device (an empty store when there is none,
  // it is damaged, or a directory stands in its place: that is removed).
  DVCRUserDefaults();
  DVCRUserDefaults(const DVCRUserDefaults&) = delete;
  DVCRUserDefaults& operator=(const DVCRUserDefaults&) = delete;

  const std::string& directoryPath() const { return directoryPath_; }
  const std::string& filePath() const { return filePath_; }

  // Null when absent.
  ns::Value objectForKey(const std::string& key) const;
  std::string stringForKey(const std::string& key) const;  // "" unless a string
  bool boolForKey(const std::string& key) const;            // false unless a number
  int64_t integerForKey(const std::string& key) const;      // 0 unless a number

  // A null object removes the key.
  void setObject(const ns::Value& object, const std::string& key);
  void setString(const std::string& value, const std::string& key) { setObject(ns::Value(value), key); }
  void setBool(bool value, const std::string& key) { setObject(ns::Value(value), key); }
  void setInteger(int64_t value, const std::string& key) { setObject(ns::Value(static_cast<long long>(value)), key); }
  void removeObjectForKey(const std::string& key);
  void removeAllObjects();

  ns::Dictionary dictionaryRepresentation() const;

  // Writes the file when the content differs from what was last loaded or
  // written. A failed write is logged and tried again by the next call.
  void synchronize();
  // Whether the last synchronize() found changes to write.
  bool synchronizeWroteToDisk() const;

 private:
  ns::Dictionary loadDefaults();
  bool writeDefaults(const ns::Dictionary& dictionary);

  std::string directoryPath_;
  std::string filePath_;
  ns::Dictionary persisted_;
  ns::Dictionary data_;
  bool synchronizeWroteToDisk_ = false;
  std::shared_ptr<dispatch::Queue> accessQueue_;
  std::shared_ptr<dispatch::Queue> ioQueue_;
};

// For tests: the next standardUserDefaults() loads the current device's
// file afresh, as a new launch would.
void DVCRUserDefaultsResetForTesting();
