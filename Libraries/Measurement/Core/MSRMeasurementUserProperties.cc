// User properties on the worker queue. Until they are stored, setters do
// nothing and readers answer at once with nothing found.
#include "Libraries/Measurement/Core/MSRMeasurement.h"

void MSRMeasurement::setUserAttribute(const std::shared_ptr<MSRUserAttribute>&) {}
void MSRMeasurement::removeUserAttribute(const std::shared_ptr<MSRUserAttribute>&) {}
void MSRMeasurement::setUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>&) {}
void MSRMeasurement::removeUserAttributeOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>&) {}
// Until the full writer with its limits lands, the property is written
// as it is, so that the engine's own counters ("_se", "_lte") are kept.
int64_t MSRMeasurement::setUserPropertyInDatabaseOnWorkerQueue(const std::shared_ptr<MSRUserAttribute>& attribute) {
  auto database = this->database();
  return attribute && database && database->updateUserAttribute(attribute, nullptr) ? 1 : 0;
}

void MSRMeasurement::userAttributeWithName(const std::string&,
                                           std::function<void(std::shared_ptr<MSRUserAttribute>)> callback) {
  if (callback) callback(nullptr);
}

void MSRMeasurement::userPropertiesIncludingInternal(bool, std::function<void(ns::Dictionary)> callback) {
  if (callback) callback(ns::Dictionary());
}

void MSRMeasurement::maxUserPropertiesForOrigin(const std::string&, std::function<void(int64_t)> callback) {
  if (callback) callback(25);
}

void MSRMeasurement::sessionIDWithCompletion(std::function<void(int64_t, std::optional<ns::Error>)> completion) {
  if (completion) completion(0, std::nullopt);
}

bool MSRMeasurement::hasUserPropertyUserIDOnWorkerQueue() { return false; }
void MSRMeasurement::setPersonalizedAdsUserPropertyOnWorkerQueue() {}
void MSRMeasurement::setLastAdvertisingIDResetUserPropertyOnWorkerQueue() {}
