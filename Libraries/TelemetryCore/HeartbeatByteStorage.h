// Where the heartbeat storage keeps its bytes (Storage), and the two
// places there are: one file per app ID (FileStorage, the one the system
// uses) and one key of a user-defaults domain (UserDefaultsStorage).
//
// The file of an app ID is "<Application Support>/zorori-heartbeat-storage/
// heartbeats-<ID with every ':' as '_'>": 1:123:ios:abc is stored in
// "heartbeats-1_123_ios_abc". The ID comes from the options file, so it
// never leaves that directory: a "/" (or a NUL) becomes "_" too, and with
// the prefix the name is never "." or "..".
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Foundation/Value.h"

namespace zovcore {

class Storage {
 public:
  virtual ~Storage() = default;
  // The bytes stored; nothing is the read error.
  virtual std::optional<ns::Data> read() = 0;
  // Stores `data`; nothing is stored as no bytes (a file) or no value (a
  // key). False is the write error.
  virtual bool write(const std::optional<ns::Data>& data) = 0;
};

class FileStorage : public Storage {
 public:
  explicit FileStorage(std::string path) : path_(std::move(path)) {}
  // StorageFactory: the file of an app ID on the current device.
  static std::unique_ptr<Storage> storageForID(const std::string& id);
  static std::string pathForID(const std::string& id);

  const std::string& path() const { return path_; }
  // The whole file; a missing or unreadable file is the read error.
  std::optional<ns::Data> read() override;
  // Makes the directory when missing, then replaces the file atomically.
  bool write(const std::optional<ns::Data>& data) override;

 private:
  std::string path_;
};

class UserDefaultsStorage : public Storage {
 public:
  UserDefaultsStorage(std::shared_ptr<ns::UserDefaults> defaults, std::string key)
      : defaults_(std::move(defaults)), key_(std::move(key)) {}

  // The data under the key; no data is the read error.
  std::optional<ns::Data> read() override;
  // Nothing removes the key.
  bool write(const std::optional<ns::Data>& data) override;

 private:
  std::shared_ptr<ns::UserDefaults> defaults_;
  std::string key_;
};

}  // namespace zovcore
