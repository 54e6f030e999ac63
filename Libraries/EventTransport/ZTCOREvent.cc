#include "Libraries/EventTransport/ZTCOREvent.h"

#include <algorithm>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORTransportClasses.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/Uuid.h"

namespace {

size_t mix(size_t seed, size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2)); }

size_t hashBytes(const std::optional<ns::Data>& bytes) {
  if (!bytes) return 0;
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

}  // namespace

ZTCOREvent::ZTCOREvent(std::string eventID, std::string mappingID, ZTCORUploadTargetID target)
    : eventID_(std::move(eventID)), mappingID_(std::move(mappingID)), target_(target) {}

std::string ZTCOREvent::nextEventID() {
  std::string text = ns::Uuid::random().uuidString();
  text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
  return text;
}

std::shared_ptr<ZTCOREvent> ZTCOREvent::initWithMappingID(const std::string& mappingID, ZTCORUploadTargetID target) {
  if (mappingID.empty() || target < 1) return nullptr;
  ZTCORRegisterTransportClasses();
  auto event = std::make_shared<ZTCOREvent>(nextEventID(), mappingID, target);
  event->expirationDate_ = ns::Date::now().addingTimeInterval(kZTCOREventLifetimeSeconds);
  ZTCORLogDebug("Event %@ created. ID:%@ mappingID: %@ target:%ld", *event, event->eventID_,
                mappingID, target);
  return event;
}

std::shared_ptr<ZTCOREvent> ZTCOREvent::eventWithMetrics(std::shared_ptr<ZTCOREventDataObject> metrics,
                                                         ZTCORUploadTargetID target) {
  auto event = initWithMappingID("1710", target);
  if (event) event->setDataObject(std::move(metrics));
  return event;
}

void ZTCOREvent::setDataObject(std::shared_ptr<ZTCOREventDataObject> dataObject) {
  if (dataObject != dataObject_) dataObject_ = std::move(dataObject);
  serializedDataObjectBytes_ =
      dataObject_ ? std::optional<ns::Data>(dataObject_->transportBytes()) : std::optional<ns::Data>();
}

std::shared_ptr<ZTCOREvent> ZTCOREvent::copy() const {
  auto copy = initWithMappingID(mappingID_, target_);
  if (!copy) return nullptr;
  copy->eventID_ = eventID_;
  if (dataObject_) {
    copy->setDataObject(dataObject_);
  } else {
    copy->serializedDataObjectBytes_ = serializedDataObjectBytes_;
  }
  copy->qosTier_ = qosTier_;
  copy->clockSnapshot_ = clockSnapshot_;
  copy->customBytes_ = customBytes_;
  ZTCORLogDebug("Copying event %@ to event %@", *this, *copy);
  return copy;
}

size_t ZTCOREvent::hash() const {
  size_t seed = std::hash<std::string>{}(eventID_);
  seed = mix(seed, std::hash<std::string>{}(mappingID_));
  seed = mix(seed, std::hash<int64_t>{}(target_));
  seed = mix(seed, std::hash<int64_t>{}(qosTier_));
  seed = mix(seed, clockSnapshot_ ? clockSnapshot_->hash() : 0);
  return mix(seed, hashBytes(serializedDataObjectBytes_));
}

bool ZTCOREvent::isEqual(const ZTCOREvent& other) const {
  bool sameClock = clockSnapshot_ && other.clockSnapshot_ ? clockSnapshot_->isEqual(*other.clockSnapshot_)
                                                          : clockSnapshot_ == other.clockSnapshot_;
  return eventID_ == other.eventID_ && mappingID_ == other.mappingID_ && target_ == other.target_ &&
         qosTier_ == other.qosTier_ && sameClock && serializedDataObjectBytes_ == other.serializedDataObjectBytes_;
}

void ZTCOREvent::encodeWithCoder(ns::KeyedArchiver& coder) const {
  coder.encodeString(eventID_, kZTCOREventEventIDKey);
  coder.encodeString(mappingID_, kZTCOREventMappingIDKey);
  coder.encodeInteger(target_, kZTCOREventTargetKey);
  coder.encodeInteger(qosTier_, kZTCOREventQoSTierKey);
  if (clockSnapshot_) coder.encodeObject(clockSnapshot_, kZTCOREventClockSnapshotKey);
  if (customBytes_) coder.encodeData(*customBytes_, kZTCOREventCustomDataKey);
  if (expirationDate_) coder.encodeDate(*expirationDate_, kZTCOREventExpirationDateKey);
  if (serializedDataObjectBytes_) coder.encodeData(*serializedDataObjectBytes_, kZTCOREventSerializedDataObjectBytesKey);
}

std::shared_ptr<ns::Coding> ZTCOREvent::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto bytes = coder.decodeData(kZTCOREventSerializedDataObjectBytesKey);
  if (!bytes) {
    coder.failWithError(ns::Error(ns::kCocoaErrorDomain, ns::kCoderValueNotFoundError,
                                  {{"NSDebugDescription", "The event carries no payload bytes."}}));
    return nullptr;
  }
  auto eventID = coder.decodeString(kZTCOREventEventIDKey);
  auto mappingID = coder.decodeString(kZTCOREventMappingIDKey);
  auto event = std::make_shared<ZTCOREvent>(eventID ? *eventID : nextEventID(), mappingID.value_or(""),
                                            coder.decodeInteger(kZTCOREventTargetKey));
  event->qosTier_ = coder.decodeInteger(kZTCOREventQoSTierKey);
  event->clockSnapshot_ = coder.decodeObjectOfClass<ZTCORClock>(ZTCORClock::kClassName, kZTCOREventClockSnapshotKey);
  event->customBytes_ = coder.decodeData(kZTCOREventCustomDataKey);
  event->expirationDate_ = coder.decodeDate(kZTCOREventExpirationDateKey);
  event->serializedDataObjectBytes_ = std::move(bytes);
  if (coder.error()) return nullptr;
  return event;
}

std::string ZTCOREvent::description() const {
  return ns::format("<ZTCOREvent eventID:%@ mappingID:%@ target:%lld qosTier:%lld>", eventID_, mappingID_, target_,
                    qosTier_);
}
