#include "Libraries/AppSupportKit/TXCache.h"

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/UIKit/ImageCoding.h"

namespace {

// What an entry may hold: a record's plain values, or an image.
const ns::KeyedUnarchiver::ClassNames& allowedClasses() {
  static const ns::KeyedUnarchiver::ClassNames classes = {
      "NSDictionary", "NSArray", "NSString", "NSNumber", "NSData", "NSDate", "NSNull", ui::ArchivedImage::kClassName};
  return classes;
}

std::string pathForKey(const std::string& key) { return TXCache::cacheDirectory() + "/" + key; }

}  // namespace

bool TXCache::isValidKey(const std::string& key) {
  return !key.empty() && key != "." && key != ".." && key.find('/') == std::string::npos &&
         key.find('\0') == std::string::npos;
}

std::string TXCache::cacheDirectory() {
  auto& files = ns::FileManager::defaultManager();
  std::string directory = files.cachesDirectory().path() + "/" + kDirectoryName;
  if (!files.fileExists(directory)) files.createDirectory(directory, false);
  return directory;
}

bool TXCache::storeItemsToCache(const ns::KeyedArchiveObject& object, const std::string& key) {
  if (!isValidKey(key) || object.isNil()) return false;
  ui::registerImageCoding();
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(object, true, nullptr);
  if (!data) return false;
  // A cache needs no fsync: a lost entry is only looked up again.
  auto& files = ns::FileManager::defaultManager();
  std::string path = pathForKey(key);
  return files.writeData(*data, path, {.atomic = true, .durable = false}) &&
         files.setAttributes({.creationDate = ns::Date::now()}, path);
}

ns::KeyedArchiveObject TXCache::restoreItemsFromCache(const std::string& key, std::optional<ns::Date>* dateStored) {
  if (!isValidKey(key)) return nullptr;
  auto& files = ns::FileManager::defaultManager();
  std::string path = pathForKey(key);
  auto data = files.contentsAtPath(path);
  if (!data) return nullptr;
  if (dateStored)
    if (auto attributes = files.attributesOfItem(path)) *dateStored = attributes->creationDate;
  ui::registerImageCoding();
  return ns::KeyedUnarchiver::unarchivedObjectOfClasses(allowedClasses(), *data, nullptr);
}

bool TXCache::removeItemsFromCache(const std::string& key, ns::Error* error) {
  if (!isValidKey(key)) {
    ns::setError(error, ns::fileError(ENOENT, key, true, true));
    return false;
  }
  std::string path = pathForKey(key);
  auto& files = ns::FileManager::defaultManager();
  if (!files.fileExists(path)) {
    ns::setError(error, ns::fileError(ENOENT, path, true, true));
    return false;
  }
  return files.removeItem(path, error);
}
