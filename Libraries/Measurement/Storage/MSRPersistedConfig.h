// The small measurement state that must survive a restart but does not
// belong in the measurement database: upload and back-off times, the
// configuration server's validators, identifiers, first-open and session
// data, deep-link and search-ads progress, SKAdNetwork times. Every key is
// "/zorori/measurement/<name>".
//
//   auto config = MSRPersistedConfig::sharedInstance();
//   config->setSessionNumber(config->sessionNumber() + 1);
//
// The store is chosen when the object is made, from
// MSRAnalytics::persistentConfigInApplicationSupportEnabled(): a property
// list in Application Support (MSRPersistentDictionary) or the defaults
// suite of the object's name (MSRUserDefaults). The values of the other
// store are carried over first (the suite's file moved, or the property
// list's values written into the suite), so a change of the choice loses
// nothing. The first write after the running measurement has a fetched
// remote configuration stores that configuration's choice for the next
// object; the choice of a living object never changes.
//
// Writes reach disk in bursts: each typed write (re)schedules one store
// synchronisation 1 s after it, on the serial queue "MSRPersistedConfig",
// so a burst ends in one synchronisation a second after its last write.
// A synchronisation due on the main thread is pushed one second further
// rather than block it. Releasing the object drops a pending one (the
// property-list store still writes its own pending values at release).
//
// The measurement enabled state is the exception: it lives in the app's
// own defaults (MSRUserDefaults::standardUserDefaults()), where the
// analytics switch writes it, and is synchronised at once.
//
// Absent values read as 0, 0.0, NO or none. Every typed read and write
// runs synchronously on the serial queue, so callers on any thread see one
// order; none may be called from a block already on that queue.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "Libraries/Measurement/Storage/MSRConfigStore.h"
#include "Platform/Dispatch/CancellableBlock.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"

class MSRPersistedConfig : public std::enable_shared_from_this<MSRPersistedConfig> {
 public:
  // The process-wide configuration of the suite "com.zorori.zmp.measurement",
  // made at the first call. When it could not be made, every call logs
  // 27001 (level 1) through the monitor and answers null.
  static std::shared_ptr<MSRPersistedConfig> sharedInstance();
  // None for an empty name or when the chosen store cannot be made.
  static std::shared_ptr<MSRPersistedConfig> initWithSuiteName(const std::string& name);
  ~MSRPersistedConfig();
  MSRPersistedConfig(const MSRPersistedConfig&) = delete;
  MSRPersistedConfig& operator=(const MSRPersistedConfig&) = delete;

  const std::string& name() const { return name_; }
  // The backing store.
  const std::shared_ptr<MSRConfigStore>& userDefaults() const { return userDefaults_; }
  // Until the first write that saw a fetched remote configuration.
  bool shouldCheckConfigStoreMigrationFlag() const;

  // Typed reads; an empty key answers the empty value. int64ForKey reads a
  // number's 64-bit value, anything else as 0; numberForKey answers the
  // stored object as it is.
  bool boolForKey(std::string_view key);
  int64_t int64ForKey(std::string_view key);
  int64_t int64ForKey(std::string_view key, MSRConfigStore& userDefault);
  double doubleForKey(std::string_view key);
  std::optional<std::string> stringForKey(std::string_view key);
  std::optional<ns::Dictionary> dictionaryForKey(std::string_view key);
  std::optional<ns::Value> numberForKey(std::string_view key);

  // Typed writes, each followed by scheduleSynchronizeToDisk(). No value
  // removes the key. A dictionary the store cannot keep is logged (27002,
  // level 1) and the key keeps its old value.
  void setBool(bool value, std::string_view key);
  void setInt64(int64_t value, std::string_view key);
  void setDouble(double value, std::string_view key);
  void setString(const std::optional<std::string>& value, std::string_view key);
  void setDictionary(const std::optional<ns::Dictionary>& value, std::string_view key);
  void setNumber(const std::optional<ns::Value>& value, std::string_view key);

  // Removes every value of the store.
  void clearValues();

  void scheduleSynchronizeToDisk();
  void cancelScheduledSynchronize();
  // The store's synchronize(), or on the main thread a new delayed one.
  void synchronizeToDisk();
  void updateConfigStoreMigrationFlagIfNeeded();

  // ---- Properties ------------------------------------------------------

  double lastDeleteStaleBundlesTimestamp();
  void setLastDeleteStaleBundlesTimestamp(double seconds);
  // Read and written straight on the store, without the queue; a value that
  // is not a number is ignored; no delayed write.
  std::optional<ns::Value> searchAdCampaignValue();
  void setSearchAdCampaignValue(const std::optional<ns::Value>& value);
  double lastSearchAdLookUpTimestamp();
  void setLastSearchAdLookUpTimestamp(double seconds);
  int64_t searchAdRetryCount();
  void setSearchAdRetryCount(int64_t count);
  std::optional<std::string> appInstanceID();
  void setAppInstanceID(const std::optional<std::string>& value);
  std::optional<std::string> appIDFromZMP();
  void setAppIDFromZMP(const std::optional<std::string>& value);
  std::optional<std::string> appIDFromRiVar();
  void setAppIDFromRiVar(const std::optional<std::string>& value);
  std::optional<std::string> hashedResettableDeviceID();
  void setHashedResettableDeviceID(const std::optional<std::string>& value);
  std::optional<std::string> diversionKey();
  void setDiversionKey(const std::optional<std::string>& value);
  // 1 enabled, 2 disabled; in the app's own defaults.
  int64_t measurementEnabledState();
  void setMeasurementEnabledState(int64_t state);
  double lastBackoffTimestamp();
  void setLastBackoffTimestamp(double seconds);
  double lastSuccessfulUploadTimestamp();
  void setLastSuccessfulUploadTimestamp(double seconds);
  double lastFailedUploadTimestamp();
  void setLastFailedUploadTimestamp(double seconds);
  std::optional<std::string> appVersion();
  void setAppVersion(const std::optional<std::string>& value);
  std::optional<std::string> osVersion();
  void setOSVersion(const std::optional<std::string>& value);
  // The install's offset of the day boundary in [0, 86400) seconds: drawn
  // (whole milliseconds, uniformly) and stored at the first read, the same
  // ever after.
  double midnightOffset();
  double lastMonitorDataSampledTimestamp();
  void setLastMonitorDataSampledTimestamp(double seconds);
  int64_t firstOpenTimestampMilliseconds();
  void setFirstOpenTimestampMilliseconds(int64_t milliseconds);
  // The stored object, of whatever kind.
  std::optional<ns::Value> configServerLastModifiedString();
  void setConfigServerLastModifiedString(const std::optional<std::string>& value);
  std::optional<std::string> configServerETag();
  void setConfigServerETag(const std::optional<std::string>& value);
  // The next three write without scheduling a synchronisation: they reach
  // disk with the next one.
  std::optional<ns::Value> loadTimestampValue();
  void setLoadTimestampValue(const std::optional<ns::Value>& value);
  std::optional<ns::Value> allowPersonalizedAds();
  void setAllowPersonalizedAds(const std::optional<ns::Value>& value);
  std::optional<std::string> dozaveveFeatureRollouts();
  void setDozaveveFeatureRollouts(const std::optional<std::string>& value);
  std::optional<ns::Value> deferredDeepLinkRetrievalComplete();
  void setDeferredDeepLinkRetrievalComplete(const std::optional<ns::Value>& value);
  int64_t deferredDeepLinkRetryCount();
  void setDeferredDeepLinkRetryCount(int64_t count);
  bool shouldSetLastAdvertisingIDResetUserProperty();
  void setShouldSetLastAdvertisingIDResetUserProperty(bool value);
  bool unmatchedFirstOpenWithoutIDFA();
  void setUnmatchedFirstOpenWithoutIDFA(bool value);
  std::optional<ns::Value> previousFirstOpenCount();
  void setPreviousFirstOpenCount(const std::optional<ns::Value>& value);
  double lastSessionActivityClockTime();
  void setLastSessionActivityClockTime(double seconds);
  int64_t sessionNumber();
  void setSessionNumber(int64_t number);
  std::optional<ns::Dictionary> defaultEventParameters();
  void setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters);
  int64_t lastUploadedEventTimestampMillis();
  void setLastUploadedEventTimestampMillis(int64_t milliseconds);
  int64_t SKANEvaluationEventTimeMillis();
  void setSKANEvaluationEventTimeMillis(int64_t milliseconds);
  int64_t SKANEvaluationUpdateBackoffMillis();
  void setSKANEvaluationUpdateBackoffMillis(int64_t milliseconds);

 private:
  MSRPersistedConfig(std::string name, std::shared_ptr<MSRConfigStore> store);
  // Runs `work` synchronously on the serial queue and answers its result.
  template <class Work>
  auto onQueue(Work work) -> decltype(work()) {
    if constexpr (std::is_void_v<decltype(work())>) {
      serialQueue_->sync(work);
    } else {
      std::optional<decltype(work())> result;
      serialQueue_->sync([&] { result = work(); });
      return std::move(*result);
    }
  }
  // Under lock_: makes the pending synchronisation one 1 s from now.
  void scheduleSynchronizeBlockLocked();
  // Writes the object on the queue without a delayed write.
  void setObjectWithoutSynchronize(const std::optional<ns::Value>& value, std::string_view key);
  std::optional<ns::Value> objectForKey(std::string_view key);

  const std::string name_;
  const std::shared_ptr<MSRConfigStore> userDefaults_;
  std::shared_ptr<dispatch::Queue> serialQueue_;
  mutable std::mutex lock_;  // guards synchronizeBlock_ and shouldCheckConfigStoreMigrationFlag_
  std::shared_ptr<dispatch::CancellableBlock> synchronizeBlock_;
  bool shouldCheckConfigStoreMigrationFlag_ = true;
};
