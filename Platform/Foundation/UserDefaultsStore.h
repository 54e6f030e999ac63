// The file of one user-defaults domain, shared by every UserDefaults of that
// domain in the process. Writes merge the changed keys into the file's
// current content under an advisory lock on "<file>.lock" (which also holds
// a write counter), then replace the file atomically; reads re-read the
// file when its stamp or the counter moved, so other processes' writes show.
// Settings are read many times for each write (several times for each
// measured event), so the counter is read through a shared mapping of the
// lock file rather than opening it each time: a read costs one stat of the
// file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace ns {

class UserDefaultsStore {
 public:
  // The one store of `plistPath` in this process.
  static std::shared_ptr<UserDefaultsStore> forPath(const std::string& plistPath);
  ~UserDefaultsStore();
  UserDefaultsStore(const UserDefaultsStore&) = delete;
  UserDefaultsStore& operator=(const UserDefaultsStore&) = delete;

  std::optional<Value> get(std::string_view key);
  Dictionary snapshot();
  // Whether the file exists.
  bool exists();
  // Sets (or with no value removes) a key and writes it through; false when
  // the write failed (the change stays pending and is retried).
  bool set(std::string key, std::optional<Value> value);
  // Replaces the whole domain; no dictionary removes the file.
  bool replace(const std::optional<Dictionary>& all);
  // Re-reads and retries pending writes.
  bool synchronize();

 private:
  explicit UserDefaultsStore(std::string path);
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t seconds = 0, nanoseconds = 0, size = -1;
    uint64_t generation = 0;
    bool operator==(const Stamp&) const = default;
  };
  Stamp stampLocked();
  // The write counter: from the mapping once the lock file holds one,
  // else read from the file (0 while there is none).
  uint64_t generationLocked();
  void unmapGenerationLocked();
  void refreshLocked();
  bool flushLocked();

  const std::string path_, lockPath_;
  std::mutex mutex_;
  Dictionary values_;
  std::optional<Stamp> stamp_;
  std::vector<std::pair<std::string, std::optional<Value>>> pending_;
  // The lock file's counter, mapped read-only and shared, and the file it
  // maps (the lock file is never meant to be replaced; if it were, the
  // mapping is dropped at the next change of the settings file).
  const volatile uint64_t* mappedGeneration_ = nullptr;
  dev_t mappedDevice_ = 0;
  ino_t mappedInode_ = 0;

  friend class UserDefaultsStoreRegistry;
};

}  // namespace ns
