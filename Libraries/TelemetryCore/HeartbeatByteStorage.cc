#include "Libraries/TelemetryCore/HeartbeatByteStorage.h"

#include <algorithm>

#include "Platform/Foundation/FileManager.h"

namespace zovcore {

std::string FileStorage::pathForID(const std::string& id) {
  std::string name = id;
  for (char& c : name) {
    if (c == ':' || c == '/' || c == '\0') c = '_';
  }
  return ns::FileManager::defaultManager().applicationSupportDirectory().path() +
         "/zorori-heartbeat-storage/heartbeats-" + name;
}

std::unique_ptr<Storage> FileStorage::storageForID(const std::string& id) {
  return std::make_unique<FileStorage>(pathForID(id));
}

std::optional<ns::Data> FileStorage::read() { return ns::FileManager::defaultManager().contentsAtPath(path_); }

bool FileStorage::write(const std::optional<ns::Data>& data) {
  auto& files = ns::FileManager::defaultManager();
  std::string directory = path_.substr(0, path_.rfind('/'));
  if (!files.createDirectory(directory, true)) return false;
  ns::WriteOptions options;
  options.atomic = true;
  return files.writeData(data.value_or(ns::Data()), path_, options);
}

std::optional<ns::Data> UserDefaultsStorage::read() { return defaults_->dataForKey(key_); }

bool UserDefaultsStorage::write(const std::optional<ns::Data>& data) {
  if (data) {
    defaults_->setObject(ns::Value(*data), key_);
  } else {
    defaults_->removeObjectForKey(key_);
  }
  return true;
}

}  // namespace zovcore
