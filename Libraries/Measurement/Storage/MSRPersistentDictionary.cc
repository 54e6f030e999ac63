#include "Libraries/Measurement/Storage/MSRPersistentDictionary.h"

#include "Libraries/Measurement/Storage/MSRConfigStoreLogging.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/URL.h"

namespace {

constexpr double kPersistDelaySeconds = 1.0;

}  // namespace

std::shared_ptr<MSRPersistentDictionary> MSRPersistentDictionary::initWithFileName(const std::string& fileName) {
  if (fileName.empty()) return nullptr;
  std::string path = MSRApplicationSupportPlistPath(fileName);
  if (path.empty()) return nullptr;
  std::string directory = ns::URL::fileURLWithPath(path).deletingLastPathComponent().path();
  if (!ns::FileManager::defaultManager().createDirectory(directory, true)) {
    MSRConfigStoreLogError(43004, "Cannot create subdirectories for config plist files.");
    return nullptr;
  }
  ns::Dictionary content = ns::readDictionaryFile(path).value_or(ns::Dictionary{});
  return std::shared_ptr<MSRPersistentDictionary>(new MSRPersistentDictionary(std::move(path), std::move(content)));
}

MSRPersistentDictionary::MSRPersistentDictionary(std::string filePath, ns::Dictionary content)
    : filePath_(std::move(filePath)),
      content_(std::move(content)),
      serialQueue_(dispatch::Queue::serial("MSRPersistentDictionary")) {}

MSRPersistentDictionary::~MSRPersistentDictionary() {
  // The delayed write holds the store weakly and will find it gone.
  if (hasPendingPersistence()) persistToDisk();
}

bool MSRPersistentDictionary::hasPendingPersistence() const {
  std::lock_guard lock(mutex_);
  return hasPendingPersistence_;
}

std::optional<ns::Value> MSRPersistentDictionary::objectForKey(std::string_view key) {
  if (key.empty()) {
    MSRConfigStoreLogWarning(43001, "Cannot get object for invalid config key.");
    return std::nullopt;
  }
  std::lock_guard lock(mutex_);
  if (const ns::Value* value = content_.find(key)) return *value;
  return std::nullopt;
}

void MSRPersistentDictionary::setObject(const std::optional<ns::Value>& object, std::string_view key) {
  if (key.empty()) {
    MSRConfigStoreLogWarning(43002, "Cannot set object for invalid config key.");
    return;
  }
  if (!object) {
    std::lock_guard lock(mutex_);
    if (content_.remove(key)) schedulePersistToDiskLocked();
    return;
  }
  // The whole value, not only its kind: one unwritable value inside a
  // dictionary would make every later write of the file fail.
  if (!ns::hasPropertyListForm(*object)) {
    MSRConfigStoreLogWarning(43003,
                             "Cannot set invalid object to config. Must be a string, number, array, dictionary, "
                             "date, or data. Value %@",
                             *object);
    return;
  }
  std::lock_guard lock(mutex_);
  const ns::Value* stored = content_.find(key);
  if (stored && *stored == *object) return;
  content_.set(std::string(key), *object);
  schedulePersistToDiskLocked();
}

void MSRPersistentDictionary::clearAllData() {
  std::lock_guard lock(mutex_);
  if (content_.empty()) return;
  content_.clear();
  schedulePersistToDiskLocked();
}

void MSRPersistentDictionary::schedulePersistToDiskLocked() {
  if (hasPendingPersistence_) return;
  hasPendingPersistence_ = true;
  std::weak_ptr<MSRPersistentDictionary> weak = weak_from_this();
  serialQueue_->afterSeconds(kPersistDelaySeconds, [weak] {
    if (auto self = weak.lock()) self->persistToDisk();
  });
}

void MSRPersistentDictionary::persistToDisk() {
  ns::Dictionary snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = content_;
    hasPendingPersistence_ = false;
  }
  ns::Error error;
  if (!ns::writePropertyListFile(ns::Value(std::move(snapshot)), filePath_, ns::PropertyListFormat::XML, &error)) {
    MSRConfigStoreLogError(43000, "Cannot persist configs to disk");
  }
}
