// The three values an event keeps inside its custom bytes, a compact JSON
// object. A setter changes nothing when the bytes exist but do not parse;
// when writing fails the bytes are cleared. Every failure is caught and
// logged at debug level, and the accessor answers its neutral value.
#include <exception>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

constexpr const char* kNeedsNetworkConnectionInfoKey = "needs_network_connection_info";
constexpr const char* kNetworkConnectionInfoKey = "network_connection_info";
constexpr const char* kEventCodeInfoKey = "event_code_info";

// The parsed object; nullopt when the bytes do not hold a JSON object.
std::optional<ns::Dictionary> parse(const ns::Data& bytes, ns::Error* error) {
  auto value = ns::jsonObjectFromData(bytes, error);
  if (!value) return std::nullopt;
  if (!value->asDictionary()) {
    ns::setError(error, ns::Error(ns::kCocoaErrorDomain, ns::kPropertyListReadCorruptError));
    return std::nullopt;
  }
  return *value->asDictionary();
}

// The parsed object of existing bytes; nullopt without bytes or when they
// do not parse.
std::optional<ns::Dictionary> existingObject(const std::optional<ns::Data>& bytes) {
  if (!bytes) return std::nullopt;
  ns::Error error;
  return parse(*bytes, &error);
}

// The text under `key` of existing bytes, if it is text.
std::optional<std::string> textUnder(const std::optional<ns::Data>& bytes, const char* key) {
  auto object = existingObject(bytes);
  const ns::Value* value = object ? object->find(key) : nullptr;
  if (!value || !value->asString()) return std::nullopt;
  return *value->asString();
}

// The object to change: the parsed one, or an empty one without bytes.
std::optional<ns::Dictionary> objectToChange(const std::optional<ns::Data>& bytes, ns::Error* error) {
  if (!bytes) return ns::Dictionary{};
  return parse(*bytes, error);
}

void writeBack(std::optional<ns::Data>& bytes, const ns::Dictionary& object) {
  ns::Error error;
  bytes = ns::dataFromJsonObject(ns::Value(object), &error);
}

void logFailure(const char* format, const std::string& what) { ZTCORLogDebug(format, what); }

}  // namespace

bool ZTCOREvent::needsNetworkConnectionInfoPopulated() const {
  try {
    auto object = existingObject(customBytes_);
    if (!object) return false;
    const ns::Value* flag = object->find(kNeedsNetworkConnectionInfoKey);
    return flag && flag->boolValue();
  } catch (const std::exception& e) {
    logFailure("Error when checking the event for needs_network_connection_info: %@", e.what());
    return false;
  }
}

void ZTCOREvent::setNeedsNetworkConnectionInfoPopulated(bool needed) {
  try {
    ns::Error error;
    if (needed) {
      auto object = objectToChange(customBytes_, &error);
      if (!object) return;
      object->set(kNeedsNetworkConnectionInfoKey, true);
      writeBack(customBytes_, *object);
      return;
    }
    auto object = existingObject(customBytes_);
    if (!object) return;
    // Clearing the flag keeps only the event code; without one the object
    // is left empty, so the flag reads false afterwards either way.
    ns::Dictionary kept;
    if (const ns::Value* code = object->find(kEventCodeInfoKey)) kept.set(kEventCodeInfoKey, *code);
    writeBack(customBytes_, kept);
  } catch (const std::exception& e) {
    logFailure("Error when setting the event for needs_network_connection_info: %@", e.what());
  }
}

std::optional<ns::Data> ZTCOREvent::networkConnectionInfoData() const {
  try {
    auto text = textUnder(customBytes_, kNetworkConnectionInfoKey);
    if (!text) return std::nullopt;
    return ns::base64Decode(*text);
  } catch (const std::exception& e) {
    logFailure("Error when getting an event's network_connection_info: %@", e.what());
    return std::nullopt;
  }
}

void ZTCOREvent::setNetworkConnectionInfoData(const std::optional<ns::Data>& data) {
  try {
    if (!data) return;
    ns::Error error;
    auto object = objectToChange(customBytes_, &error);
    if (!object) return;
    object->set(kNetworkConnectionInfoKey, ns::base64Encode(*data));
    writeBack(customBytes_, *object);
  } catch (const std::exception& e) {
    logFailure("Error when setting an event's network_connection_info: %@", e.what());
  }
}

std::optional<int64_t> ZTCOREvent::eventCode() const {
  try {
    auto code = textUnder(customBytes_, kEventCodeInfoKey);
    if (!code) return std::nullopt;
    return std::strtoll(code->c_str(), nullptr, 10);
  } catch (const std::exception& e) {
    logFailure("Error when getting an event's event_code: %@", e.what());
    return std::nullopt;
  }
}

void ZTCOREvent::setEventCode(std::optional<int64_t> code) {
  try {
    ns::Error error;
    if (!code) {
      auto object = existingObject(customBytes_);
      if (!object) return;
      object->remove(kEventCodeInfoKey);
      writeBack(customBytes_, *object);
      return;
    }
    auto object = objectToChange(customBytes_, &error);
    if (!object) return;
    object->set(kEventCodeInfoKey, std::to_string(*code));
    writeBack(customBytes_, *object);
  } catch (const std::exception& e) {
    logFailure("Error when setting an event's event_code: %@", e.what());
  }
}
