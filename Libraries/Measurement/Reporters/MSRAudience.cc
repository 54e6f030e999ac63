#include "Libraries/Measurement/Reporters/MSRAudience.h"

#include <functional>
#include <map>

#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRParameterNameMap.h"
#include "Libraries/Measurement/Reporters/MSRAudienceFunctions.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Field indexes of the messages.
constexpr int32_t kAudienceID = 0, kAudiencePropertyFilters = 1, kAudienceEventFilters = 2;
constexpr int32_t kEventFilterID = 0, kEventFilterName = 1, kEventFilterParameters = 2, kEventFilterDynamic = 5,
                  kEventFilterSequence = 6, kEventFilterSessionScoped = 7;
constexpr int32_t kPropertyFilterID = 0, kPropertyFilterName = 1, kPropertyFilterDynamic = 3,
                  kPropertyFilterSequence = 4, kPropertyFilterSessionScoped = 5;
constexpr int32_t kFilterParameterName = 3;
constexpr int32_t kResultStatus = 0, kResultResults = 1, kResultDynamic = 2, kResultSequence = 3;
constexpr int32_t kEntryFilterID = 0, kEntryTimestamps = 1;
constexpr int32_t kLeafAudienceID = 0, kLeafCurrent = 1, kLeafPrevious = 2, kLeafNewAudience = 3;

void log(int64_t level, int64_t code, const std::string& message, std::vector<MSRLogContext> contexts = {}) {
  MSRMeasurement::monitor()->logWithLevel(level, code, message, contexts);
}

bool failed(const ns::Error& error) { return !error.domain().empty(); }

std::vector<uint64_t> wordsOf(const MSRPBResultData* data, int32_t index) {
  std::vector<uint64_t> words;
  for (const auto& element : MSRPBMessageGetArray(data, index).value_or(MSRPBArray{})) {
    if (const auto* word = std::get_if<ns::Value>(&element)) words.push_back(word->unsignedValue());
  }
  return words;
}

void setWords(MSRPBResultData* data, int32_t index, const std::vector<uint64_t>& words) {
  MSRPBArray array;
  for (uint64_t word : words) array.emplace_back(ns::Value(static_cast<unsigned long long>(word)));
  MSRPBMessageSetArray(data, index, array);
}

template <class T>
MSRPBArray arrayOf(const std::vector<std::shared_ptr<T>>& messages) {
  return MSRPBArray(messages.begin(), messages.end());
}

// A name in its internal form where the map knows it.
std::string internalName(const std::map<std::string, std::string, std::less<>>& map, const std::string& name) {
  auto found = map.find(name);
  return found == map.end() ? name : found->second;
}

std::shared_ptr<MSREventFilter> eventFilterRow(int32_t audienceID, MSRPBEventFilter& filter) {
  const std::string name = MSRPBMessageGetString(&filter, kEventFilterName).value_or("");
  const std::string mapped = internalName(MSREventNameMap(), name);
  if (mapped != name) MSRPBMessageSetString(&filter, kEventFilterName, mapped);
  auto parameters = MSRAudienceMessagesOf<MSRPBFilter>(&filter, kEventFilterParameters);
  bool renamed = false;
  for (const auto& parameter : parameters) {
    const std::string parameterName = MSRPBMessageGetString(parameter.get(), kFilterParameterName).value_or("");
    const std::string internal = internalName(MSRParameterNameMap(), parameterName);
    if (internal == parameterName) continue;
    MSRPBMessageSetString(parameter.get(), kFilterParameterName, internal);
    renamed = true;
  }
  if (renamed) MSRPBMessageSetArray(&filter, kEventFilterParameters, arrayOf(parameters));
  return MSREventFilter::initWithAudienceID(audienceID, MSRPBMessageGetInt32(&filter, kEventFilterID), mapped,
                                            filter.protoBuffer().value_or(ns::Data()),
                                            MSRPBMessageGetBool(&filter, kEventFilterSessionScoped),
                                            MSRPBMessageGetBool(&filter, kEventFilterDynamic),
                                            MSRPBMessageGetBool(&filter, kEventFilterSequence));
}

std::shared_ptr<MSRPropertyFilter> propertyFilterRow(int32_t audienceID, MSRPBPropertyFilter& filter) {
  const std::string name = MSRPBMessageGetString(&filter, kPropertyFilterName).value_or("");
  const std::string mapped = internalName(MSRUserPropertyNameMap(), name);
  if (mapped != name) MSRPBMessageSetString(&filter, kPropertyFilterName, mapped);
  return MSRPropertyFilter::initWithAudienceID(audienceID, MSRPBMessageGetInt32(&filter, kPropertyFilterID), mapped,
                                               filter.protoBuffer().value_or(ns::Data()),
                                               MSRPBMessageGetBool(&filter, kPropertyFilterSessionScoped),
                                               MSRPBMessageGetBool(&filter, kPropertyFilterDynamic),
                                               MSRPBMessageGetBool(&filter, kPropertyFilterSequence));
}

// The texts of one kind of evaluation's failures.
struct EvaluationTexts {
  int64_t lookupCode;
  const char* lookup;
  int64_t saveCode;
  const char* save;
};

constexpr EvaluationTexts kEventTexts{
    6001, "Unable to query filter result for audience. Event will not be evaluated. Event name, error", 6003,
    "Unable to save updated Audience filter results. Event will not be evaluated. Event name, error"};
constexpr EvaluationTexts kPropertyTexts{
    6005, "Unable to query filter result for audience. Property will not be evaluated. Property name, error", 6007,
    "Unable to save updated Audience filter results. User property will not be evaluated. User property name, error"};

// One evaluation of the rows of one event or property, as both kinds share
// it. `evaluate` gives the filter's own answer; `record` what is recorded
// of it beside the earlier truth.
template <class Filter>
bool evaluateRows(MSRDatabase& database, const std::vector<std::shared_ptr<Filter>>& rows, const std::string& name,
                  double timestamp, MSRAudienceTimestampsCache* givenCache, const EvaluationTexts& texts,
                  const std::function<MSRAudienceResult(const Filter&)>& evaluate,
                  const std::function<bool(bool result, bool alreadyTrue, const Filter&)>& record) {
  MSRAudienceTimestampsCache ownCache;
  MSRAudienceTimestampsCache& cache = givenCache ? *givenCache : ownCache;
  std::map<int32_t, std::shared_ptr<MSRFilterResult>> updated, loaded;
  for (const auto& row : rows) {
    if (!row || row->filterID() < 0) continue;
    const int32_t audienceID = row->audienceID();
    std::shared_ptr<MSRFilterResult> current;
    if (auto found = updated.find(audienceID); found != updated.end()) {
      current = found->second;
    } else if (auto stored = loaded.find(audienceID); stored != loaded.end()) {
      current = stored->second;
    } else {
      ns::Error error;
      current = database.filterResultForAudienceID(audienceID, &error);
      if (!current && failed(error)) {
        log(1, texts.lookupCode, texts.lookup, {name, error});
        return false;
      }
      if (current) loaded[audienceID] = current;
    }
    const bool alreadyTrue = MSRAudience::isFilterResult(current.get(), row->filterID());
    if (!MSRShouldEvaluateFilter(alreadyTrue, *row)) continue;
    MSRAudienceResult result = evaluate(*row);
    if (!result) continue;
    cache.populateCachedTimestamps(current.get(), audienceID);
    if (*result) cache.addEvaluationTimestamp(timestamp, *row);
    updated[audienceID] = MSRAudience::updatedFilterResultWithFilterID(
        row->filterID(), audienceID, current.get(), record(*result, alreadyTrue, *row), cache);
    loaded.erase(audienceID);
  }
  if (updated.empty()) return true;
  std::vector<std::shared_ptr<MSRFilterResult>> results;
  for (auto& [audienceID, result] : updated) results.push_back(result);
  ns::Error error;
  if (!database.updateFilterResults(results, &error)) {
    log(1, texts.saveCode, texts.save, {name, error});
    return false;
  }
  return true;
}

// Sets or clears the filter's bit, growing both lists together.
void setBit(std::vector<uint64_t>& status, std::vector<uint64_t>& results, int32_t filterID, bool value) {
  const size_t word = static_cast<size_t>(MSRFilterWordIndex(filterID));
  const uint64_t bit = uint64_t{1} << MSRFilterBitIndex(filterID);
  while (status.size() <= word || results.size() <= word) {
    if (status.size() <= word) status.push_back(0);
    if (results.size() <= word) results.push_back(0);
  }
  status[word] |= bit;
  if (value) {
    results[word] |= bit;
  } else {
    results[word] &= ~bit;
  }
}

}  // namespace

std::shared_ptr<MSRAudience> MSRAudience::initWithDatabase(std::shared_ptr<MSRDatabase> database) {
  if (!database) return nullptr;
  auto audience = std::make_shared<MSRAudience>();
  audience->database_ = std::move(database);
  return audience;
}

bool MSRAudience::updateAudiences(const std::vector<std::shared_ptr<MSRPBAudience>>& audiences) {
  auto config = MSRMeasurement::remoteConfig();
  if (static_cast<int64_t>(audiences.size()) > config->maxAudienceCount()) {
    log(2, 6008, "Configuration contains too many audiences. Audiences will not be saved. Audience count",
        {static_cast<int64_t>(audiences.size())});
    return true;
  }
  std::set<int32_t> accepted;
  std::vector<std::shared_ptr<MSREventFilter>> eventRows;
  std::vector<std::shared_ptr<MSRPropertyFilter>> propertyRows;
  for (const auto& audience : audiences) {
    if (!audience) continue;
    ns::Error error;
    if (!MSRValidateAudience(*audience, accepted, &error)) {
      log(2, 6009, "Audience definition is invalid. Audience will not be saved. Audience, error",
          {MSRPBMessageGetInt32(audience.get(), kAudienceID), error});
      continue;
    }
    const int32_t audienceID = MSRPBMessageGetInt32(audience.get(), kAudienceID);
    accepted.insert(audienceID);
    for (const auto& filter : MSRAudienceMessagesOf<MSRPBEventFilter>(audience.get(), kAudienceEventFilters)) {
      eventRows.push_back(eventFilterRow(audienceID, *filter));
    }
    for (const auto& filter : MSRAudienceMessagesOf<MSRPBPropertyFilter>(audience.get(), kAudiencePropertyFilters)) {
      propertyRows.push_back(propertyFilterRow(audienceID, *filter));
    }
  }
  if (!maybeDeleteStaleFilterResults(accepted)) return false;

  ns::Error error;
  if (!database_->deleteAllEventFilters(&error)) {
    log(1, 6010, "Unable to delete existing Audience event filters. Audiences will not be saved. Error", {error});
    return false;
  }
  if (!database_->deleteAllPropertyFilters(&error)) {
    log(1, 6011, "Unable to delete existing Audience user property filters. Audiences will not be saved. Error",
        {error});
    return false;
  }
  if (!eventRows.empty() && !database_->updateEventFilters(eventRows, &error)) {
    log(1, 6012, "Unable to save Audience event filters. Audiences will not be saved. Error", {error});
    return false;
  }
  if (!propertyRows.empty() && !database_->updatePropertyFilters(propertyRows, &error)) {
    log(1, 6013, "Unable to save Audience user property filters. Audiences will not be saved. Error", {error});
    return false;
  }
  return true;
}

bool MSRAudience::maybeDeleteStaleFilterResults(const std::set<int32_t>& audienceIDs) {
  ns::Error error;
  auto results = database_->allFilterResults(&error);
  if (!results) {
    log(1, 6015, "Unable to query Audience filter results. Audiences will not be saved. Error", {error});
    return false;
  }
  const int32_t maximum = MSRMeasurement::remoteConfig()->maxFilterResultCount();
  if (static_cast<int64_t>(results->size()) <= maximum) return true;
  log(3, 6016,
      "Too many Audience filter results. Deleting filter results for deleted Audiences. Filter result count, max "
      "filter result count",
      {static_cast<int64_t>(results->size()), maximum});
  auto stored = database_->allAudienceIDs(&error);
  if (!stored) {
    log(1, 6017, "Unable to query current Audience IDs. Audiences will not be saved. Error", {error});
    return false;
  }
  const std::set<int32_t> configured(stored->begin(), stored->end());
  std::vector<std::shared_ptr<MSRFilterResult>> stale;
  for (const auto& [audienceID, result] : *results) {
    if (!configured.contains(audienceID) && !audienceIDs.contains(audienceID)) stale.push_back(result);
  }
  if (!stale.empty() && !database_->deleteFilterResults(stale, &error)) {
    log(1, 6018, "Unable to delete stale Audience filter results. Audiences will not be saved. Error", {error});
    return false;
  }
  return true;
}

bool MSRAudience::evaluateFiltersForEvent(const std::shared_ptr<MSREvent>& event,
                                          const std::shared_ptr<MSREventAggregates>& eventAggregates,
                                          MSRAudienceTimestampsCache* audienceTimestampsCache) {
  if (!event) return false;
  return evaluateFiltersForEventName(event->name(), event->parameters(), eventAggregates, event->timestamp(),
                                     audienceTimestampsCache);
}

bool MSRAudience::evaluateFiltersForEventName(const std::string& eventName, const MSRValueMap& eventParameters,
                                              const std::shared_ptr<MSREventAggregates>& eventAggregates,
                                              double eventTimestamp,
                                              MSRAudienceTimestampsCache* audienceTimestampsCache) {
  ns::Error error;
  auto rows = database_->eventFiltersForEventName(eventName, &error);
  if (!rows) {
    log(1, 6000, "Unable to query event filters for event. Event will not be evaluated. Event name, error",
        {eventName, error});
    return false;
  }
  return evaluateRows<MSREventFilter>(
      *database_, *rows, eventName, eventTimestamp, audienceTimestampsCache, kEventTexts,
      [&](const MSREventFilter& row) { return MSREvaluateEventFilterRow(row, eventParameters, eventAggregates.get()); },
      // An event filter that was true stays true.
      [](bool result, bool alreadyTrue, const MSREventFilter&) { return result || alreadyTrue; });
}

bool MSRAudience::evaluateFiltersForUserProperty(const std::shared_ptr<MSRUserAttribute>& userProperty,
                                                 MSRAudienceTimestampsCache* audienceTimestampsCache,
                                                 std::optional<double> evaluationTimestamp) {
  if (!userProperty) return false;
  ns::Error error;
  auto rows = database_->propertyFiltersForPropertyName(userProperty->name(), &error);
  if (!rows) {
    log(1, 6004, "Unable to query property filters for property. Property will not be evaluated. Property name, error",
        {userProperty->name(), error});
    return false;
  }
  return evaluateRows<MSRPropertyFilter>(
      *database_, *rows, userProperty->name(), evaluationTimestamp.value_or(userProperty->lastSetTimestamp()),
      audienceTimestampsCache, kPropertyTexts,
      [&](const MSRPropertyFilter& row) { return MSREvaluatePropertyFilterRow(row, userProperty.get()); },
      [](bool result, bool alreadyTrue, const MSRPropertyFilter& row) {
        return MSRShouldReplacePropertyResult(result, row) ? result : alreadyTrue;
      });
}

bool MSRAudience::evaluateFiltersForNanoUserProperty(const MSRPBUserAttribute& userProperty,
                                                     MSRAudienceTimestampsCache* audienceTimestampsCache,
                                                     std::optional<double> evaluationTime) {
  auto attribute = MSRUserAttributeFromNano(userProperty);
  if (!attribute) return false;
  return evaluateFiltersForUserProperty(attribute, audienceTimestampsCache, evaluationTime);
}

bool MSRAudience::isFilterResult(const MSRFilterResult* result, int32_t filterID) {
  if (!result || !result->currentResults() || filterID < 0) return false;
  auto data = MSRPBResultData::initWithBuffer(*result->currentResults());
  std::vector<uint64_t> status, results;
  if (data) {
    status = wordsOf(data.get(), kResultStatus);
    results = wordsOf(data.get(), kResultResults);
  }
  if (status.empty() || results.empty()) {
    log(2, 6023,
        "Audience filter result is non-nil and is missing status or results array. Audience result will not be "
        "bundled. Audience ID, result data",
        {result->audienceID(), ns::Value(*result->currentResults())});
    return false;
  }
  const size_t word = static_cast<size_t>(MSRFilterWordIndex(filterID));
  if (word >= status.size() || word >= results.size()) return false;
  const uint64_t bit = uint64_t{1} << MSRFilterBitIndex(filterID);
  return (status[word] & bit) && (results[word] & bit);
}

std::shared_ptr<MSRFilterResult> MSRAudience::updatedFilterResultWithFilterID(
    int32_t filterID, int32_t audienceID, const MSRFilterResult* currentFilterResult, bool newEvaluationResult,
    const MSRAudienceTimestampsCache& audienceTimestampsCache) {
  std::shared_ptr<MSRPBResultData> stored;
  if (currentFilterResult && currentFilterResult->currentResults()) {
    stored = MSRPBResultData::initWithBuffer(*currentFilterResult->currentResults());
  }
  std::vector<uint64_t> status, results;
  if (stored) {
    status = wordsOf(stored.get(), kResultStatus);
    results = wordsOf(stored.get(), kResultResults);
  }
  setBit(status, results, filterID, newEvaluationResult);
  auto data = MSRPBResultData::initWithMessageInfo(nullptr);
  setWords(data.get(), kResultStatus, status);
  setWords(data.get(), kResultResults, results);
  if (audienceTimestampsCache.hasTimestampsForAudienceID(audienceID)) {
    MSRPBMessageSetArray(data.get(), kResultDynamic,
                         arrayOf(audienceTimestampsCache.dynamicTimestampsForAudienceID(audienceID)));
    MSRPBMessageSetArray(data.get(), kResultSequence,
                         arrayOf(audienceTimestampsCache.sequenceTimestampsForAudienceID(audienceID)));
  } else if (stored) {
    // Times the cache never loaded are the stored ones: keep them.
    MSRPBMessageSetArray(data.get(), kResultDynamic, MSRPBMessageGetArray<MSRPBDynamicFilterResultTimestamp>(
                                                         stored.get(), kResultDynamic)
                                                         .value_or(MSRPBArray{}));
    MSRPBMessageSetArray(data.get(), kResultSequence, MSRPBMessageGetArray<MSRPBSequenceFilterResultTimestamp>(
                                                          stored.get(), kResultSequence)
                                                          .value_or(MSRPBArray{}));
  }
  return MSRFilterResult::initWithAudienceID(audienceID, data->protoBuffer(),
                                             currentFilterResult ? currentFilterResult->previousResults()
                                                                 : std::nullopt);
}

bool MSRAudience::resultsForBundling(std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>>* results) {
  std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>> leaves;
  if (results) results->clear();
  ns::Error error;
  auto stored = database_->allFilterResults(&error);
  if (!stored) {
    log(1, 6019, "Unable to query Audience filter results. Audience results will not be bundled. Error", {error});
    return false;
  }
  std::vector<std::shared_ptr<MSRFilterResult>> bundled;
  for (const auto& [audienceID, result] : *stored) {
    auto current = result->currentResults() ? MSRPBResultData::initWithBuffer(*result->currentResults()) : nullptr;
    if (!current) {
      log(2, 6020, "Current result data is nil. Audience result will not be bundled. Audience ID", {audienceID});
      continue;
    }
    if (!MSRHasAnyBitSet(wordsOf(current.get(), kResultStatus))) {
      log(2, 6021, "Current result status is 0. Audience result will not be bundled. Audience ID", {audienceID});
      continue;
    }
    auto leaf = MSRPBAudienceLeafFilterResult::initWithMessageInfo(nullptr);
    MSRPBMessageSetInt32(leaf.get(), kLeafAudienceID, audienceID);
    const auto& previousBytes = result->previousResults();
    if (previousBytes && !previousBytes->empty()) {
      MSRPBMessageSetBool(leaf.get(), kLeafNewAudience, false);
      auto previous = MSRPBResultData::initWithBuffer(*previousBytes);
      if (previous && previous->protoBuffer() == current->protoBuffer()) {
        // Unchanged since the last bundle: no previous data, and the first
        // sequence entry keeps only its latest time.
        auto sequence = MSRAudienceMessagesOf<MSRPBSequenceFilterResultTimestamp>(current.get(), kResultSequence);
        if (!sequence.empty()) {
          auto times = MSRPBMessageGetArray(sequence.front().get(), kEntryTimestamps).value_or(MSRPBArray{});
          if (times.size() >= 2) {
            MSRPBMessageSetArray(sequence.front().get(), kEntryTimestamps, MSRPBArray{times.back()});
            MSRPBMessageSetArray(current.get(), kResultSequence, arrayOf(sequence));
          }
        }
      } else if (previous) {
        MSRPBMessageSetMessage(leaf.get(), kLeafPrevious, *previous);
      }
    } else {
      MSRPBMessageSetBool(leaf.get(), kLeafNewAudience, true);
    }
    MSRPBMessageSetMessage(leaf.get(), kLeafCurrent, *current);
    leaves.push_back(leaf);
    bundled.push_back(
        MSRFilterResult::initWithAudienceID(audienceID, current->protoBuffer(), result->currentResults()));
  }
  if (!bundled.empty() && !database_->updateFilterResults(bundled, &error)) {
    log(1, 6022, "Unable to save updated Audience filter results. Audience results will not be bundled. Error",
        {error});
    return false;
  }
  if (results) *results = std::move(leaves);
  return true;
}

bool MSRAudience::clearEvaluationResultsForSessionScopedFilters() {
  ns::Error error;
  auto scoped = database_->allSessionScopedFilters(&error);
  if (!scoped) {
    log(1, 6040, "Unable to query all session scoped filters. Session scoped results will not be cleared. Error",
        {error});
    return false;
  }
  auto stored = database_->allFilterResults(&error);
  if (!stored) {
    log(1, 6041, "Unable to query all filter results. Session scoped results will not be cleared. Error", {error});
    return false;
  }
  std::vector<std::shared_ptr<MSRFilterResult>> toUpdate, toDelete;
  for (const auto& [audienceID, filterIDs] : *scoped) {
    auto found = stored->find(audienceID);
    if (found == stored->end() || !found->second->currentResults()) continue;
    auto current = MSRPBResultData::initWithBuffer(*found->second->currentResults());
    if (!current) continue;
    std::vector<uint64_t> status = wordsOf(current.get(), kResultStatus);
    std::vector<uint64_t> results = wordsOf(current.get(), kResultResults);
    const std::set<int32_t> cleared(filterIDs.begin(), filterIDs.end());
    for (int32_t filterID : cleared) {
      if (filterID < 0) continue;
      const size_t word = static_cast<size_t>(MSRFilterWordIndex(filterID));
      const uint64_t bit = uint64_t{1} << MSRFilterBitIndex(filterID);
      if (word < status.size()) status[word] &= ~bit;
      if (word < results.size()) results[word] &= ~bit;
    }
    if (!MSRHasAnyBitSet(status)) {
      toDelete.push_back(found->second);
      continue;
    }
    auto data = MSRPBResultData::initWithMessageInfo(nullptr);
    setWords(data.get(), kResultStatus, status);
    setWords(data.get(), kResultResults, results);
    auto keep = [&](int32_t index, auto tag) {
      using Entry = typename decltype(tag)::element_type;
      MSRPBArray kept;
      for (const auto& entry : MSRAudienceMessagesOf<Entry>(current.get(), index)) {
        if (!cleared.contains(MSRPBMessageGetInt32(entry.get(), kEntryFilterID))) kept.emplace_back(entry);
      }
      MSRPBMessageSetArray(data.get(), index, kept);
    };
    keep(kResultDynamic, std::shared_ptr<MSRPBDynamicFilterResultTimestamp>());
    keep(kResultSequence, std::shared_ptr<MSRPBSequenceFilterResultTimestamp>());
    toUpdate.push_back(
        MSRFilterResult::initWithAudienceID(audienceID, data->protoBuffer(), found->second->currentResults()));
  }
  if (!toDelete.empty() && !database_->deleteFilterResults(toDelete, &error)) {
    log(1, 6042, "Unable to delete filter results. Session scoped results will not be cleared. Error", {error});
    return false;
  }
  if (!toUpdate.empty() && !database_->updateFilterResults(toUpdate, &error)) {
    log(2, 6043, "Unable to update filter results. Session scoped results will not be cleared. Error", {error});
    return false;
  }
  return true;
}
