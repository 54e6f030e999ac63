#include "Libraries/EventTransport/ZTCORMetricsRecords.h"

#include <functional>

#include "Libraries/EventTransport/ZTCORStorageProtocol.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/KeyedArchiver.h"

namespace {

size_t hashDate(ns::Date date) { return std::hash<double>()(date.timeIntervalSince1970()); }

std::string countsDescription(const ZTCORDroppedEventCounts& counts) {
  std::string text = "{";
  for (const auto& [source, reasons] : counts) {
    text += ns::format("\n    %@ = {", source);
    for (const auto& [reason, count] : reasons) text += ns::format(" %ld = %ld;", (long)reason, (long)count);
    text += " };";
  }
  return text + "\n}";
}

}  // namespace

std::shared_ptr<ZTCORLogSourceMetrics> ZTCORLogSourceMetrics::metrics() {
  return std::make_shared<ZTCORLogSourceMetrics>(ZTCORDroppedEventCounts{});
}

std::shared_ptr<ZTCORLogSourceMetrics> ZTCORLogSourceMetrics::logSourceMetricsByMergingWithLogSourceMetrics(
    const ZTCORLogSourceMetrics& other) const {
  ZTCORDroppedEventCounts merged = counts_;
  for (const auto& [source, reasons] : other.counts_) {
    auto& into = merged[source];
    for (const auto& [reason, count] : reasons) into[reason] += count;
  }
  return std::make_shared<ZTCORLogSourceMetrics>(std::move(merged));
}

size_t ZTCORLogSourceMetrics::hash() const {
  size_t hash = 0;
  for (const auto& [source, reasons] : counts_) {
    hash ^= std::hash<std::string>()(source);
    for (const auto& [reason, count] : reasons) hash ^= std::hash<int64_t>()(reason * 31 + count);
  }
  return hash;
}

std::string ZTCORLogSourceMetrics::description() const {
  return ns::format("<ZTCORLogSourceMetrics: %p> %@", this, countsDescription(counts_));
}

void ZTCORLogSourceMetrics::encodeWithCoder(ns::KeyedArchiver& coder) const {
  ns::Dictionary bySource;
  for (const auto& [source, reasons] : counts_) {
    ns::Dictionary byReason;
    for (const auto& [reason, count] : reasons) byReason.set(std::to_string(reason), ns::Value(count));
    bySource.set(source, ns::Value(std::move(byReason)));
  }
  coder.encodeObject(ns::Value(std::move(bySource)), kCountsKey);
}

std::shared_ptr<ns::Coding> ZTCORLogSourceMetrics::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto object = coder.decodeObjectOfClasses({"NSDictionary", "NSString", "NSNumber"}, kCountsKey);
  const ns::Value* value = object.value();
  const ns::Dictionary* bySource = value ? value->asDictionary() : nullptr;
  if (!bySource) return nullptr;
  ZTCORDroppedEventCounts counts;
  for (const auto& [source, reasonsValue] : *bySource) {
    const ns::Dictionary* byReason = reasonsValue.asDictionary();
    if (!byReason) return nullptr;
    auto& into = counts[source];
    for (const auto& [reasonText, count] : *byReason) {
      if (!count.isNumber()) return nullptr;
      into[ns::integerValueOfString(reasonText)] = count.integerValue();
    }
  }
  return std::make_shared<ZTCORLogSourceMetrics>(std::move(counts));
}

std::shared_ptr<ZTCORMetricsMetadata> ZTCORMetricsMetadata::metadataWithCollectionStartDate(
    ns::Date start, std::shared_ptr<ZTCORLogSourceMetrics> logSourceMetrics) {
  return std::make_shared<ZTCORMetricsMetadata>(start, std::move(logSourceMetrics));
}

bool ZTCORMetricsMetadata::operator==(const ZTCORMetricsMetadata& other) const {
  if (collectionStartDate_ != other.collectionStartDate_) return false;
  if (!logSourceMetrics_ || !other.logSourceMetrics_) return logSourceMetrics_ == other.logSourceMetrics_;
  return *logSourceMetrics_ == *other.logSourceMetrics_;
}

size_t ZTCORMetricsMetadata::hash() const {
  return hashDate(collectionStartDate_) ^ (logSourceMetrics_ ? logSourceMetrics_->hash() : 0);
}

std::string ZTCORMetricsMetadata::description() const {
  return ns::format("<ZTCORMetricsMetadata: %p> start: %@ %@", this, collectionStartDate_.description(),
                    logSourceMetrics_);
}

void ZTCORMetricsMetadata::encodeWithCoder(ns::KeyedArchiver& coder) const {
  coder.encodeDate(collectionStartDate_, kStartDateKey);
  if (logSourceMetrics_) coder.encodeObject(ns::KeyedArchiveObject(logSourceMetrics_), kLogSourceMetricsKey);
}

std::shared_ptr<ns::Coding> ZTCORMetricsMetadata::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto start = coder.decodeDate(kStartDateKey);
  auto logSourceMetrics =
      coder.decodeObjectOfClass<ZTCORLogSourceMetrics>(ZTCORLogSourceMetrics::kClassName, kLogSourceMetricsKey);
  if (!start || !logSourceMetrics) return nullptr;
  return std::make_shared<ZTCORMetricsMetadata>(*start, std::move(logSourceMetrics));
}

std::shared_ptr<ZTCORMetrics> ZTCORMetrics::metricsWithMetricsMetadata(const ZTCORMetricsMetadata& metadata,
                                                                       const ZTCORStorageMetadata& storageMetadata) {
  auto bundle = ns::Bundle::mainBundle();
  std::string bundleID = bundle ? bundle->bundleIdentifier().value_or("") : "";
  return std::make_shared<ZTCORMetrics>(metadata.collectionStartDate(), ns::Date::now(), metadata.logSourceMetrics(),
                                        storageMetadata.currentCacheSize(), storageMetadata.maxCacheSize(),
                                        std::move(bundleID));
}

bool ZTCORMetrics::operator==(const ZTCORMetrics& other) const {
  bool sameTable = logSourceMetrics_ && other.logSourceMetrics_ ? *logSourceMetrics_ == *other.logSourceMetrics_
                                                                : logSourceMetrics_ == other.logSourceMetrics_;
  return collectionStartDate_ == other.collectionStartDate_ && collectionEndDate_ == other.collectionEndDate_ &&
         sameTable && currentCacheSize_ == other.currentCacheSize_ && maxCacheSize_ == other.maxCacheSize_ &&
         bundleID_ == other.bundleID_;
}

size_t ZTCORMetrics::hash() const {
  return hashDate(collectionStartDate_) ^ hashDate(collectionEndDate_) ^
         (logSourceMetrics_ ? logSourceMetrics_->hash() : 0) ^ std::hash<std::string>()(bundleID_) ^
         std::hash<uint64_t>()(currentCacheSize_) ^ std::hash<uint64_t>()(maxCacheSize_);
}

std::string ZTCORMetrics::description() const {
  return ns::format(
      "%@ {\n\tcollectionStartDate: %@,\n\tcollectionEndDate: %@,\n\tcurrentCacheSize: %llu,\n\tmaxCacheSize: "
      "%llu,\n\tbundleID: %@,\n\tlogSourceMetrics: %@}\n",
      ns::format("<ZTCORMetrics: %p>", this), collectionStartDate_.description(), collectionEndDate_.description(),
      (unsigned long long)currentCacheSize_, (unsigned long long)maxCacheSize_, bundleID_, logSourceMetrics_);
}
