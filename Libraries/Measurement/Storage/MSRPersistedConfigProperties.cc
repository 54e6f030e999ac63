// The named properties of the persisted configuration: each one key of the
// store, read and written through the typed operations.
#include "Libraries/Measurement/Core/MSRRandom.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"

namespace {

#define MSR_KEY(name) "/zorori/measurement/" name
constexpr const char* kLastDeleteStale = MSR_KEY("last_delete_stale");
constexpr const char* kIsSearchAdCampaign = MSR_KEY("is_search_ad_campaign");
constexpr const char* kSearchAdLastAttempt = MSR_KEY("search_ad_last_attempt_timestamp");
constexpr const char* kSearchAdRetries = MSR_KEY("search_ad_number_of_retries");
constexpr const char* kAppInstanceID = MSR_KEY("app_instance_id");
constexpr const char* kZMPAppID = MSR_KEY("zmp_app_id");
constexpr const char* kRiVarAppID = MSR_KEY("rivar_app_id");
constexpr const char* kHashedIDFA = MSR_KEY("hashed_idfa");
constexpr const char* kDiversionKey = MSR_KEY("diversion_key");
constexpr const char* kMeasurementEnabledState = MSR_KEY("measurement_enabled_state");
constexpr const char* kLastBackoff = MSR_KEY("last_backoff");
constexpr const char* kLastSuccessfulUpload = MSR_KEY("last_successful_upload");
constexpr const char* kLastFailedUpload = MSR_KEY("last_failed_upload");
constexpr const char* kAppVersion = MSR_KEY("app_version");
constexpr const char* kOSVersion = MSR_KEY("os_version");
constexpr const char* kMidnightOffset = MSR_KEY("midnight_offset");
constexpr const char* kLastMonitorDataSampled = MSR_KEY("last_monitor_data_sampled_timestamp");
constexpr const char* kFirstOpenTimestamp = MSR_KEY("first_open_timestamp_ms");
constexpr const char* kLastModifiedSince = MSR_KEY("last_modified_since_key");
constexpr const char* kConfigETag = MSR_KEY("config_etag");
constexpr const char* kLoadTimestamp = MSR_KEY("load_timestamp");
constexpr const char* kAllowPersonalizedAds = MSR_KEY("allow_personalized_ads");
constexpr const char* kFeatureRollouts = MSR_KEY("dozaveve_feature_rollouts");
constexpr const char* kDeepLinkRetrievalComplete = MSR_KEY("deep_link_retrieval_complete");
constexpr const char* kDeepLinkRetryCount = MSR_KEY("deep_link_retry_count");
constexpr const char* kSetLastAdvertisingIDReset = MSR_KEY("set_last_advertising_id_reset");
constexpr const char* kUnmatchedFirstOpen = MSR_KEY("unmatched_first_open");
constexpr const char* kPreviousFirstOpenCount = MSR_KEY("previous_first_open_count");
constexpr const char* kLastEngagementEnd = MSR_KEY("last_engagement_end");
constexpr const char* kSessionNumber = MSR_KEY("session_number");
constexpr const char* kDefaultEventParameters = MSR_KEY("default_event_parameters");
constexpr const char* kLastUploadedEventMillis = MSR_KEY("last_uploaded_event_millis");
constexpr const char* kSKANEvaluationEventTime = MSR_KEY("skan_evaluation_event_time_millis");
constexpr const char* kSKANEvaluationUpdateBackoff = MSR_KEY("skan_evaluation_update_backoff_millis");
#undef MSR_KEY

constexpr uint64_t kMillisecondsPerDay = 86400000;

}  // namespace

double MSRPersistedConfig::lastDeleteStaleBundlesTimestamp() { return doubleForKey(kLastDeleteStale); }
void MSRPersistedConfig::setLastDeleteStaleBundlesTimestamp(double seconds) { setDouble(seconds, kLastDeleteStale); }

std::optional<ns::Value> MSRPersistedConfig::searchAdCampaignValue() {
  return userDefaults_->objectForKey(kIsSearchAdCampaign);
}
void MSRPersistedConfig::setSearchAdCampaignValue(const std::optional<ns::Value>& value) {
  if (value && value->isNumber()) userDefaults_->setObject(value, kIsSearchAdCampaign);
}

double MSRPersistedConfig::lastSearchAdLookUpTimestamp() { return doubleForKey(kSearchAdLastAttempt); }
void MSRPersistedConfig::setLastSearchAdLookUpTimestamp(double seconds) { setDouble(seconds, kSearchAdLastAttempt); }

int64_t MSRPersistedConfig::searchAdRetryCount() { return int64ForKey(kSearchAdRetries); }
void MSRPersistedConfig::setSearchAdRetryCount(int64_t count) { setInt64(count, kSearchAdRetries); }

std::optional<std::string> MSRPersistedConfig::appInstanceID() { return stringForKey(kAppInstanceID); }
void MSRPersistedConfig::setAppInstanceID(const std::optional<std::string>& value) { setString(value, kAppInstanceID); }

std::optional<std::string> MSRPersistedConfig::appIDFromZMP() { return stringForKey(kZMPAppID); }
void MSRPersistedConfig::setAppIDFromZMP(const std::optional<std::string>& value) { setString(value, kZMPAppID); }

std::optional<std::string> MSRPersistedConfig::appIDFromRiVar() { return stringForKey(kRiVarAppID); }
void MSRPersistedConfig::setAppIDFromRiVar(const std::optional<std::string>& value) { setString(value, kRiVarAppID); }

std::optional<std::string> MSRPersistedConfig::hashedResettableDeviceID() { return stringForKey(kHashedIDFA); }
void MSRPersistedConfig::setHashedResettableDeviceID(const std::optional<std::string>& value) {
  setString(value, kHashedIDFA);
}

std::optional<std::string> MSRPersistedConfig::diversionKey() { return stringForKey(kDiversionKey); }
void MSRPersistedConfig::setDiversionKey(const std::optional<std::string>& value) { setString(value, kDiversionKey); }

int64_t MSRPersistedConfig::measurementEnabledState() {
  return int64ForKey(kMeasurementEnabledState, *MSRUserDefaults::standardUserDefaults());
}
void MSRPersistedConfig::setMeasurementEnabledState(int64_t state) {
  onQueue([&] {
    auto standard = MSRUserDefaults::standardUserDefaults();
    standard->setInteger(state, kMeasurementEnabledState);
    standard->synchronize();
  });
}

double MSRPersistedConfig::lastBackoffTimestamp() { return doubleForKey(kLastBackoff); }
void MSRPersistedConfig::setLastBackoffTimestamp(double seconds) { setDouble(seconds, kLastBackoff); }

double MSRPersistedConfig::lastSuccessfulUploadTimestamp() { return doubleForKey(kLastSuccessfulUpload); }
void MSRPersistedConfig::setLastSuccessfulUploadTimestamp(double seconds) { setDouble(seconds, kLastSuccessfulUpload); }

double MSRPersistedConfig::lastFailedUploadTimestamp() { return doubleForKey(kLastFailedUpload); }
void MSRPersistedConfig::setLastFailedUploadTimestamp(double seconds) { setDouble(seconds, kLastFailedUpload); }

std::optional<std::string> MSRPersistedConfig::appVersion() { return stringForKey(kAppVersion); }
void MSRPersistedConfig::setAppVersion(const std::optional<std::string>& value) { setString(value, kAppVersion); }

std::optional<std::string> MSRPersistedConfig::osVersion() { return stringForKey(kOSVersion); }
void MSRPersistedConfig::setOSVersion(const std::optional<std::string>& value) { setString(value, kOSVersion); }

double MSRPersistedConfig::midnightOffset() {
  // Read and, when missing, drawn and stored in one turn of the queue, so
  // two first callers cannot draw two offsets.
  bool drawn = false;
  double offset = onQueue([&] {
    auto stored = userDefaults_->objectForKey(kMidnightOffset);
    if (stored && stored->isNumber()) return stored->doubleValue();
    double seconds = static_cast<double>(MSRRandom::uniformBelow(kMillisecondsPerDay)) / 1000.0;
    userDefaults_->setDouble(seconds, kMidnightOffset);
    drawn = true;
    return seconds;
  });
  if (drawn) scheduleSynchronizeToDisk();
  return offset;
}

double MSRPersistedConfig::lastMonitorDataSampledTimestamp() { return doubleForKey(kLastMonitorDataSampled); }
void MSRPersistedConfig::setLastMonitorDataSampledTimestamp(double seconds) {
  setDouble(seconds, kLastMonitorDataSampled);
}

int64_t MSRPersistedConfig::firstOpenTimestampMilliseconds() { return int64ForKey(kFirstOpenTimestamp); }
void MSRPersistedConfig::setFirstOpenTimestampMilliseconds(int64_t milliseconds) {
  setInt64(milliseconds, kFirstOpenTimestamp);
}

std::optional<ns::Value> MSRPersistedConfig::configServerLastModifiedString() {
  return objectForKey(kLastModifiedSince);
}
void MSRPersistedConfig::setConfigServerLastModifiedString(const std::optional<std::string>& value) {
  setString(value, kLastModifiedSince);
}

std::optional<std::string> MSRPersistedConfig::configServerETag() { return stringForKey(kConfigETag); }
void MSRPersistedConfig::setConfigServerETag(const std::optional<std::string>& value) { setString(value, kConfigETag); }

std::optional<ns::Value> MSRPersistedConfig::loadTimestampValue() { return objectForKey(kLoadTimestamp); }
void MSRPersistedConfig::setLoadTimestampValue(const std::optional<ns::Value>& value) {
  setObjectWithoutSynchronize(value, kLoadTimestamp);
}

std::optional<ns::Value> MSRPersistedConfig::allowPersonalizedAds() { return objectForKey(kAllowPersonalizedAds); }
void MSRPersistedConfig::setAllowPersonalizedAds(const std::optional<ns::Value>& value) {
  setObjectWithoutSynchronize(value, kAllowPersonalizedAds);
}

std::optional<std::string> MSRPersistedConfig::dozaveveFeatureRollouts() { return stringForKey(kFeatureRollouts); }
void MSRPersistedConfig::setDozaveveFeatureRollouts(const std::optional<std::string>& value) {
  setString(value, kFeatureRollouts);
}

std::optional<ns::Value> MSRPersistedConfig::deferredDeepLinkRetrievalComplete() {
  return objectForKey(kDeepLinkRetrievalComplete);
}
void MSRPersistedConfig::setDeferredDeepLinkRetrievalComplete(const std::optional<ns::Value>& value) {
  setObjectWithoutSynchronize(value, kDeepLinkRetrievalComplete);
}

int64_t MSRPersistedConfig::deferredDeepLinkRetryCount() { return int64ForKey(kDeepLinkRetryCount); }
void MSRPersistedConfig::setDeferredDeepLinkRetryCount(int64_t count) { setInt64(count, kDeepLinkRetryCount); }

bool MSRPersistedConfig::shouldSetLastAdvertisingIDResetUserProperty() {
  return int64ForKey(kSetLastAdvertisingIDReset) != 0;
}
void MSRPersistedConfig::setShouldSetLastAdvertisingIDResetUserProperty(bool value) {
  setInt64(value ? 1 : 0, kSetLastAdvertisingIDReset);
}

bool MSRPersistedConfig::unmatchedFirstOpenWithoutIDFA() { return int64ForKey(kUnmatchedFirstOpen) != 0; }
void MSRPersistedConfig::setUnmatchedFirstOpenWithoutIDFA(bool value) { setInt64(value ? 1 : 0, kUnmatchedFirstOpen); }

std::optional<ns::Value> MSRPersistedConfig::previousFirstOpenCount() { return numberForKey(kPreviousFirstOpenCount); }
void MSRPersistedConfig::setPreviousFirstOpenCount(const std::optional<ns::Value>& value) {
  setNumber(value, kPreviousFirstOpenCount);
}

double MSRPersistedConfig::lastSessionActivityClockTime() { return doubleForKey(kLastEngagementEnd); }
void MSRPersistedConfig::setLastSessionActivityClockTime(double seconds) { setDouble(seconds, kLastEngagementEnd); }

int64_t MSRPersistedConfig::sessionNumber() { return int64ForKey(kSessionNumber); }
void MSRPersistedConfig::setSessionNumber(int64_t number) { setInt64(number, kSessionNumber); }

std::optional<ns::Dictionary> MSRPersistedConfig::defaultEventParameters() {
  return dictionaryForKey(kDefaultEventParameters);
}
void MSRPersistedConfig::setDefaultEventParameters(const std::optional<ns::Dictionary>& parameters) {
  setDictionary(parameters, kDefaultEventParameters);
}

int64_t MSRPersistedConfig::lastUploadedEventTimestampMillis() { return int64ForKey(kLastUploadedEventMillis); }
void MSRPersistedConfig::setLastUploadedEventTimestampMillis(int64_t milliseconds) {
  setInt64(milliseconds, kLastUploadedEventMillis);
}

int64_t MSRPersistedConfig::SKANEvaluationEventTimeMillis() { return int64ForKey(kSKANEvaluationEventTime); }
void MSRPersistedConfig::setSKANEvaluationEventTimeMillis(int64_t milliseconds) {
  setInt64(milliseconds, kSKANEvaluationEventTime);
}

int64_t MSRPersistedConfig::SKANEvaluationUpdateBackoffMillis() { return int64ForKey(kSKANEvaluationUpdateBackoff); }
void MSRPersistedConfig::setSKANEvaluationUpdateBackoffMillis(int64_t milliseconds) {
  setInt64(milliseconds, kSKANEvaluationUpdateBackoff);
}
