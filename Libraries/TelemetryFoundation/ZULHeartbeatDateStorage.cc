#include "Libraries/TelemetryFoundation/ZULHeartbeatDateStorage.h"

#include <mutex>

#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"
#include "Platform/Foundation/FileManager.h"

namespace {

std::mutex& fileStorageMutex() {
  static std::mutex mutex;
  return mutex;
}

std::mutex& defaultsStorageMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<ns::Date> dateIn(const ns::Dictionary& dictionary, const std::string& tag) {
  const ns::Value* value = dictionary.find(tag);
  if (value && value->isDate()) return *value->asDate();
  return std::nullopt;
}

}  // namespace

ns::URL ZULHeartbeatDateStorage::fileURL() {
  std::lock_guard lock(fileStorageMutex());
  if (!fileURL_) {
    auto& files = ns::FileManager::defaultManager();
    ns::URL directory = files.applicationSupportDirectory().appendingPathComponent("Zorori/VIDUve", true);
    if (!files.fileExists(directory)) files.createDirectory(directory, true);
    fileURL_ = directory.appendingPathComponent(fileName_, false);
  }
  return *fileURL_;
}

std::optional<ns::Date> ZULHeartbeatDateStorage::heartbeatDateForTag(const std::string& tag) {
  fileURL();
  std::lock_guard lock(fileStorageMutex());
  return dateIn(readDictionary(), tag);
}

bool ZULHeartbeatDateStorage::setHearbeatDate(ns::Date date, const std::string& tag) {
  fileURL();
  std::lock_guard lock(fileStorageMutex());
  ns::Dictionary dictionary = readDictionary();
  dictionary.set(tag, date);
  return writeDictionary(dictionary);
}

ns::Dictionary ZULHeartbeatDateStorage::readDictionary() {
  ns::Error error;
  std::optional<ns::Data> bytes = ns::FileManager::defaultManager().contentsAtPath(fileURL_->path(), &error);
  if (!bytes) return {};
  ns::KeyedArchiveObject object =
      ZULSecureCoding::unarchivedObjectOfClasses({"NSDictionary", "NSDate", "NSString"}, *bytes, &error);
  std::optional<ns::Value> value = object.toValue();
  if (!value || !value->isDictionary()) return {};
  return *value->asDictionary();
}

bool ZULHeartbeatDateStorage::writeDictionary(const ns::Dictionary& dictionary) {
  ns::Error error;
  std::optional<ns::Data> archive = ZULSecureCoding::archivedDataWithRootObject(ns::Value(dictionary), &error);
  if (!archive || archive->empty()) return false;
  return ns::FileManager::defaultManager().writeData(*archive, *fileURL_, {.atomic = true}, &error);
}

std::optional<ns::Date> ZULHeartbeatDateStorageUserDefaults::heartbeatDateForTag(const std::string& tag) {
  std::lock_guard lock(defaultsStorageMutex());
  std::optional<ns::Dictionary> dictionary = userDefaults_->dictionaryForKey(key_);
  return dictionary ? dateIn(*dictionary, tag) : std::nullopt;
}

bool ZULHeartbeatDateStorageUserDefaults::setHearbeatDate(ns::Date date, const std::string& tag) {
  std::lock_guard lock(defaultsStorageMutex());
  ns::Dictionary dictionary = userDefaults_->dictionaryForKey(key_).value_or(ns::Dictionary{});
  dictionary.set(tag, date);
  userDefaults_->setObject(ns::Value(std::move(dictionary)), key_);
  return true;
}
