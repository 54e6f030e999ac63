// A configuration store kept as one property list,
// "Zorori/Measurement/<name>.plist" under Application Support.
//
// Values live in memory and reach the file through a delayed write: the
// first change of a burst schedules one write 1 s later on the serial
// queue "MSRPersistentDictionary", which writes a snapshot of everything
// changed until then. Setting a value equal to the stored one schedules
// nothing; synchronize() never writes. Releasing the store carries out a
// pending write at once. Every write replaces the file atomically, so a
// process killed at any moment leaves the old or the new file, never a
// mix. A failed write logs "I-ACS043000", keeps the values in memory and
// is tried again with the next change.
//
// Only what the file can hold is accepted: a value that the property-list
// writer would refuse anywhere inside it (null, a NUL character, a date
// outside 1933-2069) is refused with warning "I-ACS043003" and the stored
// value stays; an empty key with "I-ACS043001" (read) or "I-ACS043002"
// (write).
//
// Thread-safe: the values and the pending mark are under one lock; the
// file is written outside it from a snapshot.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Storage/MSRConfigStore.h"
#include "Platform/Dispatch/Queue.h"

class MSRPersistentDictionary : public MSRConfigStore, public std::enable_shared_from_this<MSRPersistentDictionary> {
 public:
  // None for an empty name, and when the file's directory cannot be made
  // (error "I-ACS043004"). A missing or unreadable file starts empty.
  static std::shared_ptr<MSRPersistentDictionary> initWithFileName(const std::string& fileName);
  ~MSRPersistentDictionary() override;
  MSRPersistentDictionary(const MSRPersistentDictionary&) = delete;
  MSRPersistentDictionary& operator=(const MSRPersistentDictionary&) = delete;

  const std::string& filePath() const { return filePath_; }
  bool hasPendingPersistence() const;

  std::optional<ns::Value> objectForKey(std::string_view key) override;
  void setObject(const std::optional<ns::Value>& object, std::string_view key) override;
  void clearAllData() override;
  // Does nothing: writing happens only through the delayed write and at
  // release.
  void synchronize() override {}

 private:
  MSRPersistentDictionary(std::string filePath, ns::Dictionary content);
  // Under the lock: schedules the delayed write unless one is pending.
  void schedulePersistToDiskLocked();
  void persistToDisk();

  const std::string filePath_;
  mutable std::recursive_mutex mutex_;
  ns::Dictionary content_;
  bool hasPendingPersistence_ = false;
  std::shared_ptr<dispatch::Queue> serialQueue_;
};
