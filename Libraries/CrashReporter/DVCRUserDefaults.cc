#include "Libraries/CrashReporter/DVCRUserDefaults.h"

#include <mutex>

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

std::mutex sharedMutex;
std::shared_ptr<DVCRUserDefaults> sharedDefaults;

}  // namespace

std::shared_ptr<DVCRUserDefaults> DVCRUserDefaults::standardUserDefaults() {
  std::lock_guard<std::mutex> lock(sharedMutex);
  if (!sharedDefaults) sharedDefaults = std::make_shared<DVCRUserDefaults>();
  return sharedDefaults;
}

void DVCRUserDefaultsResetForTesting() {
  std::lock_guard<std::mutex> lock(sharedMutex);
  sharedDefaults.reset();
}

DVCRUserDefaults::DVCRUserDefaults()
    : accessQueue_(dispatch::Queue::serial("com.dodevadarud.DVCRUserDefaults.access")),
      ioQueue_(dispatch::Queue::serial("com.dodevadarud.DVCRUserDefaults.io")) {
  directoryPath_ = ns::FileManager::defaultManager().applicationSupportDirectory().path() + "/com.dodevadarud";
  filePath_ = directoryPath_ + "/DVCRUserDefaults.plist";
  ns::Dictionary loaded = loadDefaults();
  accessQueue_->sync([&] {
    persisted_ = loaded;
    data_ = std::move(loaded);
  });
}

ns::Dictionary DVCRUserDefaults::loadDefaults() {
  ns::Dictionary result;
  ioQueue_->sync([&] {
    ns::FileManager& files = ns::FileManager::defaultManager();
    bool isDirectory = false;
    if (!files.fileExists(filePath_, &isDirectory)) return;
    if (!isDirectory) {
      std::optional<ns::Dictionary> dictionary = ns::readDictionaryFile(filePath_);
      if (!dictionary) {
        DVCRLogErrorMessage("Failed to read existing UserDefaults file");
        return;
      }
      result = std::move(*dictionary);
      return;
    }
    DVCRLogErrorMessage("Found directory where file expected. Removing conflicting directory");
    ns::Error error;
    if (!files.removeItem(filePath_, &error)) {
      DVCRLogErrorMessage("Error removing conflicting directory: %@", error.localizedDescription());
    }
  });
  return result;
}

ns::Value DVCRUserDefaults::objectForKey(const std::string& key) const {
  ns::Value value;
  accessQueue_->sync([&] {
    if (const ns::Value* found = data_.find(key)) value = *found;
  });
  return value;
}

std::string DVCRUserDefaults::stringForKey(const std::string& key) const {
  ns::Value value = objectForKey(key);
  return value.isString() ? *value.asString() : std::string();
}

bool DVCRUserDefaults::boolForKey(const std::string& key) const {
  ns::Value value = objectForKey(key);
  return value.isNumber() && value.boolValue();
}

int64_t DVCRUserDefaults::integerForKey(const std::string& key) const {
  ns::Value value = objectForKey(key);
  return value.isNumber() ? value.integerValue() : 0;
}

void DVCRUserDefaults::setObject(const ns::Value& object, const std::string& key) {
  accessQueue_->sync([&] {
    if (object.isNull()) {
      data_.remove(key);
    } else {
      data_.set(key, object);
    }
  });
}

void DVCRUserDefaults::removeObjectForKey(const std::string& key) {
  accessQueue_->sync([&] { data_.remove(key); });
}

void DVCRUserDefaults::removeAllObjects() {
  accessQueue_->sync([&] { data_.clear(); });
}

ns::Dictionary DVCRUserDefaults::dictionaryRepresentation() const {
  ns::Dictionary copy;
  accessQueue_->sync([&] { copy = data_; });
  return copy;
}

bool DVCRUserDefaults::synchronizeWroteToDisk() const {
  bool wrote = false;
  accessQueue_->sync([&] { wrote = synchronizeWroteToDisk_; });
  return wrote;
}

void DVCRUserDefaults::synchronize() {
  bool changed = false;
  accessQueue_->sync([&] {
    changed = !(persisted_ == data_);
    synchronizeWroteToDisk_ = changed;
  });
  if (!changed) return;
  ns::Dictionary snapshot = dictionaryRepresentation();
  bool written = false;
  ioQueue_->sync([&] { written = writeDefaults(snapshot); });
  // Only what reached the file counts as persisted: after a failed write the
  // next synchronize() still sees the change and tries again, so a consent
  // choice or an install UUID is not lost at the next launch.
  if (written) accessQueue_->sync([&] { persisted_ = std::move(snapshot); });
}

bool DVCRUserDefaults::writeDefaults(const ns::Dictionary& dictionary) {
  ns::FileManager& files = ns::FileManager::defaultManager();
  bool isDirectory = false;
  if (!files.fileExists(directoryPath_, &isDirectory) || !isDirectory) {
    ns::Error error;
    if (!files.createDirectory(directoryPath_, true, &error)) {
      DVCRLogErrorMessage("Failed to create directory with error: %@", error.localizedDescription());
    }
  }
  ns::Error error;
  if (!ns::writePropertyListFile(ns::Value(dictionary), filePath_, ns::PropertyListFormat::XML, &error)) {
    DVCRLogErrorMessage("Unable to open file for writing at path %@", filePath_);
    return false;
  }
  // There is no data protection to lift here: the file stays readable
  // whenever the process runs, which is what "none" asks for.
  return true;
}
